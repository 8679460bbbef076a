#include "ui/ztriggerscfgr.h"

#include "ui/zpanelkit.h"

#include <QComboBox>
#include <QHBoxLayout>

ZTriggersCfgr::ZTriggersCfgr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

ZTriggersCfgr::~ZTriggersCfgr()
{
    detach(subject());
}

bool ZTriggersCfgr::onAttached()
{
    const ZAppObservable *app = subject();
    const QStringList edges = { tr("Manual"), tr("Raising Edge"), tr("Failing Edge") };
    m_startCombo = addChooser(tr("Start Trigger: "), edges, app->startTrigger());
    m_stopCombo = addChooser(tr("Stop Trigger: "), edges + QStringList { tr("Time Out") },
                             app->stopTrigger());
    followSampling();
    connect(m_startCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ZTriggersCfgr::startTriggerChanged);
    connect(m_stopCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ZTriggersCfgr::stopTriggerChanged);
    return true;
}

bool ZTriggersCfgr::onDetached()
{
    delete m_startCombo;
    m_startCombo = nullptr;
    delete m_stopCombo;
    m_stopCombo = nullptr;
    clearLayout(m_layout);
    return true;
}

bool ZTriggersCfgr::update(int code)
{
    switch (code) {
    case SamplingChanged:
        followSampling();
        return true;
    case StartTriggerChanged:
        m_startCombo->setCurrentIndex(subject()->startTrigger());
        return true;
    case StopTriggerChanged:
        m_stopCombo->setCurrentIndex(subject()->stopTrigger());
        return true;
    default:
        return false;
    }
}

void ZTriggersCfgr::startTriggerChanged(int index)
{
    if (ZAppObservable *app = subject())
        app->setStartTrigger(index);
}

void ZTriggersCfgr::stopTriggerChanged(int index)
{
    if (ZAppObservable *app = subject())
        app->setStopTrigger(index);
}

QComboBox *ZTriggersCfgr::addChooser(const QString &label, const QStringList &items, int current)
{
    auto *group = new QWidget(this);
    auto *layout = new QHBoxLayout(group);
    layout->setSpacing(5);
    layout->setContentsMargins(0, 0, 0, 0);
    addLabel(layout, label, group);
    auto *combo = new QComboBox(group);
    combo->addItems(items);
    combo->setCurrentIndex(current);
    layout->addWidget(combo);
    m_layout->addWidget(group);
    return combo;
}

void ZTriggersCfgr::followSampling()
{
    const bool running = subject()->isSampling();
    m_startCombo->setEnabled(!running);
    m_stopCombo->setEnabled(!running);
}
