#include "ui/zlastdspr.h"

#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"
#include "ui/zlighticon.h"
#include "ui/zvaluefield.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

ZLastDspr::ZLastDspr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

// The concrete kinds detach, while their own teardown can still run.
ZLastDspr::~ZLastDspr() = default;

bool ZLastDspr::update(int hint)
{
    if (!m_channel)
        return false;
    switch (hint) {
    case SamplingChanged:
        updatePrintEnabled();
        return true;
    case GraphShownChanged:
        m_graphCheck->setChecked(m_channel->isGraphShown());
        return true;
    case DataCleared:
        m_timeField->setText(QStringLiteral("0"));
        showLastValue();
        m_graphCheck->setEnabled(false);
        return true;
    default:
        return false;
    }
}

bool ZLastDspr::onAttached()
{
    m_channel = dynamic_cast<ZInChannel *>(subject());
    if (!m_channel || !setKindChannel(m_channel)) {
        m_channel = nullptr;
        return false;
    }

    QWidget *timeGroup = addGroup(5);
    timeGroup->layout()->addWidget(new QLabel(tr("Time:"), timeGroup));
    m_timeField = createValueField(timeGroup, true);
    timeGroup->layout()->addWidget(m_timeField);
    timeGroup->layout()->addWidget(new QLabel(tr("Seconds"), timeGroup));
    static_cast<QHBoxLayout *>(timeGroup->layout())->addStretch(0);
    showLastTime();

    QWidget *valueGroup = addGroup(5);
    valueGroup->layout()->addWidget(new QLabel(valueCaption(), valueGroup));
    m_valueWidget = createValueWidget(valueGroup);
    valueGroup->layout()->addWidget(m_valueWidget);
    if (!valueUnit().isEmpty())
        valueGroup->layout()->addWidget(new QLabel(valueUnit(), valueGroup));
    static_cast<QHBoxLayout *>(valueGroup->layout())->addStretch(0);
    showLastValue();

    connect(m_channel, &ZInChannel::dataAppended, this, &ZLastDspr::onDataAppended);

    QWidget *buttonGroup = addGroup(20);
    m_graphCheck = new QCheckBox(tr("Graph"), buttonGroup);
    m_graphCheck->setChecked(m_channel->isGraphShown());
    m_graphCheck->setEnabled(!m_channel->times().isEmpty());
    connect(m_graphCheck, &QCheckBox::stateChanged, this, &ZLastDspr::graphCheckChanged);
    buttonGroup->layout()->addWidget(m_graphCheck);
    m_printButton = new QPushButton(tr("Print"), buttonGroup);
    m_printButton->setObjectName(QStringLiteral("printGraph"));
    connect(m_printButton, &QPushButton::clicked, this, &ZLastDspr::printPressed);
    buttonGroup->layout()->addWidget(m_printButton);
    updatePrintEnabled();

    m_layout->addStretch(100);
    return true;
}

