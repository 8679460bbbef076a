#include "ui/zrngcfgr.h"

#include "model/zanalogin.h"
#include "ui/zpanelkit.h"

#include <QComboBox>
#include <QHBoxLayout>

namespace {

struct RangeText
{
    int code;
    const char *text;
};

// Narrowest span first.
constexpr RangeText Ranges[] = {
    { Range1V25, QT_TRANSLATE_NOOP("ZRngCfgr", "-1.25V~+1.25V") },
    { Range2V5, QT_TRANSLATE_NOOP("ZRngCfgr", "-2.5V~+2.5V") },
    { Range5V, QT_TRANSLATE_NOOP("ZRngCfgr", "-5V~+5V") },
    { Range10V, QT_TRANSLATE_NOOP("ZRngCfgr", "-10V~+10V") },
};

} // namespace

ZRngCfgr::ZRngCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZRngCfgr::~ZRngCfgr()
{
    detach(subject());
}

bool ZRngCfgr::onAttached()
{
    m_channel = dynamic_cast<ZAnalogIn *>(subject());
    if (!m_channel)
        return false;
    addLabel(m_layout, tr("Range: "), this);
    buildCombo();
    return true;
}

bool ZRngCfgr::onDetached()
{
    discardCombo();
    clearLayout(m_layout);
    m_channel = nullptr;
    return true;
}

bool ZRngCfgr::update(int code)
{
    if (!m_channel)
        return false;
    switch (code) {
    case SamplingChanged:
        followSampling();
        return true;
    case RangeMaskChanged:
        discardCombo();
        buildCombo();
        return true;
    case RangeChanged:
        showRange();
        return true;
    default:
        return false;
    }
}

void ZRngCfgr::angRngChanged(int index)
{
    const auto it = m_indexToRange.find(index);
    if (m_channel && it != m_indexToRange.end())
        m_channel->setRange(it->second);
}

void ZRngCfgr::buildCombo()
{
    m_combo = new QComboBox(this);
    m_layout->addWidget(m_combo);
    int index = 0;
    for (const RangeText &range : Ranges) {
        if (!(m_channel->rangeMask() & range.code))
            continue;
        m_combo->insertItem(index, tr(range.text));
        m_rangeToIndex[range.code] = index;
        m_indexToRange[index] = range.code;
        ++index;
    }
    showRange();
    followSampling();
    if (offersChoice())
        connect(m_combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                &ZRngCfgr::angRngChanged);
}

void ZRngCfgr::discardCombo()
{
    // Deleting the combo also drops its connection.
    delete m_combo;
    m_combo = nullptr;
    m_rangeToIndex.clear();
    m_indexToRange.clear();
}

void ZRngCfgr::showRange()
{
    const auto it = m_rangeToIndex.find(m_channel->range());
    m_combo->setCurrentIndex(it != m_rangeToIndex.end() ? it->second : 0);
}

void ZRngCfgr::followSampling()
{
    m_combo->setEnabled(offersChoice() && !m_channel->isSampling());
}
