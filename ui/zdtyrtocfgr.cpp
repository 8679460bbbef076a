#include "ui/zdtyrtocfgr.h"

#include "model/zdigitout.h"
#include "ui/zpanelkit.h"
#include "ui/zvalueedit.h"

#include <QHBoxLayout>
#include <QLineEdit>

#include <cmath>
#include <limits>

namespace {

// The typed percentage truncated toward zero, kept to the 16 bits the model takes.
// Values no integer can hold (infinities, huge numbers) count as no number.
bool dutyRatioOf(double typed, quint16 *ratio)
{
    const double whole = std::trunc(typed);
    if (!std::isfinite(whole) || std::fabs(whole) > double(std::numeric_limits<qint64>::max()))
        return false;
    *ratio = quint16(quint64(qint64(whole)) & 0xFFFF);
    return true;
}

} // namespace

ZDtyRtoCfgr::ZDtyRtoCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZDtyRtoCfgr::~ZDtyRtoCfgr()
{
    detach(subject());
}

bool ZDtyRtoCfgr::onAttached()
{
    m_channel = dynamic_cast<ZDigitOut *>(subject());
    if (!m_channel)
        return false;
    followOutMode();
    addLabel(m_layout, tr("Duty Ratio:"), this);
    m_field = new ZValueEdit(this);
    m_field->setLocked(m_channel->isSampling());
    showDutyRatio();
    connect(m_field, &QLineEdit::editingFinished, this, &ZDtyRtoCfgr::dutyRatioEdited);
    m_layout->addWidget(m_field);
    addLabel(m_layout, tr("%"), this);
    m_layout->addStretch(0);
    return true;
}

bool ZDtyRtoCfgr::onDetached()
{
    delete m_field;
    m_field = nullptr;
    clearLayout(m_layout);
    m_channel = nullptr;
    return true;
}

bool ZDtyRtoCfgr::update(int code)
{
    if (!m_channel)
        return false;
    switch (code) {
    case SamplingChanged:
        m_field->setLocked(m_channel->isSampling());
        return true;
    case OutModeChanged:
        followOutMode();
        return true;
    case DutyRatioChanged:
        showDutyRatio();
        return true;
    default:
        return false;
    }
}

void ZDtyRtoCfgr::dutyRatioEdited()
{
    if (!m_channel)
        return;
    double typed = 0.0;
    quint16 ratio = 0;
    // A stored change announces DutyRatioChanged, which shows the (clamped) ratio.
    if (m_field->hasNewInput() && parseNumber(m_field->text(), &typed) && dutyRatioOf(typed, &ratio)
        && m_channel->setDutyRatio(ratio))
        return;
    showDutyRatio();
}

void ZDtyRtoCfgr::showDutyRatio()
{
    m_field->showValue(QString::number(m_channel->dutyRatio()));
}

void ZDtyRtoCfgr::followOutMode()
{
    setVisible(m_channel->outMode() == OutPwm);
}
