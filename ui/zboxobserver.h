#ifndef ZBOXOBSERVER_H
#define ZBOXOBSERVER_H

#include "device/zbox.h"

#include <QWidget>

class QHBoxLayout;
class QTabWidget;

// The page of one box in the navigation area: the device box gets the tabs "Settings"
// and "Display", a playback box its display alone.
class ZBoxObserver : public QWidget, public ZObserver<ZBox>
{
    Q_OBJECT

public:
    explicit ZBoxObserver(QWidget *parent = nullptr);
    ~ZBoxObserver() override;

    bool onAttached() override;
    bool onDetached() override;

    // Null for a playback page.
    QTabWidget *tabs() const { return m_tabs; }

private:
    bool buildRealBoxPage();
    bool buildPlaybackPage();

    QHBoxLayout *m_layout;
    QTabWidget *m_tabs = nullptr;
};

#endif // ZBOXOBSERVER_H
