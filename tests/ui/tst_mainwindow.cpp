#include "ui/mainwindow.h"
#include "ui/zaboutdialog.h"
#include "ui/zappobserver.h"
#include "ui/zboxtypecfgr.h"
#include "ui/zcurvedata.h"
#include "ui/zentry.h"
#include "ui/zfilechooser.h"
#include "ui/zgraphdspr.h"
#include "ui/zitvlcfgr.h"
#include "ui/zlastdspr.h"
#include "ui/zmessenger.h"
#include "ui/zselectedcfgr.h"
#include "ui/zuiresources.h"

#include "app/zappobservable.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "persist/zprojectreader.h"
#include "persist/zsettings.h"
#include "uitestutil.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <functional>

namespace {

constexpr int UX107 = 8;
constexpr int UX100 = 1;
constexpr int RunWaitMs = 15000;

const char *const DeviceSentence
    = "Please make sure the device is connected and matched with the device type, then try again.";

struct Request
{
    bool save;
    QString caption;
    QString directory;
    QString filter;
};

// Answers the window's questions for file names from a queue; an empty queue answers as
// a cancelled dialog.
class ScriptedChooser : public ZFileChooser
{
public:
    ScriptedChooser(std::deque<QString> *answers, QList<Request> *requests)
        : m_answers(answers)
        , m_requests(requests)
    { }
    QString openFileName(QWidget *, const QString &caption, const QString &directory,
                         const QString &filter) override
    {
        return answer({ false, caption, directory, filter });
    }
    QString saveFileName(QWidget *, const QString &caption, const QString &directory,
                         const QString &filter) override
    {
        return answer({ true, caption, directory, filter });
    }

private:
    QString answer(const Request &request)
    {
        m_requests->append(request);
        if (m_answers->empty())
            return QString();
        const QString name = m_answers->front();
        m_answers->pop_front();
        return name;
    }
    std::deque<QString> *m_answers;
    QList<Request> *m_requests;
};

// Records the boxes the window would show and answers the question before closing.
class RecordingMessenger : public ZMessenger
{
public:
    RecordingMessenger(QStringList *shown, CloseChoice *closeAnswer)
        : m_shown(shown)
        , m_closeAnswer(closeAnswer)
    { }
    void warning(QWidget *parent, const QString &title, const QString &text) override
    {
        m_shown->append(QStringLiteral("warning%1|%2|%3")
                            .arg(parent ? QStringLiteral("(window)") : QString(), title, text));
    }
    void message(const QString &text) override
    {
        m_shown->append(QStringLiteral("message|") + text);
    }
    CloseChoice askBeforeClosing(QWidget *) override
    {
        m_shown->append(QStringLiteral("ask"));
        return *m_closeAnswer;
    }

private:
    QStringList *m_shown;
    CloseChoice *m_closeAnswer;
};

// A window with scripted dialogs.
struct Rig
{
    explicit Rig(bool simulate = true)
        : window(simulate)
    {
        window.setFileChooser(std::make_unique<ScriptedChooser>(&answers, &requests));
        window.setMessenger(std::make_unique<RecordingMessenger>(&shown, &closeAnswer));
    }

