#ifndef ZLINELOADDSPR_H
#define ZLINELOADDSPR_H

#include "app/zappobservable.h"

#include <QLabel>

#include <memory>
#include <vector>

struct ZLineLoad;

// What the chosen inputs and rates ask of the serial line to the device box, against
// what the line carries: "Line: 4.2 of 11.5 kB/s". Over the line's limit it turns to a
// warning colour and names the record rate the box will really deliver, so that a user
// learns it before pressing Start rather than from gaps after the run. It follows the
// device type, the box and every input's selection and rate; hidden without a device.
class ZLineLoadDspr : public QLabel, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    explicit ZLineLoadDspr(QWidget *parent = nullptr);
    ~ZLineLoadDspr() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

    bool showsWarning() const { return m_warning; }

    // The text for a load, with the warning part when it is over the line's limit.
    static QString loadText(const ZLineLoad &load);

private:
    class ChannelWatch;

    void followActiveBox();
    void refresh();
    void showWarning(bool warning);

    std::vector<std::unique_ptr<ChannelWatch>> m_watches;
    bool m_warning = false;
};

#endif // ZLINELOADDSPR_H
