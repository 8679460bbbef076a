#ifndef ZAPPCFGR_H
#define ZAPPCFGR_H

#include "app/zappobservable.h"

#include <QGroupBox>

class QHBoxLayout;

// "Overall Settings": the device type, the triggers and the duration. Each chooser
// observes the application model itself.
class ZAppCfgr : public QGroupBox, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    explicit ZAppCfgr(QWidget *parent = nullptr);
    ~ZAppCfgr() override;

    bool onAttached() override;
    bool onDetached() override;

private:
    template<class Panel> void addPanel();

    QHBoxLayout *m_layout;
};

#endif // ZAPPCFGR_H
