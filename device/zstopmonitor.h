#ifndef ZSTOPMONITOR_H
#define ZSTOPMONITOR_H

#include "model/zcomponent.h"

#include <QObject>

class ZDigitIn;
class ZEdgeDetector;

// Watches digital input 0 during a run and emits stopSample() when the chosen edge
// occurs. Its update() runs on the communication thread, which appends the samples.
class ZStopMonitor : public QObject, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    explicit ZStopMonitor(ZEdgeDetector *detector);
    ~ZStopMonitor() override;

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

signals:
    void stopSample();

private:
    ZEdgeDetector *m_detector;
    ZDigitIn *m_digitIn = nullptr;
};

#endif // ZSTOPMONITOR_H
