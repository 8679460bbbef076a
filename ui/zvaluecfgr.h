#ifndef ZVALUECFGR_H
#define ZVALUECFGR_H

#include "model/zcomponent.h"
#include "ui/zvalueedit.h"

#include <QWidget>

class QComboBox;
class QHBoxLayout;
class ZAnalogOut;
class ZDigitOut;

// The constant value of an output channel: a voltage field for an analog output, a
// Low/High choice for a digital one. Shown only in the constant-value mode, and never
// locked: during a run a changed value reaches the box at once.
class ZValueCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZValueCfgr(QWidget *parent = nullptr);
    ~ZValueCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    // One of the two exists, depending on the channel's kind.
    QLineEdit *voltageField() const { return m_voltageField; }
    QComboBox *statusCombo() const { return m_statusCombo; }

private slots:
    void voltageEdited();
    void statusChanged(int index);

private:
    void buildVoltageField(const ZAnalogOut *channel);
    void buildStatusCombo(const ZDigitOut *channel);
    void showValue();
    void followOutMode();

    QHBoxLayout *m_layout;
    ZValueEdit *m_voltageField = nullptr;
    QComboBox *m_statusCombo = nullptr;
};

#endif // ZVALUECFGR_H
