#include "ui/mainwindow.h"
#include "ui/zaboutdialog.h"
#include "ui/zboxtypecfgr.h"
#include "ui/zcurvedata.h"
#include "ui/zentry.h"
#include "ui/zfilechooser.h"
#include "ui/zgraphdspr.h"
#include "ui/zinstanceguard.h"
#include "ui/zitvlcfgr.h"
#include "ui/zlastdspr.h"
#include "ui/zmessenger.h"
#include "ui/zselectedcfgr.h"
#include "ui/zsingleapplication.h"
#include "ui/zuiresources.h"

#include "app/zappobservable.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "persist/zprojectreader.h"
#include "uitestutil.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>

#include <sys/stat.h>

namespace {

constexpr int UX107 = 8;
constexpr int WaitMs = 15000;

// What the window's dialogs are told: file names come from `answers` (none left: a
// cancelled dialog); every question and box goes to `log` as "kind|title|...".
struct Script
{
    QStringList answers;
    QStringList log;
    ZMessenger::CloseChoice closeAnswer = ZMessenger::CancelClose;
};

class ScriptedDialogs : public ZFileChooser, public ZMessenger
{
public:
    explicit ScriptedDialogs(Script *script)
        : m_script(script)
    { }
    QString openFileName(QWidget *, const QString &c, const QString &d, const QString &f) override
    {
        return answer({ "open", c, d, f });
    }
    QString saveFileName(QWidget *, const QString &c, const QString &d, const QString &f) override
    {
        return answer({ "save", c, d, f });
    }
    void warning(QWidget *parent, const QString &title, const QString &text) override
    {
        m_script->log << (parent ? "warning(window)|" : "warning|") + title + '|' + text;
    }
    void message(const QString &text) override { m_script->log << "message|" + text; }
    CloseChoice askBeforeClosing(QWidget *) override
    {
        m_script->log << "ask";
        return m_script->closeAnswer;
    }

private:
    QString answer(const QStringList &question)
    {
        m_script->log << question.join('|');
        return m_script->answers.isEmpty() ? QString() : m_script->answers.takeFirst();
    }
    Script *m_script;
};

// A window with scripted dialogs.
struct Rig : Script
{
    explicit Rig(bool simulate = true)
        : window(simulate)
    {
        window.setFileChooser(std::make_unique<ScriptedDialogs>(this));
        window.setMessenger(std::make_unique<ScriptedDialogs>(this));
    }

