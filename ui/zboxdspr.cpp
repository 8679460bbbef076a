#include "ui/zboxdspr.h"

#include "device/zimgybox.h"
#include "ui/zboxinfo.h"
#include "ui/zchannelgroup.h"
#include "ui/zinchldspr.h"

#include <QVBoxLayout>

namespace {

constexpr int RowSpacing = 13;

} // namespace

ZBoxDspr::ZBoxDspr(QWidget *parent)
    : QScrollArea(parent)
    , m_content(createScrolledContent(this))
{ }

ZBoxDspr::~ZBoxDspr()
{
    detach(subject());
}

bool ZBoxDspr::onAttached()
{
    ZBox *box = subject();
    QWidget *content = widget();
    if (dynamic_cast<ZImgyBox *>(box)) {
        auto *info = new ZBoxInfo(content);
        info->attach(box);
        m_content->addWidget(info);
    }
    addChannelGroup<ZInChlDspr>(m_content, content, tr("Analog Input Channels(%1)"),
                                box->analogIns(), RowSpacing);
    addChannelGroup<ZInChlDspr>(m_content, content, tr("Digit Input Channels(%1)"), box->digitIns(),
                                RowSpacing);
    addChannelGroup<ZInChlDspr>(m_content, content, tr("Counters(%1)"), box->edgeCnts(),
                                RowSpacing);
    m_content->addStretch(0);
    return true;
}