    QAction *action(const QString &text) const
    {
        for (QAction *action : window.toolBar()->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    void trigger(const QString &text) const { action(text)->trigger(); }
    // The enabled commands, in tool-bar order, as letters: x o p d l s S T a.
    QString available() const
    {
        static const char letters[] = "xopdlsSTa";
        QString result;
        const QList<QAction *> actions = window.toolBar()->actions();
        for (int i = 0; i < actions.size(); ++i)
            if (actions[i]->isEnabled())
                result += QLatin1Char(letters[i]);
        return result;
    }
    QString status() const { return window.statusBar()->currentMessage(); }
    ZAppObservable &app() const { return *window.appObservable(); }
    ZRealBox &box() const { return *app().activeBox(); }

    // The panel of type Panel that shows `channel`.
    template<class Panel> Panel *panelOf(const ZComponent *channel) const
    {
        for (Panel *panel : window.findChildren<Panel *>())
            if (panel->subject() == channel)
                return panel;
        return nullptr;
    }
    void select(const ZInChannel *channel) const
    {
        QCheckBox *box = panelOf<ZSelectedCfgr>(channel)->checkBox();
        QVERIFY(!box->isChecked());
        box->click();
    }
    void typeRate(const ZComponent *channel, const QString &rate) const
    {
        typeInto(panelOf<ZItvlCfgr>(channel)->rateField(), rate);
    }

    // What a user does: UX-107 in the device combo, two analog inputs and a counter
    // selected, rates typed.
    void configureRun()
    {
        window.findChild<ZBoxTypeCfgr *>()->typeCombo()->setCurrentIndex(UX107);
        QCOMPARE(app().boxType(), UX107);
        select(box().analogIns()[0]);
        select(box().analogIns()[1]);
        select(box().edgeCnts()[0]);
        typeRate(box().analogIns()[0], QStringLiteral("100"));
        typeRate(box().analogIns()[1], QStringLiteral("50"));
        typeRate(box().edgeCnts()[0], QStringLiteral("20"));
        QVERIFY(box().analogIns()[0]->isSelected());
        QCOMPARE(box().analogIns()[0]->interval(), 10.0);
        QCOMPARE(box().edgeCnts()[0]->interval(), 50.0);
    }
    bool runUntilSamples(bool stop = true)
    {
        trigger(QStringLiteral("Start"));
        if (!QTest::qWaitFor([this] { return box().edgeCnts()[0]->sampleCount() >= 5; }, RunWaitMs))
            return false;
        if (stop)
            trigger(QStringLiteral("Stop"));
        return true;
    }

    std::deque<QString> answers;
    QList<Request> requests;
    QStringList shown;
    ZMessenger::CloseChoice closeAnswer = ZMessenger::CancelClose;
    MainWindow window;
};

// Runs `check` on the next modal widget that opens, from inside its event loop.
void onNextModal(std::function<void(QWidget *)> check)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            check(modal);
        }
    });
    timer->start(10);
}

bool writeFile(const QString &fileName, const QByteArray &content)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void endToEndOnTheSimulatedBox();
    void startWithoutABox();
    void boxLostDuringARun();
    void fileErrors_data();
    void fileErrors();
    void aboutBox();
    void alreadyRunningBox();
    void closePrompt_data();
    void closePrompt();
    void progressDialogCancelsAnOpenAndHoldsAStart();

private:
    QTemporaryDir m_settingsDir;
    QTemporaryDir m_files;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QStandardPaths::setTestModeEnabled(true);
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        QSettings::setPath(format, QSettings::UserScope, m_settingsDir.path());
    initUiResources();
    applyQuoraviLook(*qApp);
}

// Every test starts with an empty continuous store: no device type remembered.
void TestMainWindow::init()
{
    QSettings(QStringLiteral("Tebor"), QStringLiteral("Quoravi")).clear();
}

