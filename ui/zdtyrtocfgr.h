#ifndef ZDTYRTOCFGR_H
#define ZDTYRTOCFGR_H

#include "model/zcomponent.h"
#include "ui/zvalueedit.h"

#include <QWidget>

class QHBoxLayout;
class ZDigitOut;

// The PWM duty ratio of a digital output in percent, shown only in PWM mode.
class ZDtyRtoCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZDtyRtoCfgr(QWidget *parent = nullptr);
    ~ZDtyRtoCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QLineEdit *dutyRatioField() const { return m_field; }

private slots:
    void dutyRatioEdited();

private:
    void showDutyRatio();
    void followOutMode();

    QHBoxLayout *m_layout;
    ZValueEdit *m_field = nullptr;
    ZDigitOut *m_channel = nullptr;
};

#endif // ZDTYRTOCFGR_H
