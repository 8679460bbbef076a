#include "ui/zvaluecfgr.h"

#include "model/zanalogout.h"
#include "model/zdigitout.h"
#include "ui/zpanelkit.h"
#include "ui/zvalueedit.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>

ZValueCfgr::ZValueCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZValueCfgr::~ZValueCfgr()
{
    detach(subject());
}

bool ZValueCfgr::onAttached()
{
    if (!dynamic_cast<ZOutChannel *>(subject()))
        return false;
    followOutMode();
    if (const auto *analog = dynamic_cast<ZAnalogOut *>(subject()))
        buildVoltageField(analog);
    else if (const auto *digital = dynamic_cast<ZDigitOut *>(subject()))
        buildStatusCombo(digital);
    return true;
}

bool ZValueCfgr::onDetached()
{
    delete m_voltageField;
    m_voltageField = nullptr;
    delete m_statusCombo;
    m_statusCombo = nullptr;
    clearLayout(m_layout);
    return true;
}

bool ZValueCfgr::update(int code)
{
    switch (code) {
    case OutModeChanged:
        followOutMode();
        return true;
    case OutValueChanged:
        showValue();
        return true;
    default:
        return false;
    }
}

void ZValueCfgr::buildVoltageField(const ZAnalogOut *channel)
{
    addLabel(m_layout, tr("Voltage:"), this);
    m_voltageField = new ZValueEdit(this);
    m_voltageField->showValue(QStringLiteral("%1").arg(channel->voltage()));
    connect(m_voltageField, &QLineEdit::editingFinished, this, &ZValueCfgr::voltageEdited);
    m_layout->addWidget(m_voltageField);
    addLabel(m_layout, tr("Volts"), this);
}

void ZValueCfgr::buildStatusCombo(const ZDigitOut *channel)
{
    addLabel(m_layout, tr("Status:"), this);
    m_statusCombo = new QComboBox(this);
    m_statusCombo->addItem(tr("Low"));
    m_statusCombo->addItem(tr("High"));
    m_statusCombo->setCurrentIndex(channel->status() ? 1 : 0);
    connect(m_statusCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ZValueCfgr::statusChanged);
    m_layout->addWidget(m_statusCombo);
}

void ZValueCfgr::voltageEdited()
{
    auto *channel = dynamic_cast<ZAnalogOut *>(subject());
    if (!channel)
        return;
    double volts = 0.0;
    // A stored change announces OutValueChanged, which shows the (clamped) voltage.
    if (m_voltageField->hasNewInput() && parseNumber(m_voltageField->text(), &volts)
        && channel->setVoltage(volts))
        return;
    showValue();
}

void ZValueCfgr::statusChanged(int index)
{
    if (auto *channel = dynamic_cast<ZDigitOut *>(subject()))
        channel->setStatus(index == 1);
}

void ZValueCfgr::showValue()
{
    if (const auto *analog = dynamic_cast<ZAnalogOut *>(subject()))
        m_voltageField->showValue(QStringLiteral("%1").arg(analog->voltage()));
    else if (const auto *digital = dynamic_cast<ZDigitOut *>(subject()))
        m_statusCombo->setCurrentIndex(digital->status() ? 1 : 0);
}

void ZValueCfgr::followOutMode()
{
    if (const auto *output = dynamic_cast<ZOutChannel *>(subject()))
        setVisible(output->outMode() == OutValue);
}
