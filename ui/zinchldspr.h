#ifndef ZINCHLDSPR_H
#define ZINCHLDSPR_H

#include "model/zcomponent.h"

#include <QWidget>

class QVBoxLayout;

// The display of one input channel on a box's display page: its label and reading strip,
// for analog inputs the function editor, then its graph; the strip's Print button prints
// the graph. Attach it to an analog input, digital input or edge counter.
class ZInChlDspr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZInChlDspr(QWidget *parent = nullptr);
    ~ZInChlDspr() override;

    bool onAttached() override;
    bool onDetached() override;

    // "<b>AICH 3</b>&nbsp;&nbsp;" and the like, for a channel's component id; empty for
    // components that are not input channels.
    static QString channelLabel(int componentId);

private:
    QVBoxLayout *m_layout = nullptr;
};

#endif // ZINCHLDSPR_H
