#include "zacquiresession.h"

#include "zboxscan.h"
#include "zsignalwaker.h"

#include "app/zappobservable.h"
#include "app/zdevicetypes.h"
#include "device/zlinecapacity.h"
#include "device/zrealbox.h"
#include "device/zusbbackend.h"
#include "model/zglobal.h"
#include "persist/zprojectcommands.h"
#include "persist/zsettings.h"
#include "persist/zsettingscommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <unistd.h>

namespace {

// The window program's words for a start that found no box.
const char *const DeviceSentence
    = "Please make sure the device is connected and matched with the device type, then try again.";

constexpr int ProgressPeriodMs = 100;

// Quits the loop when the run is over, however it ended.
class RunEndWatcher : public ZObserver<ZAppObservable>
{
public:
    explicit RunEndWatcher(QEventLoop *loop)
        : m_loop(loop)
    { }
    ~RunEndWatcher() override { detach(subject()); }
    bool update(int code) override
    {
        if (code != SamplingChanged || subject()->isSampling())
            return false;
        QMetaObject::invokeMethod(m_loop, "quit", Qt::QueuedConnection);
        return true;
    }

private:
    QEventLoop *m_loop;
};

template<class Visit> void forEachInput(const ZRealBox &box, Visit visit)
{
    for (ZInChannel *channel : box.analogIns())
        visit(*channel);
    for (ZInChannel *channel : box.digitIns())
        visit(*channel);
    for (ZInChannel *channel : box.edgeCnts())
        visit(*channel);
}

std::size_t totalSamples(const ZRealBox &box)
{
    std::size_t total = 0;
    forEachInput(box, [&total](const ZInChannel &channel) { total += channel.sampleCount(); });
    return total;
}

} // namespace

