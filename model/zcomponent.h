#ifndef ZCOMPONENT_H
#define ZCOMPONENT_H

#include "zobservable.h"

#include <QString>

#include <atomic>

// The common part of every channel: its identity, sampling flag and the interval between
// two samples (inputs, milliseconds) or the period of a waveform (outputs, microseconds),
// kept within limits that the box sets per device type.
class ZComponent : public ZObservable<ZComponent>
{
public:
    // Interval changes smaller than this are no change.
    static constexpr double IntervalTolerance = 1e-6;

    ~ZComponent() override = 0;

    // Read by the communication thread during a run, while the GUI thread may set it.
    double interval() const { return m_itvl.load(std::memory_order_relaxed); }
    double minInterval() const { return m_minItvl; }
    double maxInterval() const { return m_maxItvl; }

    // Each returns true when it stored something. Values outside the limits are clamped;
    // not-a-number is refused, and so are limits that are not finite or would cross.
    bool setInterval(double value);
    bool setMinInterval(double value);
    bool setMaxInterval(double value);

    // How the interval is shown to the user: as a rate, named and with a unit. The
    // conversion is its own inverse.
    virtual double intervalRate(double value) const = 0;
    virtual QString rateName() const = 0;
    virtual QString rateUnit() const = 0;

protected:
    ZComponent(double itvl, double minItvl, double maxItvl, int id);

private:
    std::atomic<double> m_itvl;
    double m_minItvl;
    double m_maxItvl;
};

#endif // ZCOMPONENT_H
