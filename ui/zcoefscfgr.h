#ifndef ZCOEFSCFGR_H
#define ZCOEFSCFGR_H

#include "model/zcomponent.h"

#include <QWidget>

#include <vector>

class QComboBox;
class QHBoxLayout;
class QLineEdit;
class ZAnalogIn;

// Chooses what an analog input's graph plots, the voltage or the function
// Y = c5 V^5 + ... + c1 V + c0, and edits the coefficients. On screen only while the
// channel's graph is; the coefficient row only while Y is plotted.
class ZCoefsCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZCoefsCfgr(QWidget *parent = nullptr);
    ~ZCoefsCfgr() override;

    bool update(int hint) override;
    bool onAttached() override;
    bool onDetached() override;

    QComboBox *showTypeCombo() const { return m_showTypeCombo; }
    // Index k edits the coefficient of V to the power k.
    const std::vector<QLineEdit *> &coefEdits() const { return m_coefEdits; }
    QWidget *functionRow() const { return m_functionRow; }

private slots:
    void showTypeChanged(int index);
    void coefsEdited();

private:
    void buildChoice();
    void buildFunctionRow();
    void applyFunctionRowRule();
    void showCoefs();

    QHBoxLayout *m_layout = nullptr;
    QComboBox *m_showTypeCombo = nullptr;
    std::vector<QLineEdit *> m_coefEdits;
    QWidget *m_functionRow = nullptr;
    ZAnalogIn *m_analogIn = nullptr;
};

#endif // ZCOEFSCFGR_H