// The whole road on the simulated box: configure, run, save project and data, open the
// project again, save the settings and load them into a fresh window.
void TestMainWindow::endToEndOnTheSimulatedBox()
{
    const QString project = m_files.filePath(QStringLiteral("run.xml"));
    const QString data = m_files.filePath(QStringLiteral("run.txt"));
    const QString ini = m_files.filePath(QStringLiteral("run.ini"));
    {
        Rig rig;
        rig.window.show();
        QCOMPARE(rig.window.windowTitle(), QStringLiteral("Quoravi-2.2.1"));
        QStringList texts;
        for (QAction *action : rig.window.toolBar()->actions()) {
            texts << action->text();
            QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
        }
        QCOMPARE(texts,
                 QStringList({ "Exit", "Open Project", "Save Project", "Save Data", "Load Settings",
                               "Save Settings", "Start", "Stop", "About" }));
        // A tool bar dragged away or floated could not be brought back without a menu.
        QVERIFY(!rig.window.toolBar()->isMovable());
        QCOMPARE(rig.available(), QStringLiteral("xoa"));
        rig.configureRun();
        QCOMPARE(rig.available(), QStringLiteral("xolsSa"));

        rig.trigger(QStringLiteral("Start"));
        QCOMPARE(rig.available(), QStringLiteral("xosTa")); // running: Stop, Save Settings
        QTRY_VERIFY_WITH_TIMEOUT(rig.box().edgeCnts()[0]->sampleCount() >= 5, RunWaitMs);
        QCOMPARE(rig.status(), QStringLiteral("Sampling started."));
        rig.trigger(QStringLiteral("Stop"));
        QCOMPARE(rig.status(), QStringLiteral("Sampling finished."));
        QCOMPARE(rig.available(), QStringLiteral("xopdlsSa"));
        QVERIFY(rig.window.hasUnsavedSamples());

        // Each command asks once, in the current directory; a cancelled dialog ends it
        // silently. Columns: command, save dialog, caption, filter.
        const QList<std::tuple<QString, bool, QString, QString>> commands {
            { "Open Project", false, "Open Project", "Quoravi Project (*.xml)" },
            { "Save Project", true, "Save", "Quoravi Project (*.xml)" },
            { "Save Data", true, "Save Data", "Quoravi Data (*.txt)" },
            { "Load Settings", false, "Load Settings", "Quoravi Settings (*.ini)" },
            { "Save Settings", true, "Save Settings", "Quoravi Settings (*.ini)" },
        };
        rig.window.statusBar()->clearMessage();
        for (const auto &[command, save, caption, filter] : commands) {
            rig.requests.clear();
            rig.trigger(command);
            QCOMPARE(rig.requests.size(), 1);
            QCOMPARE(rig.requests[0].save, save);
            QCOMPARE(rig.requests[0].caption, caption);
            QCOMPARE(rig.requests[0].filter, filter);
            QCOMPARE(rig.requests[0].directory, QDir::currentPath());
            QCOMPARE(rig.status(), QString());
            QVERIFY(rig.shown.isEmpty());
            QCOMPARE(rig.app().boxes().size(), std::size_t(1));
            QVERIFY(rig.window.hasUnsavedSamples());
        }

        rig.answers = { project };
        rig.trigger(QStringLiteral("Save Project"));
        QCOMPARE(rig.status(), QStringLiteral("Save Project succeeded."));
        QVERIFY(!rig.window.hasUnsavedSamples());
        rig.answers = { data };
        rig.trigger(QStringLiteral("Save Data"));
        QCOMPARE(rig.status(), QStringLiteral("Save Data succeeded"));
        QVERIFY(QFile(data).size() > 100);

        rig.answers = { project };
        rig.trigger(QStringLiteral("Open Project"));
        QCOMPARE(rig.status(), QStringLiteral("Open Project succeeded."));
        QCOMPARE(rig.app().boxes().size(), std::size_t(2));
        const ZBox &playback = *rig.app().boxes()[1];
        QCOMPARE(playback.analogIns().size(), std::size_t(2));
        // The "Playback 1" page shows what the run took: the same last readings as the
        // live page and, with its graph shown, every sample.
        const QList<QPair<ZInChannel *, ZInChannel *>> shownAndTaken {
            { playback.analogIns()[0], rig.box().analogIns()[0] },
            { playback.analogIns()[1], rig.box().analogIns()[1] },
            { playback.edgeCnts()[0], rig.box().edgeCnts()[0] },
        };
        for (const auto &[shown, taken] : shownAndTaken) {
            const ZLastDspr *strip = rig.panelOf<ZLastDspr>(shown);
            const ZLastDspr *liveStrip = rig.panelOf<ZLastDspr>(taken);
            QCOMPARE(shown->sampleCount(), taken->sampleCount());
            QVERIFY(strip && strip != liveStrip);
            QVERIFY(strip->timeField()->text() != QLatin1String("0"));
            QCOMPARE(strip->timeField()->text(), liveStrip->timeField()->text());
            QCOMPARE(static_cast<QLineEdit *>(strip->valueWidget())->text(),
                     static_cast<QLineEdit *>(liveStrip->valueWidget())->text());
            strip->graphCheck()->click();
            const ZGraphDspr *graph = rig.panelOf<ZGraphDspr>(shown);
            QVERIFY(graph->isVisible());
            QCOMPARE(graph->curveData()->count(), taken->sampleCount());
        }
        QCOMPARE(rig.available(), QStringLiteral("xopdlsSa")); // opening changes nothing
        QVERIFY(rig.shown.isEmpty());
        QTreeWidget *tree = rig.window.appObserver()->tree();
        QVERIFY(!tree->findItems(QStringLiteral("Playback 1"), Qt::MatchRecursive).isEmpty());
        QVERIFY(rig.window.grab().save(m_files.filePath(QStringLiteral("window.png"))));

        rig.answers = { ini };
        rig.trigger(QStringLiteral("Save Settings"));
        QCOMPARE(rig.status(), QStringLiteral("Save Settings succeeded."));

        // Another configuration, remembered by the continuous store.
        rig.panelOf<ZSelectedCfgr>(rig.box().analogIns()[1])->checkBox()->click();
        rig.typeRate(rig.box().analogIns()[0], QStringLiteral("10"));
        rig.app().setBoxType(UX100);
        QCOMPARE(rig.available(), QStringLiteral("xolsSa"));
        rig.app().setBoxType(UX107);
    }
    Rig fresh;
    QCOMPARE(fresh.app().boxType(), UX107);
    QVERIFY(!fresh.box().analogIns()[1]->isSelected());
    fresh.answers = { ini };
    fresh.trigger(QStringLiteral("Load Settings"));
    QCOMPARE(fresh.status(), QStringLiteral("Load Settings succeeded."));
    QVERIFY(fresh.box().analogIns()[0]->isSelected());
    QVERIFY(fresh.box().analogIns()[1]->isSelected());
    QVERIFY(fresh.box().edgeCnts()[0]->isSelected());
    QCOMPARE(fresh.box().analogIns()[0]->interval(), 10.0);
    QCOMPARE(fresh.box().analogIns()[1]->interval(), 20.0);
    QCOMPARE(fresh.available(), QStringLiteral("xolsSa"));
}