ZAcquireSession::ZAcquireSession(ZAcquireOptions options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_out(stdout)
    , m_err(stderr)
{ }

ZAcquireSession::~ZAcquireSession()
{
    // The store writes its final state while the model detaches it: model first.
    m_app.reset();
    m_settings.reset();
    m_signals.reset();
}

int ZAcquireSession::exec()
{
    if (m_options.help) {
        m_out << ZAcquireOptions::helpText();
        return Success;
    }
    if (m_options.listTypes) {
        m_out << ZAcquireOptions::typeList();
        return Success;
    }
    if (m_options.scan) {
        const bool simulate = m_options.simulate;
        ZBoxScan scan([simulate](int boxType) { return createUsbBridge(simulate, boxType); },
                      m_out);
        return scan.run(m_options.boxType) ? Success : DeviceFailed;
    }
    if (const int failed = configure())
        return failed;
    if (!checkOutputs())
        return FileFailed;
    warnAboutTheLine();
    if (const int failed = acquire())
        return failed;
    printSummary();
    const int written = writeFiles();
    // The files hold what came before the box went; the run still did not go as asked.
    if (m_app->boxLost()) {
        m_err << m_app->boxLostMessage() << "\n";
        if (written == Success)
            return DeviceFailed;
    }
    return written;
}

// A real box cannot send more than its serial line carries: say so before a run that
// asks for more, with the record rate it will get instead.
void ZAcquireSession::warnAboutTheLine()
{
    const ZRealBox *box = m_app->activeBox();
    if (!box)
        return;
    const ZLineLoad load = lineLoad(*box);
    if (!load.isOverCapacity())
        return;
    m_err << "quoravi-acquire: warning: the chosen inputs and rates need "
          << formatNumber(load.demandBytesPerSecond / 1000.0, 1) << " kB/s, but the line of the "
          << boxTypeName(box->boxType()) << " carries "
          << formatNumber(load.capacityBytesPerSecond / 1000.0, 1) << " kB/s; about "
          << qRound(load.reachableRecordsPerSecond) << " records/s can be reached\n";
    m_err.flush();
}

int ZAcquireSession::configure()
{
    const bool simulate = m_options.simulate;
    m_app = std::make_unique<ZAppObservable>(
        [simulate](int boxType) { return createUsbBridge(simulate, boxType); });
    if (!m_settingsDir.isValid()) {
        m_err << "quoravi-acquire: cannot create a private settings folder\n";
        return FileFailed;
    }
    // A private store: the user's own settings are never read or written.
    m_settings = std::make_unique<ZSettings>(m_settingsDir.filePath(QStringLiteral("quoravi.ini")),
                                             QSettings::IniFormat);
    m_settings->attach(m_app.get());
    m_app->setBoxType(m_options.boxType);

    if (!m_options.settingsFile.isEmpty()) {
        // The same import as the window's Load Settings: the box type stays as chosen.
        const QFileInfo file(m_options.settingsFile);
        const bool loaded = file.isFile() && file.isReadable()
            && ZSettingsCommands(*m_settings).loadSettings(file.filePath()).succeeded;
        if (!loaded) {
            m_err << "quoravi-acquire: cannot read the settings file " << m_options.settingsFile
                  << "\nTry 'quoravi-acquire --help'.\n";
            return UsageError;
        }
    }
    QString error;
    if (!m_options.apply(*m_app, &error)) {
        m_err << "quoravi-acquire: " << error << "\nTry 'quoravi-acquire --help'.\n";
        return UsageError;
    }
    return Success;
}

// A run can be long: an output that cannot be written is refused before it starts.
bool ZAcquireSession::checkOutputs()
{
    for (const QString &name : { m_options.projectFile, m_options.dataFile }) {
        if (name.isEmpty())
            continue;
        const QFileInfo file(name);
        const QFileInfo folder(file.absolutePath());
        if (!folder.isDir() || !folder.isWritable() || (file.exists() && !file.isWritable())
            || file.isDir()) {
            m_err << "quoravi-acquire: cannot write " << name << ": "
                  << (!folder.isDir() ? "No such directory" : "Permission denied") << "\n";
            return false;
        }
    }
    return true;
}

int ZAcquireSession::acquire()
{
    QEventLoop loop;
    RunEndWatcher watcher(&loop);
    watcher.attach(m_app.get());
    m_signals = std::make_unique<ZSignalWaker>();
    connect(m_signals.get(), &ZSignalWaker::stopRequested, this, &ZAcquireSession::stop);

    if (!m_app->connectBox()) {
        m_err << DeviceSentence << "\n";
        const QString reason = m_app->connectFailureReason();
        if (!reason.isEmpty())
            m_err << reason << "\n";
        return DeviceFailed;
    }
    m_elapsed.start();
    QTimer progress;
    if (!m_options.quiet && ::isatty(STDERR_FILENO)) {
        connect(&progress, &QTimer::timeout, this, &ZAcquireSession::showProgress);
        progress.start(ProgressPeriodMs);
    }
    loop.exec();
    ZSignalWaker::markStopped();
    progress.stop();
    if (m_progressShown)
        m_err << "\n" << Qt::flush;
    return Success;
}

void ZAcquireSession::stop(int signalNumber)
{
    Q_UNUSED(signalNumber);
    m_app->requestStop();
}

void ZAcquireSession::showProgress()
{
    const ZRealBox *box = m_app->activeBox();
    const bool sampling = box && box->isSampling();
    m_err << "\r" << (sampling ? "sampling" : "armed   ") << "  "
          << formatNumber(m_elapsed.elapsed() / 1000.0, 1) << " s  "
          << (box ? totalSamples(*box) : 0) << " samples   ";
    m_err.flush();
    m_progressShown = true;
}

int ZAcquireSession::writeFiles()
{
    // The window's Save Project and Save Data, with the same bytes and the same words.
    const ZProjectCommands commands(*m_app);
    int result = Success;
    const auto report = [this, &result](const QString &what, const QString &name,
                                        const ZCommandOutcome &outcome) {
        if (outcome.succeeded) {
            m_out << what << " written to " << name << "\n";
        } else {
            m_err << "quoravi-acquire: " << outcome.messageText << "\n";
            result = FileFailed;
        }
    };
    if (!m_options.projectFile.isEmpty())
        report(QStringLiteral("project"), m_options.projectFile,
               commands.saveProject(m_options.projectFile));
    if (!m_options.dataFile.isEmpty())
        report(QStringLiteral("data"), m_options.dataFile, commands.saveData(m_options.dataFile));
    return result;
}

void ZAcquireSession::printSummary()
{
    forEachInput(*m_app->activeBox(), [this](const ZInChannel &channel) {
        const auto times = channel.times();
        if (times.isEmpty())
            return;
        m_out << channelName(channel) << ": " << times.size()
              << (times.size() == 1 ? " sample, " : " samples, ") << formatNumber(times[0], 3)
              << " s to " << formatNumber(times.last(), 3) << " s\n";
    });
    // On screen before a save that may take a while.
    m_out.flush();
}
