#include "zscreenshotsession.h"

#include "device/zrealbox.h"
#include "device/zusbbackend.h"
#include "persist/zprojectcommands.h"
#include "ui/zboxobserver.h"
#include "ui/zuiresources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTimer>

#include <functional>

namespace {

constexpr int PageWidth = 1280;
constexpr int PageHeight = 800;
// Long enough for the graphs to hold a few periods of the simulated signals.
constexpr int RunMs = 3000;
constexpr int StartTimeoutMs = 10000;
constexpr int PollMs = 20;

// Lets the event loop run (queued samples, repaints) for a while.
void pumpEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        pumpEvents(PollMs);
    }
    return true;
}

} // namespace

ZScreenshotSession::ZScreenshotSession(int boxType, QString folder)
    : m_boxType(boxType)
    , m_folder(std::move(folder))
    , m_app([](int type) { return createUsbBridge(true, type); })
{ }

bool ZScreenshotSession::run()
{
    initUiResources();
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    if (!QDir().mkpath(m_folder))
        return fail(QStringLiteral("cannot create %1").arg(m_folder));

    m_app.setBoxType(m_boxType);
    prepareChannels();
    m_view.attach(&m_app);
    m_view.resize(PageWidth, PageHeight);
    m_view.show();
    QApplication::processEvents();

    if (!showTab(QObject::tr("Settings")) || !save(QStringLiteral("settings")))
        return false;
    // The output rows sit at the end of a long page.
    if (scrollSettings(true) && !save(QStringLiteral("settings-end")))
        return false;
    scrollSettings(false);
    if (!runAcquisition())
        return false;
    return openPlayback();
}

// A run worth looking at: a few channels of every input kind, outputs in every mode.
void ZScreenshotSession::prepareChannels()
{
    ZRealBox *box = m_app.activeBox();
    for (std::size_t i = 0; i < box->analogIns().size() && i < 3; ++i)
        box->analogIns()[i]->setSelected(true);
    for (ZDigitIn *channel : box->digitIns())
        channel->setSelected(true);
    for (ZEdgeCnt *channel : box->edgeCnts())
        channel->setSelected(true);
    // Values of the widest forms the fields must hold.
    if (box->analogIns().size() > 1)
        box->analogIns()[1]->setInterval(3.0);
    for (ZAnalogOut *channel : box->analogOuts())
        channel->setVoltage(0.1234567);
    if (!box->analogOuts().empty())
        box->analogOuts().front()->setOutMode(OutSine);
    if (!box->analogOuts().empty())
        box->analogOuts().front()->setInterval(ZOutChannel::MaxPeriod);
    if (!box->digitOuts().empty())
        box->digitOuts().front()->setOutMode(OutPwm);
    m_app.setStopTrigger(TriggerTimeOut);
}

bool ZScreenshotSession::runAcquisition()
{
    if (!m_app.connectBox())
        return fail(QStringLiteral("the simulated box did not start"));
    if (!waitFor([this] { return m_app.activeBox()->isSampling(); }, StartTimeoutMs))
        return fail(QStringLiteral("sampling did not start"));
    // Running settings show their locked state.
    if (!save(QStringLiteral("settings-running")))
        return false;
    // Graphs start hidden; show one of each kind of input.
    ZRealBox *box = m_app.activeBox();
    box->analogIns().front()->setGraphShown(true);
    box->digitIns().front()->setGraphShown(true);
    const bool hasDisplay = showTab(QObject::tr("Display"));
    pumpEvents(RunMs);
    if (hasDisplay && !save(QStringLiteral("display-running")))
        return false;
    m_app.requestStop();
    QApplication::processEvents();
    if (!hasDisplay)
        m_report << QStringLiteral("no Display tab: display-running.png not written");
    return true;
}

bool ZScreenshotSession::openPlayback()
{
    if (!m_scratch.isValid())
        return fail(QStringLiteral("no scratch folder for the project"));
    const QString project = m_scratch.filePath(QStringLiteral("run.xml"));
    ZProjectCommands commands(m_app);
    if (!commands.saveProject(project).succeeded)
        return fail(QStringLiteral("saving the run as a project failed"));
    if (!commands.openProject(project).succeeded)
        return fail(QStringLiteral("opening the project failed"));
    QApplication::processEvents();
    return save(QStringLiteral("playback"));
}

bool ZScreenshotSession::scrollSettings(bool toEnd)
{
    auto *settings = qobject_cast<QScrollArea *>(realBoxTabs()->widget(0));
    QScrollBar *bar = settings ? settings->verticalScrollBar() : nullptr;
    if (!bar || bar->maximum() == 0)
        return false;
    bar->setValue(toEnd ? bar->maximum() : bar->minimum());
    return true;
}

QTabWidget *ZScreenshotSession::realBoxTabs() const
{
    const auto *page = qobject_cast<ZBoxObserver *>(m_view.pages()->widget(0));
    return page ? page->tabs() : nullptr;
}

bool ZScreenshotSession::showTab(const QString &title)
{
    QTabWidget *tabs = realBoxTabs();
    if (!tabs)
        return fail(QStringLiteral("the device page has no tabs"));
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == title) {
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
            return true;
        }
    }
    return false;
}

bool ZScreenshotSession::save(const QString &name)
{
    QApplication::processEvents();
    const QString file = QDir(m_folder).filePath(
        QStringLiteral("%1-%2.png").arg(ZAppObservable::boxTypeName(m_boxType), name));
    if (!m_view.grab().save(file))
        return fail(QStringLiteral("cannot write %1").arg(file));
    m_report << file;
    return true;
}

bool ZScreenshotSession::fail(const QString &why)
{
    m_report << why;
    return false;
}
