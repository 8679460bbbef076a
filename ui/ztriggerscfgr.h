#ifndef ZTRIGGERSCFGR_H
#define ZTRIGGERSCFGR_H

#include "app/zappobservable.h"

#include <QWidget>

class QComboBox;
class QHBoxLayout;

// The start and stop trigger choosers; locked during a run. The combo indexes are the
// trigger values.
class ZTriggersCfgr : public QWidget, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    explicit ZTriggersCfgr(QWidget *parent = nullptr);
    ~ZTriggersCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QComboBox *startCombo() const { return m_startCombo; }
    QComboBox *stopCombo() const { return m_stopCombo; }

private slots:
    void startTriggerChanged(int index);
    void stopTriggerChanged(int index);

private:
    QComboBox *addChooser(const QString &label, const QStringList &items, int current);
    void followSampling();

    QHBoxLayout *m_layout;
    QComboBox *m_startCombo = nullptr;
    QComboBox *m_stopCombo = nullptr;
};

#endif // ZTRIGGERSCFGR_H
