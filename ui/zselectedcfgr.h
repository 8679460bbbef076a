#ifndef ZSELECTEDCFGR_H
#define ZSELECTEDCFGR_H

#include "model/zcomponent.h"

#include <QWidget>

class QCheckBox;
class QHBoxLayout;
class ZInChannel;

// The "Select" check box of an input channel: a run records the selected channels.
class ZSelectedCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZSelectedCfgr(QWidget *parent = nullptr);
    ~ZSelectedCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QCheckBox *checkBox() const { return m_checkBox; }

private slots:
    void selectedCheckChanged(int state);

private:
    QHBoxLayout *m_layout;
    QCheckBox *m_checkBox = nullptr;
    ZInChannel *m_channel = nullptr;
};

#endif // ZSELECTEDCFGR_H
