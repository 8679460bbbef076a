#include "ui/zitvlcfgr.h"

#include "model/zoutchannel.h"
#include "ui/zpanelkit.h"
#include "ui/zvalueedit.h"

#include <QHBoxLayout>
#include <QLineEdit>

namespace {

constexpr int RateDecimals = 6;

} // namespace

ZItvlCfgr::ZItvlCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZItvlCfgr::~ZItvlCfgr()
{
    detach(subject());
}

bool ZItvlCfgr::onAttached()
{
    ZComponent *component = subject();
    followOutMode();
    addLabel(m_layout, component->rateName() + QStringLiteral(": "), this);
    m_rateField = new ZValueEdit(this);
    m_rateField->setLocked(component->isSampling());
    m_layout->addWidget(m_rateField);
    showRate();
    connect(m_rateField, &QLineEdit::editingFinished, this, &ZItvlCfgr::frequencyEdited);
    addLabel(m_layout, component->rateUnit(), this);
    m_layout->addStretch(0);
    return true;
}

bool ZItvlCfgr::onDetached()
{
    delete m_rateField;
    m_rateField = nullptr;
    clearLayout(m_layout);
    return true;
}

bool ZItvlCfgr::update(int code)
{
    switch (code) {
    case SamplingChanged:
        m_rateField->setLocked(subject()->isSampling());
        return true;
    case IntervalChanged:
        showRate();
        return true;
    case OutModeChanged:
        followOutMode();
        return true;
    default:
        return false;
    }
}

void ZItvlCfgr::frequencyEdited()
{
    ZComponent *component = subject();
    if (!component)
        return;
    double rate = 0.0;
    // A stored change announces IntervalChanged, which shows the (clamped) rate in force.
    if (m_rateField->hasNewInput() && parseNumber(m_rateField->text(), &rate)
        && component->setInterval(component->intervalRate(rate)))
        return;
    showRate();
}

void ZItvlCfgr::showRate()
{
    const ZComponent *component = subject();
    m_rateField->showValue(
        formatNumber(component->intervalRate(component->interval()), RateDecimals));
}

// A constant output value needs no rate.
void ZItvlCfgr::followOutMode()
{
    if (const auto *output = dynamic_cast<const ZOutChannel *>(subject()))
        setVisible(output->outMode() != OutValue);
}
