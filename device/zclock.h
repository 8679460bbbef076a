#ifndef ZCLOCK_H
#define ZCLOCK_H

#include <QElapsedTimer>

#include <atomic>

// Monotonic time in milliseconds, read through an interface so that pacing, thinning
// and the simulated box can run on a manual clock in tests and benchmarks.
class ZClock
{
public:
    virtual ~ZClock() = default;
    virtual double nowMs() const = 0;

    // The process-wide steady clock.
    static const ZClock &steady();
};

class ZSteadyClock : public ZClock
{
public:
    ZSteadyClock() { m_timer.start(); }
    double nowMs() const override { return double(m_timer.nsecsElapsed()) / 1e6; }

private:
    QElapsedTimer m_timer;
};

// A clock that moves only when told; safe to move from one thread and read from others.
class ZManualClock : public ZClock
{
public:
    explicit ZManualClock(double startMs = 0.0)
        : m_now(startMs)
    { }
    double nowMs() const override { return m_now.load(std::memory_order_acquire); }
    void setMs(double ms) { m_now.store(ms, std::memory_order_release); }
    void advanceMs(double ms) { setMs(nowMs() + ms); }

private:
    std::atomic<double> m_now;
};

// A millisecond stopwatch on a clock: started at construction, restartable.
class ZStopwatch
{
public:
    explicit ZStopwatch(const ZClock &clock = ZClock::steady())
        : m_clock(&clock)
        , m_start(clock.nowMs())
    { }
    double elapsedMs() const { return m_clock->nowMs() - m_start; }
    void restart() { m_start = m_clock->nowMs(); }
    const ZClock &clock() const { return *m_clock; }

private:
    const ZClock *m_clock;
    double m_start;
};

#endif // ZCLOCK_H