void TestMainWindow::startWithoutABox()
{
    Rig rig(false);
    rig.app().setBoxType(UX107);
    const QString before = rig.available();
    rig.trigger(QStringLiteral("Start"));
    // Without a box the link knows why (no USB access or no FTDI device here).
    const QString reason = rig.app().connectFailureReason();
    QVERIFY(!reason.isEmpty());
    QCOMPARE(rig.status(), QString::fromLatin1(DeviceSentence) + " (" + reason + ")");
    QCOMPARE(rig.available(), before);
    QVERIFY(!rig.app().isSampling());
    QVERIFY(rig.shown.isEmpty());
    rig.app().setBoxType(0);
    QCOMPARE(rig.available(), QStringLiteral("xoa"));
}

// A box pulled during a run ends it; the status bar says why, after "Sampling finished.",
// and the samples taken so far can be saved.
void TestMainWindow::boxLostDuringARun()
{
    auto simulated = std::make_shared<ZSimulatedBox>(UX107);
    ZUsbBridgeOverride bridge(simulated);
    Rig rig;
    rig.configureRun();
    rig.app().setNoAnswerLimitMs(300);
    rig.window.show();
    QVERIFY(rig.runUntilSamples(false));
    simulated->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.app().isSampling(), RunWaitMs);
    QVERIFY2(rig.status().startsWith(QLatin1String("The box stopped answering at ")),
             qPrintable(rig.status()));
    QCOMPARE(rig.available(), QStringLiteral("xopdlsSa"));
    QVERIFY(rig.window.hasUnsavedSamples());
}

void TestMainWindow::fileErrors_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("content"); // of the file chosen; below a plain file when null
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("status");
    QTest::newRow("save settings over a file that is no INI")
        << "Save Settings" << QByteArray("[General\nboxType=\"\n\x01\x02")
        << "warning(window)|Save Settings|Can't Save Settings to %1."
        << "Save Settings failed.";
    QTest::newRow("save settings below a plain file")
        << "Save Settings" << QByteArray()
        << "warning(window)|Save Settings|Can't Save Settings to %1."
        << "Save Settings failed.";
    QTest::newRow("load settings from a missing file")
        << "Load Settings" << QByteArray()
        << "warning(window)|Load Settings|Can't Load Settings from %1."
        << "Load Settings failed.";
    QTest::newRow("save below a plain file")
        << "Save Project" << QByteArray()
        << "warning(window)|Save Project|Can't Save Project to %1:"
        << "Save Project failed.";
    QTest::newRow("export below a plain file")
        << "Save Data" << QByteArray() << "warning(window)|Save Data|Can't Save Data to %1:"
        << "Save Data failed because of limits of authority.";
    QTest::newRow("open a missing file") << "Open Project" << QByteArray() << QString()
                                         << "Open Project failed because of reading failure.";
    QTest::newRow("open a file that is no XML")
        << "Open Project" << QByteArray("<Quoravi version=\"2.2.1\"><sampledData>") << QString()
        << "Open Project failed because of file of invalid format.";
    QTest::newRow("open a project of another version")
        << "Open Project" << QByteArray("<Quoravi version=\"3.0\"/>")
        << "message|Please choose project file saved by Quoravi of the current Version!"
        << "Open Project failed because of unmatched version.";
}

