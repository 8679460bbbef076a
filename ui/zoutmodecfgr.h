#ifndef ZOUTMODECFGR_H
#define ZOUTMODECFGR_H

#include "model/zcomponent.h"

#include <QWidget>

#include <map>

class QComboBox;
class QHBoxLayout;
class ZOutChannel;

// The out mode chooser of an output channel: the modes its mask offers. A combo with a
// single mode offers no choice and stays disabled.
class ZOutModeCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZOutModeCfgr(QWidget *parent = nullptr);
    ~ZOutModeCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QComboBox *modeCombo() const { return m_combo; }

private slots:
    void outModeChanged(int index);

private:
    void buildCombo();
    void showMode();
    void followSampling();
    bool offersChoice() const { return m_indexToMode.size() > 1; }

    QHBoxLayout *m_layout;
    QComboBox *m_combo = nullptr;
    std::map<int, int> m_modeToIndex;
    std::map<int, int> m_indexToMode;
    ZOutChannel *m_channel = nullptr;
};

#endif // ZOUTMODECFGR_H
