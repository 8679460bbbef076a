#ifndef BENCHKIT_H
#define BENCHKIT_H

// What the benchmarks share: the main thread's CPU clock, percentiles of measured
// latencies, and an observer that ends an event loop with the run.

#include "app/zappobservable.h"
#include "model/zglobal.h"

#include <QEventLoop>
#include <QMetaObject>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <vector>

inline double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The value at share p (0 to 1) of the sorted values; 0 for none.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(std::lround(p * double(values.size() - 1)));
    return values[index];
}

// Ends an event loop when the run is over.
class RunEnd : public ZObserver<ZAppObservable>
{
public:
    explicit RunEnd(QEventLoop *loop)
        : m_loop(loop)
    { }
    ~RunEnd() override { detach(subject()); }
    bool update(int code) override
    {
        if (code == SampleFinished || code == SampleCanceled)
            QMetaObject::invokeMethod(m_loop, "quit", Qt::QueuedConnection);
        return true;
    }

private:
    QEventLoop *m_loop;
};

#endif // BENCHKIT_H
