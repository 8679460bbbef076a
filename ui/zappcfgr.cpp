#include "ui/zappcfgr.h"

#include "ui/zboxtypecfgr.h"
#include "ui/zdurationcfgr.h"
#include "ui/zpanelkit.h"
#include "ui/ztriggerscfgr.h"

#include <QHBoxLayout>

ZAppCfgr::ZAppCfgr(QWidget *parent)
    : QGroupBox(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(10, 10, 10, 10);
}

ZAppCfgr::~ZAppCfgr()
{
    detach(subject());
}

bool ZAppCfgr::onAttached()
{
    setTitle(tr("Overall Settings"));
    addPanel<ZBoxTypeCfgr>();
    addPanel<ZTriggersCfgr>();
    addPanel<ZDurationCfgr>();
    m_layout->addStretch(0);
    return true;
}

bool ZAppCfgr::onDetached()
{
    clearLayout(m_layout);
    return true;
}

template<class Panel> void ZAppCfgr::addPanel()
{
    auto *panel = new Panel(this);
    panel->attach(subject());
    m_layout->addWidget(panel);
}
