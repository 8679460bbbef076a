#ifndef ZINCHLCFGR_H
#define ZINCHLCFGR_H

#include "model/zcomponent.h"

#include <QWidget>

class QHBoxLayout;

// The settings row of one input channel: its label, rate editor, range chooser (analog
// inputs only) and "Select" check box. The row itself follows nothing; its editors
// observe the channel themselves.
class ZInChlCfgr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZInChlCfgr(QWidget *parent = nullptr);
    ~ZInChlCfgr() override;

    bool onAttached() override;
    bool onDetached() override;

private:
    template<class Editor> void addEditor();

    QHBoxLayout *m_layout;
};

#endif // ZINCHLCFGR_H