void TestMainWindow::fileErrors()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, content);
    QFETCH(QString, shown);
    QFETCH(QString, status);
    Rig rig;
    rig.configureRun();
    rig.window.show();
    QVERIFY(rig.runUntilSamples());
    const QString suffix = command.endsWith(QLatin1String("Settings")) ? ".ini" : ".xml";
    QString fileName = m_files.filePath(QStringLiteral("plain/file") + suffix);
    QVERIFY(writeFile(m_files.filePath(QStringLiteral("plain")), "not a folder"));
    if (!content.isNull()) {
        fileName = m_files.filePath(QStringLiteral("bad") + suffix);
        QVERIFY(writeFile(fileName, content));
    }
    const std::size_t boxes = rig.app().boxes().size();
    rig.answers = { fileName };
    rig.trigger(command);
    if (shown.isEmpty()) {
        QVERIFY(rig.shown.isEmpty());
    } else {
        QCOMPARE(rig.shown.size(), 1);
        // Project messages go on with the reason.
        QVERIFY2(rig.shown[0] == shown.arg(fileName)
                     || (shown.endsWith(':') && rig.shown[0].startsWith(shown.arg(fileName))),
                 qPrintable(rig.shown[0]));
    }
    QCOMPARE(rig.status(), status);
    QCOMPARE(rig.app().boxes().size(), boxes);
    QVERIFY(rig.window.hasUnsavedSamples());
}

void TestMainWindow::aboutBox()
{
    Rig rig;
    rig.window.show();
    QString info;
    QString title;
    bool contextHelp = true;
    onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<ZAboutDialog *>(modal);
        QVERIFY(dialog);
        info = dialog->infoLabel()->text();
        title = dialog->windowTitle();
        contextHelp = dialog->windowFlags() & Qt::WindowContextHelpButtonHint;
        dialog->okButton()->click();
    });
    rig.trigger(QStringLiteral("About"));
    QCOMPARE(info, QStringLiteral("Built on May 28, 2016\nVersion: 2.2.1"));
    QCOMPARE(title, QStringLiteral("About Quoravi"));
    QVERIFY(!contextHelp);
}

void TestMainWindow::alreadyRunningBox()
{
    QString text;
    QWidget *parent = reinterpret_cast<QWidget *>(1);
    onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        text = box->text();
        parent = box->parentWidget();
    });
    showAlreadyRunning(300); // closes itself: the armed timer
    QCOMPARE(text, QStringLiteral("Quoravi is already running!"));
    QVERIFY(parent == nullptr);
}

void TestMainWindow::closePrompt_data()
{
    QTest::addColumn<QString>("state"); // none, unsaved, running, saved
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("chooseName"); // the save dialog gives a name
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    const int save = ZMessenger::SaveProject;
    const int discard = ZMessenger::Discard;
    const int cancel = ZMessenger::CancelClose;
    QTest::newRow("nothing sampled") << "none" << cancel << false << false << true << false;
    QTest::newRow("saved since the run") << "saved" << cancel << false << false << true << false;
    QTest::newRow("unsaved, cancel") << "unsaved" << cancel << false << true << false << false;
    QTest::newRow("unsaved, discard") << "unsaved" << discard << false << true << true << false;
    QTest::newRow("unsaved, save") << "unsaved" << save << true << true << true << true;
    QTest::newRow("unsaved, save dialog cancelled")
        << "unsaved" << save << false << true << false << false;
    QTest::newRow("running, cancel") << "running" << cancel << false << true << false << false;
    QTest::newRow("running, save") << "running" << save << true << true << true << true;
}

