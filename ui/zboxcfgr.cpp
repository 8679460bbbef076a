#include "ui/zboxcfgr.h"

#include "device/zrealbox.h"
#include "ui/zchannelgroup.h"
#include "ui/zinchlcfgr.h"
#include "ui/zoutchlcfgr.h"

#include <QVBoxLayout>

namespace {

constexpr int RowSpacing = 15;

} // namespace

ZBoxCfgr::ZBoxCfgr(QWidget *parent)
    : QScrollArea(parent)
    , m_content(createScrolledContent(this))
{ }

ZBoxCfgr::~ZBoxCfgr()
{
    detach(subject());
}

bool ZBoxCfgr::onAttached()
{
    const auto *box = dynamic_cast<ZRealBox *>(subject());
    if (!box)
        return false;
    QWidget *content = widget();
    addChannelGroup<ZInChlCfgr>(m_content, content, tr("Analog Input Channels(%1)"),
                                box->analogIns(), RowSpacing);
    addChannelGroup<ZInChlCfgr>(m_content, content, tr("Digit Input Channels(%1)"), box->digitIns(),
                                RowSpacing);
    addChannelGroup<ZInChlCfgr>(m_content, content, tr("Counters(%1)"), box->edgeCnts(),
                                RowSpacing);
    addChannelGroup<ZOutChlCfgr>(m_content, content, tr("Analog Output Channels(%1)"),
                                 box->analogOuts(), RowSpacing);
    addChannelGroup<ZOutChlCfgr>(m_content, content, tr("Digit Output Channels(%1)"),
                                 box->digitOuts(), RowSpacing);
    m_content->addStretch(0);
    return true;
}