    // Presses the tool-bar command; `answer` is the name the next file dialog gives.
    void trigger(const QString &text, const QString &answer = QString())
    {
        if (!answer.isEmpty())
            answers = QStringList { answer };
        const QList<QAction *> actions = window.toolBar()->actions();
        const auto action = std::find_if(actions.begin(), actions.end(),
                                         [&text](QAction *a) { return a->text() == text; });
        QVERIFY2(action != actions.end(), qPrintable(text));
        (*action)->trigger();
    }
    // The enabled commands, in tool-bar order, as letters: x o p d l s S T a.
    QString available() const
    {
        QString result;
        const QList<QAction *> actions = window.toolBar()->actions();
        for (int i = 0; i < actions.size(); ++i)
            if (actions[i]->isEnabled())
                result += QLatin1Char("xopdlsSTa"[i]);
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

    // What a user does: UX-107 in the device combo, two analog inputs and a counter
    // selected, rates typed.
    void configureRun()
    {
        window.findChild<ZBoxTypeCfgr *>()->typeCombo()->setCurrentIndex(UX107);
        QCOMPARE(app().boxType(), UX107);
        for (const auto &[channel, rate] :
             { std::pair<ZInChannel *, const char *>(box().analogIns()[0], "100"),
               { box().analogIns()[1], "50" },
               { box().edgeCnts()[0], "20" } }) {
            panelOf<ZSelectedCfgr>(channel)->checkBox()->click();
            typeInto(panelOf<ZItvlCfgr>(channel)->rateField(), rate);
        }
        QVERIFY(box().analogIns()[1]->isSelected());
        QCOMPARE(box().edgeCnts()[0]->interval(), 50.0);
    }
    // Starts a run and waits for five counts; the last run's samples stay until it begins.
    bool runUntilSamples(bool stop = true)
    {
        window.statusBar()->clearMessage();
        trigger(QStringLiteral("Start"));
        const auto begun = [this] {
            return status() == "Sampling started." && box().edgeCnts()[0]->sampleCount() >= 5;
        };
        if (!QTest::qWaitFor(begun, WaitMs))
            return false;
        if (stop)
            trigger(QStringLiteral("Stop"));
        return true;
    }

    MainWindow window;
};

// Runs `check` on the next modal widget that opens, from inside its event loop.
void onNextModal(std::function<void(QWidget *)> check)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->deleteLater();
            timer->stop();
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

// What a reading strip shows: time and value.
QString reading(const ZLastDspr *strip)
{
    return strip->timeField()->text() + ' '
        + static_cast<QLineEdit *>(strip->valueWidget())->text();
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
    void closePromptAndALostBox();
    void progressDialogCancelsAnOpenAndHoldsAStart();
    void oneInstancePerUser();

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
    // A pipe's reader may close its end before the test writes.
    std::signal(SIGPIPE, SIG_IGN);
}

// Every test starts with an empty continuous store: no device type remembered.
void TestMainWindow::init()
{
    QSettings(QStringLiteral("Tebor"), QStringLiteral("Quoravi")).clear();
}

// The whole road on the simulated box: the modal boxes, configure, run, fail and cancel
// every file command, save project and data, open the project again, save the settings
// and load them into a fresh window.
void TestMainWindow::endToEndOnTheSimulatedBox()
{
    const QString ini = m_files.filePath(QStringLiteral("run.ini"));
    {
        Rig rig;
        rig.window.show();
        QCOMPARE(rig.window.windowTitle(), QStringLiteral("Quoravi-2.2.1"));
        QStringList texts;
        for (QAction *action : rig.window.toolBar()->actions())
            texts << action->text() + (action->icon().isNull() ? "(no icon)" : "");
        QCOMPARE(texts,
                 QStringList({ "Exit", "Open Project", "Save Project", "Save Data", "Load Settings",
                               "Save Settings", "Start", "Stop", "About" }));
        // A tool bar dragged away or floated could not be brought back without a menu.
        QVERIFY(!rig.window.toolBar()->isMovable());
        // The about box, and the box a second start shows: without parent, closed by its
        // timer.
        QStringList seen;
        const auto record = [&seen](QWidget *modal) {
            if (auto *dialog = qobject_cast<ZAboutDialog *>(modal)) {
                const bool help = dialog->windowFlags() & Qt::WindowContextHelpButtonHint;
                seen << dialog->windowTitle() << dialog->infoLabel()->text()
                     << QString::number(help);
                dialog->okButton()->click();
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen << box->text() << QString::number(box->parentWidget() == nullptr);
            }
        };
        onNextModal(record);
        rig.trigger(QStringLiteral("About"));
        onNextModal(record);
        showAlreadyRunning(300);
        QCOMPARE(seen,
                 QStringList({ "About Quoravi", "Built on May 28, 2016\nVersion: 2.2.1", "0",
                               "Quoravi is already running!", "1" }));

        QCOMPARE(rig.available(), QStringLiteral("xoa"));
        rig.configureRun();
        QCOMPARE(rig.available(), QStringLiteral("xolsSa"));
        QVERIFY(rig.runUntilSamples(false));
        QCOMPARE(rig.available(), QStringLiteral("xosTa")); // running: Stop, Save Settings
        rig.trigger(QStringLiteral("Stop"));
        QCOMPARE(rig.status(), QStringLiteral("Sampling finished."));
        QCOMPARE(rig.available(), QStringLiteral("xopdlsSa"));
        // Stopped while armed for an edge: canceled, and the last run's samples stay.
        QVERIFY(rig.app().setStartTrigger(TriggerRising));
        rig.trigger(QStringLiteral("Start"));
        rig.trigger(QStringLiteral("Stop"));
        QCOMPARE(rig.status(), QStringLiteral("Sampling canceled."));
        QVERIFY(rig.app().setStartTrigger(TriggerManual));
        QCOMPARE(rig.available(), QStringLiteral("xopdlsSa"));

        // Each command asks once, in the current directory; a cancelled dialog ends it
        // silently.
        rig.window.statusBar()->clearMessage();
        for (const char *command :
             { "Open Project", "Save Project", "Save Data", "Load Settings", "Save Settings" })
            rig.trigger(command);
        const QString in = '|' + QDir::currentPath() + '|';
        QCOMPARE(rig.log,
                 QStringList({ "open|Open Project" + in + "Quoravi Project (*.xml)",
                               "save|Save" + in + "Quoravi Project (*.xml)",
                               "save|Save Data" + in + "Quoravi Data (*.txt)",
                               "open|Load Settings" + in + "Quoravi Settings (*.ini)",
                               "save|Save Settings" + in + "Quoravi Settings (*.ini)" }));
        QCOMPARE(rig.status(), QString());

        // A failed command shows its warning (titled as the command) or message, if any,
        // and its status, and leaves the boxes and the samples alone. A null content stands
        // for a file below a plain file; a text ending in a line break goes on with the
        // reason.
        const struct
        {
            const char *command;
            const char *content;
            const char *shown; // after the file question
            const char *status; // after the command's name
        } errors[] = {
            { "Save Settings", "[General\nboxType=\"\n\x01\x02", "Can't Save Settings to %1.",
              "failed." },
            { "Load Settings", nullptr, "Can't Load Settings from %1.", "failed." },
            { "Save Data", nullptr, "Can't Save Data to %1:\n",
              "failed because of limits of authority." },
            { "Open Project", nullptr, "", "failed because of reading failure." },
            { "Open Project", "<Quoravi version=\"3.0\"/>",
              "message|Please choose project file saved by Quoravi of the current Version!",
              "failed because of unmatched version." },
        };
        QVERIFY(writeFile(m_files.filePath(QStringLiteral("plain")), "not a folder"));
        for (const auto &row : errors) {
            const QString command(row.command);
            const QString suffix = command.endsWith("Settings") ? ".ini" : ".xml";
            const QString fileName
                = m_files.filePath((row.content ? "bad" : "plain/file") + suffix);
            QVERIFY(!row.content || writeFile(fileName, row.content));
            rig.log.clear();
            rig.trigger(command, fileName);
            const QString shown = rig.log.mid(1).join('#');
            QString expected = QString(row.shown).replace(QLatin1String("%1"), fileName);
            if (expected.startsWith("Can't"))
                expected = "warning(window)|" + command + '|' + expected;
            QVERIFY2(shown == expected || (expected.endsWith('\n') && shown.startsWith(expected)),
                     qPrintable(shown));
            QCOMPARE(rig.status(), command + ' ' + row.status);
            QCOMPARE(rig.app().boxes().size(), std::size_t(1));
            QVERIFY(rig.window.hasUnsavedSamples());
        }

        rig.log.clear();
        const QString project = m_files.filePath(QStringLiteral("run.xml"));
        const QString data = m_files.filePath(QStringLiteral("run.txt"));
        rig.trigger(QStringLiteral("Save Project"), project);
        QCOMPARE(rig.status(), QStringLiteral("Save Project succeeded."));
        QVERIFY(!rig.window.hasUnsavedSamples());
        rig.trigger(QStringLiteral("Save Data"), data);
        QCOMPARE(rig.status(), QStringLiteral("Save Data succeeded"));
        QVERIFY(QFile(data).size() > 100);
        rig.trigger(QStringLiteral("Open Project"), project);
        QCOMPARE(rig.status(), QStringLiteral("Open Project succeeded."));
        QCOMPARE(rig.app().boxes().size(), std::size_t(2));
        const ZBox &playback = *rig.app().boxes()[1];
        QCOMPARE(playback.analogIns().size(), std::size_t(2));
        // The "Playback 1" page shows what the run took: the same last readings as the
        // live page and, with its graph shown, every sample.
        const auto inputs = [](const ZBox &box) {
            return std::vector<ZInChannel *> { box.analogIns()[0], box.analogIns()[1],
                                               box.edgeCnts()[0] };
        };
        for (int i = 0; i < 3; ++i) {
            ZInChannel *shown = inputs(playback)[i];
            ZInChannel *taken = inputs(rig.box())[i];
            const ZLastDspr *strip = rig.panelOf<ZLastDspr>(shown);
            QVERIFY(strip && strip != rig.panelOf<ZLastDspr>(taken));
            QVERIFY(!reading(strip).startsWith(QLatin1String("0 ")));
            QCOMPARE(reading(strip), reading(rig.panelOf<ZLastDspr>(taken)));
            strip->graphCheck()->click();
            QVERIFY(rig.panelOf<ZGraphDspr>(shown)->isVisible());
            QCOMPARE(rig.panelOf<ZGraphDspr>(shown)->curveData()->count(), taken->sampleCount());
        }
        QCOMPARE(rig.available(), QStringLiteral("xopdlsSa")); // opening changes nothing
        QCOMPARE(rig.log.size(), 3); // three questions, no box
        QVERIFY(rig.window.grab().save(m_files.filePath(QStringLiteral("window.png"))));

        rig.trigger(QStringLiteral("Save Settings"), ini);
        QCOMPARE(rig.status(), QStringLiteral("Save Settings succeeded."));
        // Another configuration, remembered by the continuous store.
        rig.panelOf<ZSelectedCfgr>(rig.box().analogIns()[1])->checkBox()->click();
        typeInto(rig.panelOf<ZItvlCfgr>(rig.box().analogIns()[0])->rateField(), "10");
        rig.app().setBoxType(1);
        QCOMPARE(rig.available(), QStringLiteral("xolsSa"));
        rig.app().setBoxType(UX107);
    }
    Rig fresh;
    QCOMPARE(fresh.app().boxType(), UX107);
    QVERIFY(!fresh.box().analogIns()[1]->isSelected());
    fresh.trigger(QStringLiteral("Load Settings"), ini);
    QCOMPARE(fresh.status(), QStringLiteral("Load Settings succeeded."));
    QVERIFY(fresh.box().analogIns()[1]->isSelected() && fresh.box().edgeCnts()[0]->isSelected());
    QCOMPARE(fresh.box().analogIns()[0]->interval(), 10.0);
    QCOMPARE(fresh.box().analogIns()[1]->interval(), 20.0);
    QCOMPARE(fresh.available(), QStringLiteral("xolsSa"));
}

// Without a box the link knows why (no USB access or no FTDI device here).
void TestMainWindow::startWithoutABox()
{
    Rig rig(false);
    rig.app().setBoxType(UX107);
    rig.trigger(QStringLiteral("Start"));
    const QString reason = rig.app().connectFailureReason();
    QVERIFY(!reason.isEmpty());
    QCOMPARE(rig.status(),
             QStringLiteral("Please make sure the device is connected and matched with the "
                            "device type, then try again. (%1)")
                 .arg(reason));
    QCOMPARE(rig.available(), QStringLiteral("xolsSa"));
    QVERIFY(!rig.app().isSampling() && rig.log.isEmpty());
    rig.app().setBoxType(0);
    QCOMPARE(rig.available(), QStringLiteral("xoa"));
}

// Closing asks only while the box holds samples not saved since they were taken, after
// stopping a run; saving from the question writes the project, a cancelled save keeps
// the window open. A box pulled during a run ends it; the status says why, after
// "Sampling finished.", and the samples taken so far are kept for saving.
void TestMainWindow::closePromptAndALostBox()
{
    auto simulated = std::make_shared<ZSimulatedBox>(UX107);
    ZUsbBridgeOverride bridge(simulated);
    Rig rig;
    rig.configureRun();
    rig.app().setNoAnswerLimitMs(300);
    const QString project = m_files.filePath(QStringLiteral("closing.xml"));
    // Presses Exit with the question answered by `choice` and the save dialog by `name`:
    // what happened, as "asked closed written".
    const auto pressExit = [&](ZMessenger::CloseChoice choice, const QString &name = QString()) {
        rig.window.show();
        QFile::remove(project);
        rig.log.clear();
        rig.answers.clear();
        rig.closeAnswer = choice;
        rig.trigger(QStringLiteral("Exit"), name);
        QStringList seen { rig.log.contains(QStringLiteral("ask")) ? "asked" : "",
                           rig.window.isVisible() ? "" : "closed",
                           QFile::exists(project) ? "written" : "" };
        seen.removeAll(QString());
        return seen.join(' ') + (rig.app().isSampling() ? " still running" : "");
    };
    const auto readBack = [&project] {
        const ZProjectReadResult read = readProjectFile(project);
        return read.box ? read.box->edgeCnts()[0]->sampleCount() : -1;
    };
    QCOMPARE(pressExit(ZMessenger::CancelClose), QStringLiteral("closed")); // nothing sampled
    QVERIFY(rig.runUntilSamples());
    QCOMPARE(pressExit(ZMessenger::CancelClose), QStringLiteral("asked"));
    QCOMPARE(pressExit(ZMessenger::SaveProject), QStringLiteral("asked")); // save dialog cancelled
    QCOMPARE(pressExit(ZMessenger::SaveProject, project), QStringLiteral("asked closed written"));
    QCOMPARE(rig.log.value(1).section('|', 0, 1), QStringLiteral("save|Save"));
    QCOMPARE(readBack(), rig.box().edgeCnts()[0]->sampleCount());
    QCOMPARE(pressExit(ZMessenger::CancelClose), QStringLiteral("closed")); // saved since the run
    QVERIFY(rig.runUntilSamples(false));
    QCOMPARE(pressExit(ZMessenger::CancelClose), QStringLiteral("asked"));
    QVERIFY(rig.runUntilSamples(false));
    QCOMPARE(pressExit(ZMessenger::SaveProject, project), QStringLiteral("asked closed written"));
    QCOMPARE(readBack(), rig.box().edgeCnts()[0]->sampleCount());

    QVERIFY(rig.runUntilSamples(false));
    simulated->unplug();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.app().isSampling(), WaitMs);
    QVERIFY2(rig.status().startsWith(QLatin1String("The box stopped answering at ")),
             qPrintable(rig.status()));
    QCOMPARE(rig.available(), QStringLiteral("xopdlsSa"));
    QCOMPARE(pressExit(ZMessenger::Discard), QStringLiteral("asked closed"));
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
    QStringList seen;
    onNextModal([&](QWidget *widget) {
        auto *dialog = qobject_cast<QProgressDialog *>(widget);
        QVERIFY(dialog);
        if (dialog->isVisible() && dialog->windowModality() == Qt::ApplicationModal)
            seen << "modal";
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        rig.trigger(QStringLiteral("Start")); // armed; the start fires at once
        QTest::qWait(100);
        if (rig.app().isSampling() && !rig.box().isSampling())
            seen << "held";
        dialog->findChild<QPushButton *>()->click(); // Cancel
        // Let the blocked reading go on: it sees the cancel at its first read.
        QFile writer(pipe);
        QVERIFY(writer.open(QIODevice::WriteOnly));
        writer.write("<?xml version=\"1.0\"?>\n<Quoravi version=\"2.2.1\"/>\n");
    });
    rig.trigger(QStringLiteral("Open Project"), pipe);
    QCOMPARE(seen, QStringList({ "modal", "held" }));
    QCOMPARE(rig.status(), QStringLiteral("Open Project canceled."));
    QCOMPARE(rig.app().boxes().size(), std::size_t(1));
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QVERIFY(rig.box().isSampling()); // the held start began after the work
    QTRY_VERIFY_WITH_TIMEOUT(rig.box().analogIns()[0]->sampleCount() > 0, WaitMs);
    rig.trigger(QStringLiteral("Stop"));
}

// The window program started twice on one lock folder: the second start shows its box
// and exits with 0; the first keeps running, holding the lock and answering its socket.
// Killed outright, it leaves lock file and socket behind, and the next start takes both.
void TestMainWindow::oneInstancePerUser()
{
    QTemporaryDir dir;
    const auto start = [&dir](QProcess *process, int boxMs) {
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QCoreApplication::applicationFilePath(),
                       { QStringLiteral("instance"), dir.path(), QString::number(boxMs) });
        return process->waitForStarted(WaitMs);
    };
    QProcess first;
    QVERIFY(start(&first, 0));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath("quoravi.socket")), WaitMs);
    QProcess second;
    QVERIFY(start(&second, 200));
    QVERIFY(second.waitForFinished(WaitMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(ZInstanceGuard(dir.path()).sendMessage(QStringLiteral("still there?")));
    QCOMPARE(first.state(), QProcess::Running);
    first.kill();
    QVERIFY(first.waitForFinished(WaitMs));
    QVERIFY(QFileInfo::exists(dir.filePath("quoravi.lock")));

    ZInstanceGuard next(dir.path());
    QVERIFY(!next.isRunning());
    QSignalSpy received(&next, &ZInstanceGuard::messageReceived);
    {
        ZInstanceGuard later(dir.path());
        QVERIFY(later.isRunning());
        QVERIFY(later.sendMessage(QStringLiteral("hello")));
    }
    QVERIFY(ZInstanceGuard(dir.path()).isRunning());
    QVERIFY(received.count() > 0 || received.wait(WaitMs));
    QCOMPARE(received.first().first().toString(), QStringLiteral("hello"));
    // The lock stays with the instance that holds it, not with the one that asked.
    QVERIFY(!next.sendMessage(QStringLiteral("to myself")));
}

// Started as "<this program> instance <folder> <ms>", it runs the window program's entry
// with lock and settings in <folder>; <ms> closes the "already running" box.
int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "instance") == 0) {
        const QString folder = QString::fromLocal8Bit(argv[2]);
        QStandardPaths::setTestModeEnabled(true);
        for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
            QSettings::setPath(format, QSettings::UserScope, folder);
        ZSingleApplication application(argc, argv, folder);
        initUiResources();
        ZEntryOptions options;
        options.simulate = true;
        options.alreadyRunningTimeoutMs = QString::fromLocal8Bit(argv[3]).toInt();
        return runQuoravi(application, options);
    }
    QApplication application(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
