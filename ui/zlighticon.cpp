#include "ui/zlighticon.h"

ZLightIcon::ZLightIcon(bool on, QWidget *parent)
    : QPushButton(parent)
    , m_onIcon(QStringLiteral(":/images/lightOn.png"))
    , m_offIcon(QStringLiteral(":/images/lightOff.png"))
    , m_on(on)
{
    setFlat(true);
    setIconSize(QSize(24, 24));
    setIcon(on ? m_onIcon : m_offIcon);
}

void ZLightIcon::setOn(bool on)
{
    // A digital strip sets its lamp with every sample: only a change touches the button.
    if (on == m_on)
        return;
    m_on = on;
    setIcon(on ? m_onIcon : m_offIcon);
}
