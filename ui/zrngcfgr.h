#ifndef ZRNGCFGR_H
#define ZRNGCFGR_H

#include "model/zcomponent.h"

#include <QWidget>

#include <map>

class QComboBox;
class QHBoxLayout;
class ZAnalogIn;

// The input range chooser of an analog input: the ranges its mask offers, narrowest
// first. A combo with a single range offers no choice and stays disabled.
class ZRngCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZRngCfgr(QWidget *parent = nullptr);
    ~ZRngCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QComboBox *rangeCombo() const { return m_combo; }

private slots:
    void angRngChanged(int index);

private:
    void buildCombo();
    void discardCombo();
    void showRange();
    void followSampling();
    bool offersChoice() const { return m_indexToRange.size() > 1; }

    QHBoxLayout *m_layout;
    QComboBox *m_combo = nullptr;
    std::map<int, int> m_rangeToIndex;
    std::map<int, int> m_indexToRange;
    ZAnalogIn *m_channel = nullptr;
};

#endif // ZRNGCFGR_H