bool ZLastDspr::onDetached()
{
    setKindChannel(nullptr);
    delete m_printButton;
    m_printButton = nullptr;
    if (m_channel)
        disconnect(m_channel, &ZInChannel::dataAppended, this, &ZLastDspr::onDataAppended);
    delete m_graphCheck;
    m_graphCheck = nullptr;
    delete m_valueWidget;
    m_valueWidget = nullptr;
    delete m_timeField;
    m_timeField = nullptr;
    while (QLayoutItem *item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_channel = nullptr;
    return true;
}

QWidget *ZLastDspr::addGroup(int spacing)
{
    auto *group = new QWidget(this);
    auto *layout = new QHBoxLayout(group);
    layout->setSpacing(spacing);
    layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(group);
    return group;
}

void ZLastDspr::showLastTime()
{
    const auto times = m_channel->times();
    m_timeField->setText(times.isEmpty() ? QStringLiteral("0") : formatNumber(times.last(), 3));
}

void ZLastDspr::updatePrintEnabled()
{
    m_printButton->setEnabled(!m_channel->isSampling() && m_graphCheck->isChecked());
}

void ZLastDspr::graphCheckChanged(int state)
{
    m_channel->setGraphShown(state == Qt::Checked);
    updatePrintEnabled();
}

void ZLastDspr::onDataAppended(int count)
{
    Q_UNUSED(count);
    if (!m_channel)
        return;
    showLastTime();
    showLastValue();
    // A signal queued before the series were cleared must not enable the graph.
    m_graphCheck->setEnabled(!m_channel->times().isEmpty());
}

// ---------------------------------------------------------------------------------------

ZLastVolt::ZLastVolt(QWidget *parent)
    : ZLastDspr(parent)
{ }

ZLastVolt::~ZLastVolt()
{
    detach(subject());
}

bool ZLastVolt::setKindChannel(ZInChannel *channel)
{
    m_analogIn = dynamic_cast<ZAnalogIn *>(channel);
    if (!m_analogIn)
        m_voltField = nullptr;
    return m_analogIn != nullptr;
}

QString ZLastVolt::valueCaption() const
{
    return tr("Voltage: ");
}

QWidget *ZLastVolt::createValueWidget(QWidget *parent)
{
    m_voltField = createValueField(parent, true);
    return m_voltField;
}

QString ZLastVolt::valueUnit() const
{
    return tr("Volts");
}

void ZLastVolt::showLastValue()
{
    // The strip reads the voltage whatever the graph plots.
    const auto volts = m_analogIn->volts();
    m_voltField->setText(volts.isEmpty() ? QStringLiteral("0") : formatNumber(volts.last(), 8));
}

ZLastStat::ZLastStat(QWidget *parent)
    : ZLastDspr(parent)
{ }

ZLastStat::~ZLastStat()
{
    detach(subject());
}

bool ZLastStat::setKindChannel(ZInChannel *channel)
{
    m_digitIn = dynamic_cast<ZDigitIn *>(channel);
    if (!m_digitIn)
        m_lamp = nullptr;
    return m_digitIn != nullptr;
}

QString ZLastStat::valueCaption() const
{
    return tr("Status: ");
}

QWidget *ZLastStat::createValueWidget(QWidget *parent)
{
    m_lamp = new ZLightIcon(false, parent);
    return m_lamp;
}

void ZLastStat::showLastValue()
{
    const auto statuses = m_digitIn->statuses();
    m_lamp->setOn(!statuses.isEmpty() && statuses.last());
}

ZLastCntd::ZLastCntd(QWidget *parent)
    : ZLastDspr(parent)
{ }

ZLastCntd::~ZLastCntd()
{
    detach(subject());
}

bool ZLastCntd::setKindChannel(ZInChannel *channel)
{
    m_edgeCnt = dynamic_cast<ZEdgeCnt *>(channel);
    if (!m_edgeCnt)
        m_countField = nullptr;
    return m_edgeCnt != nullptr;
}

QString ZLastCntd::valueCaption() const
{
    return tr("Counted: ");
}

QWidget *ZLastCntd::createValueWidget(QWidget *parent)
{
    m_countField = createValueField(parent, true);
    return m_countField;
}

void ZLastCntd::showLastValue()
{
    const auto counts = m_edgeCnt->counts();
    m_countField->setText(counts.isEmpty() ? QStringLiteral("0")
                                           : QStringLiteral("%1").arg(counts.last()));
}

ZLastDspr *createLastDspr(ZInChannel *channel, QWidget *parent)
{
    ZLastDspr *strip = nullptr;
    if (dynamic_cast<ZAnalogIn *>(channel))
        strip = new ZLastVolt(parent);
    else if (dynamic_cast<ZDigitIn *>(channel))
        strip = new ZLastStat(parent);
    else if (dynamic_cast<ZEdgeCnt *>(channel))
        strip = new ZLastCntd(parent);
    if (strip)
        strip->attach(channel);
    return strip;
}
