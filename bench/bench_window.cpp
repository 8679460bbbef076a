// The whole window, offscreen, during a fast run on the simulated box: a UX-109 with every
// input selected at its fastest rate and its graph shown, ended by the time-out.
//  - the main thread's event-loop latency: a 10 ms precise timer measures how late each
//    of its ticks comes (median, 99th percentile, worst; target p99 below 50 ms);
//  - the main thread's CPU time per second of run;
//  - the samples of every input against the expected count (target within 1 %).
// The simulated box answers as fast as it is asked (line timing off).
// Usage: bench_window [seconds]   (default 20)

#include "app/zappobservable.h"
#include "app/zeventdispatcher.h"
#include "bench/benchkit.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "ui/mainwindow.h"
#include "ui/zappobserver.h"
#include "ui/zboxobserver.h"
#include "ui/zentry.h"
#include "ui/zuiresources.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int UX109 = 10;
constexpr int TickMs = 10;

std::vector<ZInChannel *> inputsOf(const ZRealBox &box)
{
    std::vector<ZInChannel *> inputs(box.analogIns().begin(), box.analogIns().end());
    inputs.insert(inputs.end(), box.digitIns().begin(), box.digitIns().end());
    inputs.insert(inputs.end(), box.edgeCnts().begin(), box.edgeCnts().end());
    return inputs;
}

QAction *command(const MainWindow &window, const char *text)
{
    for (QAction *action : window.toolBar()->actions())
        if (action->text() == QLatin1String(text))
            return action;
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useQtEventDispatcher();
    QApplication application(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;

    // The user's settings stay untouched.
    QTemporaryDir settingsDir;
    QStandardPaths::setTestModeEnabled(true);
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        QSettings::setPath(format, QSettings::UserScope, settingsDir.path());
    initUiResources();
    applyQuoraviLook(application);

    auto simulated = std::make_shared<ZSimulatedBox>(UX109);
    simulated->setLineTiming(false);
    ZUsbBridgeOverride bridge(simulated);
    MainWindow window(true);
    ZAppObservable &app = *window.appObservable();
    app.setBoxType(UX109);
    for (ZInChannel *channel : inputsOf(*app.activeBox())) {
        channel->setSelected(true);
        channel->setInterval(channel->minInterval());
        channel->setGraphShown(true);
    }
    app.setStopTrigger(TriggerTimeOut);
    app.setDuration(seconds);
    window.show();
    // The graphs are drawn only where they can be seen: on the display tab.
    const auto *page = qobject_cast<ZBoxObserver *>(window.appObserver()->pages()->widget(0));
    QTabWidget *tabs = page ? page->tabs() : nullptr;
    for (int i = 0; tabs && i < tabs->count(); ++i)
        if (tabs->tabText(i) == QLatin1String("Display"))
            tabs->setCurrentIndex(i);

    QEventLoop loop;
    RunEnd end(&loop);
    end.attach(&app);
    QTimer::singleShot(int(seconds * 1000) + 30000, &loop, &QEventLoop::quit); // a hung run

    std::vector<double> lateness;
    lateness.reserve(std::size_t(seconds * 1000 / TickMs) + 16);
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        lateness.push_back(std::max(0.0, sinceTick.nsecsElapsed() / 1e6 - TickMs));
        sinceTick.restart();
    });

    const double cpuBefore = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    command(window, "Start")->trigger();
    if (!app.isSampling()) {
        std::printf("bench_window: the simulated box did not answer\n");
        return 1;
    }
    sinceTick.start();
    tick.start(TickMs);
    loop.exec();
    tick.stop();
    const double wallSeconds = wall.nsecsElapsed() / 1e9;
    const double cpuShare = (threadCpuSeconds() - cpuBefore) / wallSeconds;

    const double p50 = percentile(lateness, 0.50);
    const double p99 = percentile(lateness, 0.99);
    const double worstLate = percentile(lateness, 1.0);
    std::printf("window, UX-109, %zu inputs at their fastest rate, graphs shown, %.0f s run:\n",
                inputsOf(*app.activeBox()).size(), seconds);
    std::printf("  event-loop latency over %zu ticks: median %.2f ms, p99 %.2f ms, worst %.2f ms"
                " (target p99 below 50 ms: %s)\n",
                lateness.size(), p50, p99, worstLate, p99 < 50.0 ? "met" : "MISSED");
    std::printf("  main thread CPU %.1f %% of one core\n", 100.0 * cpuShare);

    double worst = 0.0;
    for (ZInChannel *channel : inputsOf(*app.activeBox())) {
        const double expected = seconds * 1000.0 / channel->interval();
        const double deviation = (double(channel->sampleCount()) - expected) / expected;
        worst = std::max(worst, std::fabs(deviation));
    }
    std::printf("  samples: worst deviation from the expected count %.2f %% (target 1 %%: %s)\n",
                100.0 * worst, worst <= 0.01 ? "met" : "MISSED");
    return 0;
}