void TestMainWindow::closePrompt()
{
    QFETCH(QString, state);
    QFETCH(int, answer);
    QFETCH(bool, chooseName);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    QFETCH(bool, written);
    Rig rig;
    rig.configureRun();
    rig.window.show();
    if (state != QLatin1String("none"))
        QVERIFY(rig.runUntilSamples(state != QLatin1String("running")));
    if (state == QLatin1String("saved")) {
        rig.answers = { m_files.filePath(QStringLiteral("before.xml")) };
        rig.trigger(QStringLiteral("Save Project"));
    }
    rig.shown.clear();
    rig.requests.clear();
    const QString fileName
        = m_files.filePath(QStringLiteral("closing-%1.xml").arg(QTest::currentDataTag()));
    QFile::remove(fileName);
    if (chooseName)
        rig.answers = { fileName };
    rig.closeAnswer = ZMessenger::CloseChoice(answer);

    rig.trigger(QStringLiteral("Exit"));
    QCOMPARE(rig.shown.contains(QStringLiteral("ask")), asked);
    QCOMPARE(rig.window.isVisible(), !closed);
    QVERIFY(!rig.app().isSampling()); // a run is stopped before anything is asked
    QCOMPARE(QFile::exists(fileName), written);
    if (written) {
        QCOMPARE(rig.requests.size(), 1);
        QCOMPARE(rig.requests[0].caption, QStringLiteral("Save"));
        const ZProjectReadResult read = readProjectFile(fileName);
        QCOMPARE(read.outcome, ZProjectReadResult::Opened);
        QCOMPARE(read.box->edgeCnts()[0]->sampleCount(), rig.box().edgeCnts()[0]->sampleCount());
    }
}

// Work that takes long shows a modal progress dialog; Cancel ends an open without adding
// a box. A start pressed meanwhile begins sampling only once the work is over. The file
// is a pipe, so the reading waits until the test writes to it.
void TestMainWindow::progressDialogCancelsAnOpenAndHoldsAStart()
{
    Rig rig;
    rig.configureRun();
    rig.window.setProgressDelay(0);
    rig.window.show();
    const QString pipe = m_files.filePath(QStringLiteral("pipe.xml"));
    QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    const std::size_t boxes = rig.app().boxes().size();

    bool dialogShown = false;
    bool modal = false;
    bool heldWhileOpen = false;
    onNextModal([&](QWidget *widget) {
        auto *dialog = qobject_cast<QProgressDialog *>(widget);
        QVERIFY(dialog);
        dialogShown = dialog->isVisible();
        modal = dialog->windowModality() == Qt::ApplicationModal;
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        rig.trigger(QStringLiteral("Start")); // armed; the start fires at once
        QTest::qWait(100);
        heldWhileOpen = rig.app().isSampling() && !rig.box().isSampling();
        dialog->findChild<QPushButton *>()->click(); // Cancel
        // Let the blocked reading go on: it sees the cancel at its first read.
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY);
        QVERIFY(fd >= 0);
        // The reading may already have stopped and closed its end: no SIGPIPE then.
        const auto oldHandler = std::signal(SIGPIPE, SIG_IGN);
        const QByteArray text("<?xml version=\"1.0\"?>\n<Quoravi version=\"2.2.1\"/>\n");
        const ssize_t written = ::write(fd, text.constData(), std::size_t(text.size()));
        Q_UNUSED(written);
        ::close(fd);
        std::signal(SIGPIPE, oldHandler);
    });
    rig.answers = { pipe };
    rig.trigger(QStringLiteral("Open Project"));
    QVERIFY(dialogShown);
    QVERIFY(modal);
    QVERIFY(heldWhileOpen);
    QCOMPARE(rig.status(), QStringLiteral("Open Project canceled."));
    QCOMPARE(rig.app().boxes().size(), boxes);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(rig.box().isSampling()); // the held start began after the work
    QTRY_VERIFY_WITH_TIMEOUT(rig.box().analogIns()[0]->sampleCount() > 0, RunWaitMs);
    rig.trigger(QStringLiteral("Stop"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
