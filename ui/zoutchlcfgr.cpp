#include "ui/zoutchlcfgr.h"

#include "model/zanalogout.h"
#include "model/zdigitout.h"
#include "ui/zdtyrtocfgr.h"
#include "ui/zitvlcfgr.h"
#include "ui/zoutmodecfgr.h"
#include "ui/zpanelkit.h"
#include "ui/zvaluecfgr.h"

#include <QHBoxLayout>

ZOutChlCfgr::ZOutChlCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZOutChlCfgr::~ZOutChlCfgr()
{
    detach(subject());
}

bool ZOutChlCfgr::onAttached()
{
    ZComponent *channel = subject();
    const bool digital = dynamic_cast<ZDigitOut *>(channel) != nullptr;
    QString pattern;
    if (dynamic_cast<ZAnalogOut *>(channel))
        pattern = tr("<b>AOCH %1</b>");
    else if (digital)
        pattern = tr("<b>DOCH %1</b>");
    else
        return false;
    addLabel(m_layout, channelLabelText(pattern, channelOf(channel->id()) + 1), this);
    addEditor<ZOutModeCfgr>();
    addEditor<ZItvlCfgr>();
    if (digital)
        addEditor<ZDtyRtoCfgr>();
    addEditor<ZValueCfgr>();
    m_layout->addStretch(100);
    return true;
}

bool ZOutChlCfgr::onDetached()
{
    clearLayout(m_layout);
    return true;
}

template<class Editor> void ZOutChlCfgr::addEditor()
{
    auto *editor = new Editor(this);
    editor->attach(subject());
    m_layout->addWidget(editor);
}
