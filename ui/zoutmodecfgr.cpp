#include "ui/zoutmodecfgr.h"

#include "model/zanalogout.h"
#include "model/zdigitout.h"
#include "ui/zpanelkit.h"

#include <QComboBox>
#include <QHBoxLayout>

#include <vector>

namespace {

struct ModeText
{
    int mode;
    const char *text;
};

const std::vector<ModeText> &analogModes()
{
    static const std::vector<ModeText> modes = {
        { OutValue, QT_TRANSLATE_NOOP("ZOutModeCfgr", "Voltage Value") },
        { OutSine, QT_TRANSLATE_NOOP("ZOutModeCfgr", "Sine Wave") },
        { OutTriangle, QT_TRANSLATE_NOOP("ZOutModeCfgr", "Triangle Wave") },
        { OutSawtooth, QT_TRANSLATE_NOOP("ZOutModeCfgr", "Sawtooth Wave") },
    };
    return modes;
}

const std::vector<ModeText> &digitalModes()
{
    static const std::vector<ModeText> modes = {
        { OutValue, QT_TRANSLATE_NOOP("ZOutModeCfgr", "Status Value") },
        { OutPwm, QT_TRANSLATE_NOOP("ZOutModeCfgr", "PWM Wave") },
    };
    return modes;
}

} // namespace

ZOutModeCfgr::ZOutModeCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZOutModeCfgr::~ZOutModeCfgr()
{
    detach(subject());
}

bool ZOutModeCfgr::onAttached()
{
    m_channel = dynamic_cast<ZOutChannel *>(subject());
    if (!m_channel)
        return false;
    addLabel(m_layout, tr("Mode:"), this);
    buildCombo();
    return true;
}

bool ZOutModeCfgr::onDetached()
{
    delete m_combo;
    m_combo = nullptr;
    m_modeToIndex.clear();
    m_indexToMode.clear();
    clearLayout(m_layout);
    m_channel = nullptr;
    return true;
}

bool ZOutModeCfgr::update(int code)
{
    if (!m_channel)
        return false;
    switch (code) {
    case SamplingChanged:
        followSampling();
        return true;
    case OutModeChanged:
        showMode();
        return true;
    default:
        return false;
    }
}

void ZOutModeCfgr::outModeChanged(int index)
{
    const auto it = m_indexToMode.find(index);
    if (m_channel && it != m_indexToMode.end())
        m_channel->setOutMode(it->second);
}

void ZOutModeCfgr::buildCombo()
{
    m_combo = new QComboBox(this);
    m_layout->addWidget(m_combo);
    const bool analog = dynamic_cast<ZAnalogOut *>(m_channel) != nullptr;
    int index = 0;
    for (const ModeText &mode : analog ? analogModes() : digitalModes()) {
        if (!(m_channel->outModeMask() & mode.mode))
            continue;
        m_combo->insertItem(index, tr(mode.text));
        m_modeToIndex[mode.mode] = index;
        m_indexToMode[index] = mode.mode;
        ++index;
    }
    showMode();
    followSampling();
    if (offersChoice())
        connect(m_combo, qOverload<int>(&QComboBox::currentIndexChanged), this,
                &ZOutModeCfgr::outModeChanged);
}

void ZOutModeCfgr::showMode()
{
    const auto it = m_modeToIndex.find(m_channel->outMode());
    m_combo->setCurrentIndex(it != m_modeToIndex.end() ? it->second : 0);
}

void ZOutModeCfgr::followSampling()
{
    m_combo->setEnabled(offersChoice() && !m_channel->isSampling());
}
