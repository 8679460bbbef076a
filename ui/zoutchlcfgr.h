#ifndef ZOUTCHLCFGR_H
#define ZOUTCHLCFGR_H

#include "model/zcomponent.h"

#include <QWidget>

class QHBoxLayout;

// The settings row of one output channel: its label, out mode chooser, wave frequency,
// PWM duty ratio (digital outputs only) and constant value. The editors observe the
// channel themselves and show only what the current mode needs.
class ZOutChlCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZOutChlCfgr(QWidget *parent = nullptr);
    ~ZOutChlCfgr() override;

    bool onAttached() override;
    bool onDetached() override;

private:
    template<class Editor> void addEditor();

    QHBoxLayout *m_layout;
};

#endif // ZOUTCHLCFGR_H
