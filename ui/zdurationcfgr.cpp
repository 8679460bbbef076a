#include "ui/zdurationcfgr.h"

#include "ui/zpanelkit.h"
#include "ui/zvalueedit.h"

#include <QHBoxLayout>
#include <QLineEdit>

namespace {

constexpr int DurationDecimals = 3;

} // namespace

ZDurationCfgr::ZDurationCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(5);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZDurationCfgr::~ZDurationCfgr()
{
    detach(subject());
}

bool ZDurationCfgr::onAttached()
{
    const ZAppObservable *app = subject();
    followStopTrigger();
    addLabel(m_layout, tr("Duration: "), this);
    m_field = new ZValueEdit(this);
    m_field->setLocked(app->isSampling());
    m_field->showValue(QStringLiteral("%1").arg(app->duration()));
    m_layout->addWidget(m_field);
    addLabel(m_layout, tr("Seconds"), this);
    connect(m_field, &QLineEdit::editingFinished, this, &ZDurationCfgr::durationEdited);
    m_layout->addStretch(0);
    return true;
}

bool ZDurationCfgr::onDetached()
{
    delete m_field;
    m_field = nullptr;
    clearLayout(m_layout);
    return true;
}

bool ZDurationCfgr::update(int code)
{
    switch (code) {
    case SamplingChanged:
        m_field->setLocked(subject()->isSampling());
        return true;
    case StopTriggerChanged:
        followStopTrigger();
        return true;
    case DurationChanged:
        // A duration set elsewhere, such as by loading a settings file, shows at once.
        showDuration();
        return true;
    default:
        return false;
    }
}

void ZDurationCfgr::durationEdited()
{
    ZAppObservable *app = subject();
    if (!app)
        return;
    double seconds = 0.0;
    // A field left untouched keeps the duration in force, however it is rounded here.
    if (!m_field->hasNewInput())
        return;
    if (!parseNumber(m_field->text(), &seconds)) {
        m_field->showValue(QStringLiteral("%1").arg(app->duration()));
        return;
    }
    // Kept to millisecond resolution: the rounded text is what the model gets.
    const QString rounded = formatNumber(seconds, DurationDecimals);
    m_field->showValue(rounded);
    parseNumber(rounded, &seconds);
    // A stored change announces DurationChanged, which shows it; a refused one (negative)
    // or no change at all leaves the field showing the duration in force.
    if (!app->setDuration(seconds))
        showDuration();
}

void ZDurationCfgr::showDuration()
{
    m_field->showValue(formatNumber(subject()->duration(), DurationDecimals));
}

void ZDurationCfgr::followStopTrigger()
{
    setVisible(subject()->stopTrigger() == TriggerTimeOut);
}
