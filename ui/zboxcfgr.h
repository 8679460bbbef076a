#ifndef ZBOXCFGR_H
#define ZBOXCFGR_H

#include "device/zbox.h"

#include <QScrollArea>

class QVBoxLayout;

// The "Settings" tab of the device box: one group of settings rows per kind of channel
// the box has, inputs first, then outputs. It scrolls when the rows do not fit.
class ZBoxCfgr : public QScrollArea, public ZObserver<ZBox>
{
    Q_OBJECT

public:
    explicit ZBoxCfgr(QWidget *parent = nullptr);
    ~ZBoxCfgr() override;

    // Only the device box has settings; any other box builds nothing.
    bool onAttached() override;

private:
    QVBoxLayout *m_content;
};

#endif // ZBOXCFGR_H
