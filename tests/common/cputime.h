#ifndef CPUTIME_H
#define CPUTIME_H

#include <QString>

#include <chrono>
#include <ctime>

// CPU time used against wall time passed, to tell a thread that waits from one that
// spins: a waiting thread uses a small share of the wall time, a spinning one nearly all.
class CpuWatch
{
public:
    enum Scope { ThisThread, WholeProcess };

    explicit CpuWatch(Scope scope)
        : m_clock(scope == ThisThread ? CLOCK_THREAD_CPUTIME_ID : CLOCK_PROCESS_CPUTIME_ID)
        , m_cpuStart(cpuMs())
        , m_wallStart(std::chrono::steady_clock::now())
    { }

    double cpuMs() const
    {
        timespec now {};
        clock_gettime(m_clock, &now);
        return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    }
    double usedCpuMs() const { return cpuMs() - m_cpuStart; }
    double wallMs() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now()
                                                         - m_wallStart)
            .count();
    }
    // True when the CPU used stays below `share` of the wall time (plus `slackMs` for the
    // work around the wait itself).
    bool isBelow(double share, double slackMs = 5.0) const
    {
        return usedCpuMs() < share * wallMs() + slackMs;
    }
    QString report() const
    {
        return QStringLiteral("%1 ms CPU in %2 ms")
            .arg(usedCpuMs(), 0, 'f', 1)
            .arg(wallMs(), 0, 'f', 1);
    }

private:
    clockid_t m_clock;
    double m_cpuStart;
    std::chrono::steady_clock::time_point m_wallStart;
};

#endif // CPUTIME_H
