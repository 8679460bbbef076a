#ifndef ZITVLCFGR_H
#define ZITVLCFGR_H

#include "model/zcomponent.h"
#include "ui/zvalueedit.h"

#include <QWidget>

class QHBoxLayout;

// The rate editor of any channel: the interval typed as a rate (samples per second,
// hertz). Output channels hide it while they hold a constant value.
class ZItvlCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZItvlCfgr(QWidget *parent = nullptr);
    ~ZItvlCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QLineEdit *rateField() const { return m_rateField; }

private slots:
    void frequencyEdited();

private:
    void showRate();
    void followOutMode();

    QHBoxLayout *m_layout;
    ZValueEdit *m_rateField = nullptr;
};

#endif // ZITVLCFGR_H
