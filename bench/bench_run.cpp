// Whole runs on the simulated box, timed by the run's own time-out:
//  1. UX-109 at full rate, every input selected at its minimum interval, with the
//     simulated box's line timing switched off: samples per channel against the expected
//     count, and process CPU time per second of run. This measures the host side alone.
//  2. UX-100 with one analog input at 10 samples per second: CPU time per second of run,
//     which shows whether anything spins while there is little to do.
//  3. The same UX-109 run with the line timing of a real box (115200 baud): records per
//     second reached against what the line allows, and CPU time.
// Usage: bench_run [seconds [full|slow|line]]   (default: 10 s, all three runs)

#include "app/zappobservable.h"
#include "app/zeventdispatcher.h"
#include "bench/benchkit.h"
#include "device/zlinecapacity.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return t.tv_sec + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct RunResult
{
    double wallSeconds = 0.0;
    double cpuPerSecond = 0.0; // CPU seconds per second of run, all threads
    bool ok = false;
};

// `configure` selects and paces the channels; `report` reads them before the box goes.
template<class Configure, class Report>
RunResult run(int boxType, double seconds, bool lineTiming, Configure configure, Report report)
{
    auto box = std::make_shared<ZSimulatedBox>(boxType);
    box->setLineTiming(lineTiming);
    ZAppObservable app([box](int) { return std::make_unique<ZSimulatedBridge>(box); });
    app.setBoxType(boxType);
    configure(*app.activeBox());
    app.setStopTrigger(TriggerTimeOut);
    app.setDuration(seconds);

    QEventLoop loop;
    RunEnd end(&loop);
    end.attach(&app);
    QTimer::singleShot(int(seconds * 1000) + 30000, &loop, &QEventLoop::quit); // a hung run

    RunResult result;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    if (!app.connectBox()) {
        std::printf("run: the simulated box did not answer\n");
        return result;
    }
    loop.exec();
    result.wallSeconds = wall.nsecsElapsed() / 1e9;
    result.cpuPerSecond = (cpuSeconds() - cpuBefore) / result.wallSeconds;
    result.ok = !app.isSampling();
    if (result.ok)
        report(*app.activeBox(), result);
    return result;
}

QString nameOf(const ZInChannel &channel)
{
    static const char *const kinds[] = { "ai", "di", "cnt" };
    return QString::fromLatin1(kinds[channel.id() >> 8])
        + QString::number(channelOf(channel.id()) + 1);
}

std::vector<ZInChannel *> inputsOf(const ZRealBox &box)
{
    std::vector<ZInChannel *> inputs(box.analogIns().begin(), box.analogIns().end());
    inputs.insert(inputs.end(), box.digitIns().begin(), box.digitIns().end());
    inputs.insert(inputs.end(), box.edgeCnts().begin(), box.edgeCnts().end());
    return inputs;
}

void reportFullRate(const std::vector<ZInChannel *> &inputs, double seconds,
                    const RunResult &result);

void everyInputAtItsFastest(ZRealBox &box)
{
    for (ZInChannel *channel : inputsOf(box)) {
        channel->setSelected(true);
        channel->setInterval(channel->minInterval());
    }
}

bool fullRate(double seconds)
{
    return run(10, seconds, false, everyInputAtItsFastest,
               [seconds](ZRealBox &box, const RunResult &result) {
                   reportFullRate(inputsOf(box), seconds, result);
               })
        .ok;
}

void reportFullRate(const std::vector<ZInChannel *> &inputs, double seconds,
                    const RunResult &result)
{
    double worst = 0.0;
    std::printf("full rate (UX-109, 21 inputs at 1000 SPS, %.0f s):\n", seconds);
    for (ZInChannel *channel : inputs) {
        // Sampling starts when the trigger fires; the time of the last sample is the
        // stretch of time the channel covered.
        const double expected = seconds * 1000.0 / channel->interval();
        const double deviation = (double(channel->sampleCount()) - expected) / expected;
        worst = std::max(worst, std::fabs(deviation));
        std::printf("  %-5s %7zu samples, expected %7.0f (%+.2f %%)\n",
                    qPrintable(nameOf(*channel)), channel->sampleCount(), expected,
                    100.0 * deviation);
    }
    std::printf("  worst deviation %.2f %% (target 1 %%: %s)\n", 100.0 * worst,
                worst <= 0.01 ? "met" : "MISSED");
    std::printf("  CPU %.1f %% of one core per second of run (target below 20 %%: %s)\n",
                100.0 * result.cpuPerSecond, result.cpuPerSecond < 0.20 ? "met" : "MISSED");
}

bool slowRate(double seconds)
{
    const auto configure = [](ZRealBox &box) {
        box.analogIns().front()->setSelected(true);
        box.analogIns().front()->setInterval(100.0);
    };
    const auto report = [seconds](ZRealBox &box, const RunResult &result) {
        std::printf("slow rate (UX-100, one analog input at 10 SPS, %.0f s): %zu samples\n",
                    seconds, box.analogIns().front()->sampleCount());
        std::printf("  CPU %.2f %% of one core per second of run (target below 2 %%: %s)\n",
                    100.0 * result.cpuPerSecond, result.cpuPerSecond < 0.02 ? "met" : "MISSED");
    };
    return run(1, seconds, true, configure, report).ok;
}

bool lineLimited(double seconds)
{
    const auto report = [seconds](ZRealBox &box, const RunResult &result) {
        const ZLineLoad load = lineLoad(box);
        // Every record answers one request, and analog input 1 takes every one.
        const auto times = box.analogIns().front()->times();
        const double span = times.size() > 1 ? times.last() - times[0] : 0.0;
        const double reached = span > 0.0 ? (times.size() - 1) / span : 0.0;
        std::printf("line-limited (UX-109, 21 inputs at 1000 SPS, line timing on, %.0f s):\n",
                    seconds);
        std::printf("  %.1f records/s reached, the line allows %.1f (%.0f %%); asked %.0f\n",
                    reached, load.reachableRecordsPerSecond,
                    100.0 * reached / load.reachableRecordsPerSecond, load.requestsPerSecond);
        std::printf("  CPU %.2f %% of one core per second of run\n", 100.0 * result.cpuPerSecond);
    };
    return run(10, seconds, true, everyInputAtItsFastest, report).ok;
}

} // namespace

int main(int argc, char **argv)
{
    useQtEventDispatcher(); // as the programs do
    QCoreApplication application(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const auto wanted = [&only](const char *name) {
        return only.isEmpty() || only == QLatin1String(name);
    };
    const bool ok = (!wanted("full") || fullRate(seconds)) && (!wanted("slow") || slowRate(seconds))
        && (!wanted("line") || lineLimited(seconds));
    return ok ? 0 : 1;
}
