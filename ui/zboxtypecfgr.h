#ifndef ZBOXTYPECFGR_H
#define ZBOXTYPECFGR_H

#include "app/zappobservable.h"

#include <QWidget>

class QComboBox;
class QHBoxLayout;

// The device type chooser; locked during a run. The combo index is the box type.
class ZBoxTypeCfgr : public QWidget, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    explicit ZBoxTypeCfgr(QWidget *parent = nullptr);
    ~ZBoxTypeCfgr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    QComboBox *typeCombo() const { return m_combo; }

private slots:
    void boxTypeChanged(int index);

private:
    QHBoxLayout *m_layout;
    QComboBox *m_combo = nullptr;
};

#endif // ZBOXTYPECFGR_H
