#include "ui/zboxobserver.h"

#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "ui/zboxcfgr.h"
#include "ui/zboxdspr.h"
#include "ui/zpanelkit.h"

#include <QHBoxLayout>
#include <QTabWidget>

ZBoxObserver::ZBoxObserver(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setContentsMargins(10, 10, 10, 10);
}

ZBoxObserver::~ZBoxObserver()
{
    detach(subject());
}

bool ZBoxObserver::onAttached()
{
    if (dynamic_cast<ZRealBox *>(subject()))
        return buildRealBoxPage();
    if (dynamic_cast<ZImgyBox *>(subject()))
        return buildPlaybackPage();
    return false;
}

bool ZBoxObserver::onDetached()
{
    m_tabs = nullptr;
    clearLayout(m_layout);
    return true;
}

bool ZBoxObserver::buildRealBoxPage()
{
    m_tabs = new QTabWidget(this);
    m_layout->addWidget(m_tabs);
    auto *settings = new ZBoxCfgr(m_tabs);
    settings->attach(subject());
    m_tabs->addTab(settings, tr("Settings"));
    auto *display = new ZBoxDspr(m_tabs);
    display->attach(subject());
    m_tabs->addTab(display, tr("Display"));
    return true;
}

bool ZBoxObserver::buildPlaybackPage()
{
    auto *display = new ZBoxDspr(this);
    display->attach(subject());
    m_layout->addWidget(display);
    return true;
}
