#ifndef ZDURATIONCFGR_H
#define ZDURATIONCFGR_H

#include "app/zappobservable.h"
#include "ui/zvalueedit.h"

#include <QWidget>

class QHBoxLayout;

// The run duration in seconds, kept to milliseconds. Only the "Time Out" stop trigger
// uses it, so it is shown only then; read-only during a run.
class ZDurationCfgr : public QWidget, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    explicit ZDurationCfgr(QWidget *parent = nullptr);
    ~ZDurationCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QLineEdit *durationField() const { return m_field; }

private slots:
    void durationEdited();

private:
    void showDuration();
    void followStopTrigger();

    QHBoxLayout *m_layout;
    ZValueEdit *m_field = nullptr;
};

#endif // ZDURATIONCFGR_H
