#include "ui/zappcfgr.h"

#include "ui/zboxtypecfgr.h"
#include "ui/zdurationcfgr.h"
#include "ui/zlineloaddspr.h"
#include "ui/zpanelkit.h"
#include "ui/ztriggerscfgr.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

ZAppCfgr::ZAppCfgr(QWidget *parent)
    : QGroupBox(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(10, 10, 10, 10);
}

ZAppCfgr::~ZAppCfgr()
{
    detach(subject());
}

bool ZAppCfgr::onAttached()
{
    setTitle(tr("Overall Settings"));
    auto *choosers = new QHBoxLayout;
    choosers->setSpacing(20);
    m_layout->addLayout(choosers);
    addPanel<ZBoxTypeCfgr>(choosers);
    addPanel<ZTriggersCfgr>(choosers);
    addPanel<ZDurationCfgr>(choosers);
    choosers->addStretch(0);
    // A line of its own: beside the choosers it would make the group too wide for
    // smaller screens.
    addPanel<ZLineLoadDspr>(m_layout);
    return true;
}

bool ZAppCfgr::onDetached()
{
    clearLayout(m_layout);
    return true;
}

template<class Panel> void ZAppCfgr::addPanel(QBoxLayout *layout)
{
    auto *panel = new Panel(this);
    panel->attach(subject());
    layout->addWidget(panel);
}
