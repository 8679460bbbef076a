#ifndef ZBOXDSPR_H
#define ZBOXDSPR_H

#include "device/zbox.h"

#include <QScrollArea>

class QVBoxLayout;

// The display of a box's input channels, one group per kind of input the box has,
// headed by the project information on a playback page. It scrolls when the displays do
// not fit.
class ZBoxDspr : public QScrollArea, public ZObserver<ZBox>
{
    Q_OBJECT

public:
    explicit ZBoxDspr(QWidget *parent = nullptr);
    ~ZBoxDspr() override;

    bool onAttached() override;

private:
    QVBoxLayout *m_content;
};

#endif // ZBOXDSPR_H
