#include "ui/zlighticon.h"

ZLightIcon::ZLightIcon(bool on, QWidget *parent)
    : QPushButton(parent)
{
    setFlat(true);
    setIconSize(QSize(24, 24));
    setOn(on);
}

void ZLightIcon::setOn(bool on)
{
    m_on = on;
    setIcon(QIcon(on ? QStringLiteral(":/images/lightOn.png")
                     : QStringLiteral(":/images/lightOff.png")));
}
