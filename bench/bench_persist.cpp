// Saving, opening and exporting a project of many samples: seconds and peak resident
// memory per phase, next to the memory of the series themselves.
//
// Each phase runs in a child process of its own, so that one phase's peak does not hide
// the next one's: the child reports its resident memory before the phase (VmRSS) and its
// peak after it (VmHWM).
//
//   bench_persist [samples]          all three phases (default 10 000 000 samples)
//   bench_persist --phase <name> <samples> <file>   one phase, for the parent

#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "persist/zdataexporter.h"
#include "persist/zprojectreader.h"
#include "persist/zprojectwriter.h"
#include "persist/zsafefile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int BoxType = 10; // 14 analog inputs, 5 digital inputs, 2 edge counters

// A field of /proc/self/status in kilobytes.
long long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

std::size_t seriesBytes(const ZBox &box)
{
    std::size_t bytes = 0;
    for (const ZInChannel *c : box.analogIns())
        bytes += c->seriesBytes();
    for (const ZInChannel *c : box.digitIns())
        bytes += c->seriesBytes();
    for (const ZInChannel *c : box.edgeCnts())
        bytes += c->seriesBytes();
    return bytes;
}

// Every input of the box holds its share of the samples, as after a run at 1 kHz.
std::unique_ptr<ZRealBox> filledBox(long long samples)
{
    auto box = std::make_unique<ZRealBox>(nullptr, BoxType);
    const auto inputs = static_cast<long long>(box->analogIns().size() + box->digitIns().size()
                                               + box->edgeCnts().size());
    int input = 0;
    const auto share = [&] {
        return samples / inputs + (input++ < samples % inputs ? 1 : 0);
    };
    for (ZAnalogIn *channel : box->analogIns()) {
        channel->setCoefs({ 0.5, 2.0, 0.0, 0.0, 0.0, 0.0 });
        const long long n = share();
        for (long long i = 0; i < n; ++i) {
            const double t = double(i + 1) / 1000.0;
            const double v = 1.2 * std::sin(i * 0.01 + input) + (i % 17) * 1e-4;
            channel->appendVolts(&t, &v, 1);
        }
    }
    for (ZDigitIn *channel : box->digitIns()) {
        const long long n = share();
        for (long long i = 0; i < n; ++i) {
            const double t = double(i + 1) / 1000.0;
            const int level = (i / 250) % 2;
            channel->append(&t, &level, 1);
        }
    }
    for (ZEdgeCnt *channel : box->edgeCnts()) {
        const long long n = share();
        for (long long i = 0; i < n; ++i) {
            const double t = double(i + 1) / 1000.0;
            const int count = int(i * 3);
            channel->append(&t, &count, 1);
        }
    }
    return box;
}

int runPhase(const QString &phase, long long samples, const QString &fileName)
{
    std::unique_ptr<ZBox> box;
    if (phase != QLatin1String("open"))
        box = filledBox(samples);
    const long long before = statusKb("VmRSS");
    QElapsedTimer timer;
    timer.start();
    bool ok = false;
    if (phase == QLatin1String("save")) {
        ok = writeFileSafely(fileName, [&](QIODevice &device) {
                 return writeProject(*box, QStringLiteral("6/1/24 9:30 AM"), device);
             }).ok;
    } else if (phase == QLatin1String("export")) {
        ok = writeFileSafely(fileName, [&](QIODevice &device) {
                 return exportData(*box, QStringLiteral("6/1/24 9:30 AM"), device);
             }).ok;
    } else {
        ZProjectReadResult result = readProjectFile(fileName);
        ok = result.outcome == ZProjectReadResult::Opened;
        box = std::move(result.box);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    long long count = 0;
    if (box) {
        for (const ZInChannel *c : box->analogIns())
            count += c->sampleCount();
        for (const ZInChannel *c : box->digitIns())
            count += c->sampleCount();
        for (const ZInChannel *c : box->edgeCnts())
            count += c->sampleCount();
    }
    std::printf("%d %.3f %lld %lld %zu %lld %lld\n", ok ? 1 : 0, seconds, before, statusKb("VmHWM"),
                box ? seriesBytes(*box) : 0, count, QFileInfo(fileName).size());
    return ok ? 0 : 1;
}

struct PhaseResult
{
    bool ok = false;
    double seconds = 0;
    double rssBeforeMb = 0;
    double peakMb = 0;
    double seriesMb = 0;
    long long samples = 0;
    double fileMb = 0;
};

PhaseResult runChild(const QString &phase, long long samples, const QString &fileName)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--phase"), phase, QString::number(samples), fileName });
    child.waitForFinished(-1);
    const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
    PhaseResult r;
    if (fields.size() != 7)
        return r;
    r.ok = fields[0] == "1" && child.exitCode() == 0;
    r.seconds = fields[1].toDouble();
    r.rssBeforeMb = fields[2].toDouble() / 1024.0;
    r.peakMb = fields[3].toDouble() / 1024.0;
    r.seriesMb = fields[4].toDouble() / (1024.0 * 1024.0);
    r.samples = fields[5].toLongLong();
    r.fileMb = fields[6].toDouble() / (1024.0 * 1024.0);
    return r;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--phase"))
        return runPhase(args[2], args[3].toLongLong(), args[4]);

    const long long samples = args.size() > 1 ? args[1].toLongLong() : 10000000LL;
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("bench.xml"));
    const QString data = dir.filePath(QStringLiteral("bench.txt"));

    std::printf("%lld samples on %d inputs of box type %d\n", samples, 21, BoxType);
    std::printf("%-8s %8s %12s %10s %10s %10s %16s %10s\n", "phase", "seconds", "samples/s",
                "file MB", "series MB", "peak MB", "beyond series MB", "status");
    int failures = 0;
    for (const char *phase : { "save", "open", "export" }) {
        const QString name = QString::fromLatin1(phase);
        const PhaseResult r
            = runChild(name, samples, name == QLatin1String("export") ? data : project);
        // Save and export hold the series before they start; opening builds them.
        const double beyond = name == QLatin1String("open") ? r.peakMb - r.rssBeforeMb - r.seriesMb
                                                            : r.peakMb - r.rssBeforeMb;
        std::printf("%-8s %8.3f %12.0f %10.1f %10.1f %10.1f %16.1f %10s\n", phase, r.seconds,
                    r.seconds > 0 ? r.samples / r.seconds : 0.0, r.fileMb, r.seriesMb, r.peakMb,
                    beyond, r.ok ? "ok" : "FAILED");
        failures += r.ok ? 0 : 1;
    }
    return failures == 0 ? 0 : 1;
}
