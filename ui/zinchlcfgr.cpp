#include "ui/zinchlcfgr.h"

#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"
#include "ui/zitvlcfgr.h"
#include "ui/zpanelkit.h"
#include "ui/zrngcfgr.h"
#include "ui/zselectedcfgr.h"

#include <QHBoxLayout>
#include <QLabel>

ZInChlCfgr::ZInChlCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZInChlCfgr::~ZInChlCfgr()
{
    detach(subject());
}

bool ZInChlCfgr::onAttached()
{
    ZComponent *channel = subject();
    QString pattern;
    if (dynamic_cast<ZAnalogIn *>(channel))
        pattern = tr("<b>AICH %1</b>");
    else if (dynamic_cast<ZDigitIn *>(channel))
        pattern = tr("<b>DICH %1\t</b>");
    else if (dynamic_cast<ZEdgeCnt *>(channel))
        pattern = tr("<b>CNTR %1\t</b>");
    else
        return false;
    addLabel(m_layout, channelLabelText(pattern, channelOf(channel->id()) + 1), this);
    addEditor<ZItvlCfgr>();
    if (dynamic_cast<ZAnalogIn *>(channel))
        addEditor<ZRngCfgr>();
    addEditor<ZSelectedCfgr>();
    m_layout->addStretch(100);
    return true;
}

bool ZInChlCfgr::onDetached()
{
    clearLayout(m_layout);
    return true;
}

template<class Editor> void ZInChlCfgr::addEditor()
{
    auto *editor = new Editor(this);
    editor->attach(subject());
    m_layout->addWidget(editor);
}
