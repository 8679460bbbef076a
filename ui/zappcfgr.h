#ifndef ZAPPCFGR_H
#define ZAPPCFGR_H

#include "app/zappobservable.h"

#include <QGroupBox>

class QBoxLayout;
class QVBoxLayout;

// "Overall Settings": the device type, the triggers and the duration, and what the
// chosen inputs ask of the serial line. Each part observes the application model itself.
class ZAppCfgr : public QGroupBox, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    explicit ZAppCfgr(QWidget *parent = nullptr);
    ~ZAppCfgr() override;

    bool onAttached() override;
    bool onDetached() override;

private:
    template<class Panel> void addPanel(QBoxLayout *layout);

    QVBoxLayout *m_layout;
};

#endif // ZAPPCFGR_H
