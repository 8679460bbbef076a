#include "ui/mainwindow.h"
#include "ui/zaboutdialog.h"
#include "ui/zappcfgr.h"
#include "ui/zappobserver.h"
#include "ui/zboxcfgr.h"
#include "ui/zboxinfo.h"
#include "ui/zboxobserver.h"
#include "ui/zboxtypecfgr.h"
#include "ui/zcurvedata.h"
#include "ui/zdurationcfgr.h"
#include "ui/zentry.h"
#include "ui/zfilechooser.h"
#include "ui/zgraphdspr.h"
#include "ui/zinstanceguard.h"
#include "ui/zitvlcfgr.h"
#include "ui/zlastdspr.h"
#include "ui/zlineloaddspr.h"
#include "ui/zmessenger.h"
#include "ui/zselectedcfgr.h"
#include "ui/zsingleapplication.h"
#include "ui/ztriggerscfgr.h"
#include "ui/zuiresources.h"
#include "ui/zvaluecfgr.h"

#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zusbbackend.h"
#include "persist/zprojectreader.h"
#include "tests/common/wholefile.h"
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

// What a reading strip shows: time and value.
QString reading(const ZLastDspr *strip)
{
    return strip->timeField()->text() + ' '
        + static_cast<QLineEdit *>(strip->valueWidget())->text();
}

// The fields, combos and check boxes a user could change below `parent`.
QList<QWidget *> inputs(const QWidget *parent)
{
    QList<QWidget *> widgets;
    for (QWidget *widget : parent->findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget)
            || qobject_cast<QCheckBox *>(widget))
            widgets << widget;
    return widgets;
}

// Each group of a page as "title:rows".
QStringList groups(const QWidget *page)
{
    QStringList result;
    for (const QGroupBox *group : page->findChildren<QGroupBox *>())
        result << group->title() + ':'
                + QString::number(
                      group->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly).size());
    return result;
}

// The tree on one line: each box item with the type of the box on the page of the same
// index, "*" on the current item, then the current page and the page count.
QString shape(const ZAppObserver &view)
{
    const QTreeWidgetItem *root = view.tree()->topLevelItem(0);
    const auto mark = [&view](const QTreeWidgetItem *item) {
        return item == view.tree()->currentItem() ? QStringLiteral("*") : QString();
    };
    QStringList items;
    for (int i = 0; i < root->childCount(); ++i) {
        const auto *page = static_cast<ZBoxObserver *>(view.pages()->widget(i));
        items << root->child(i)->text(0) + ':' + QString::number(page->subject()->boxType())
                + mark(root->child(i));
    }
    return QStringLiteral("%1%2[%3] page %4/%5")
        .arg(root->text(0), mark(root), items.join(", "))
        .arg(view.pages()->currentIndex())
        .arg(view.pages()->count());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void endToEndOnTheSimulatedBox();
    void navigationAndSettingsFollowTheModel();
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

// The whole road on the simulated box: the modal boxes, configure, run with the settings
// locked, fail and cancel every file command, save project and data, open the project
// again and see its page, save the settings and load them into a fresh window.
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
        QCOMPARE(texts.join(','),
                 QStringLiteral("Exit,Open Project,Save Project,Save Data,Load Settings,"
                                "Save Settings,Start,Stop,About"));
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
        // A run locks every setting of UX-107 (the overall four, 9 rates, 4 ranges, 6
        // selects, 3 modes, 2 duty ratios) but the three output values.
        QList<QWidget *> values;
        for (auto *editor : rig.window.findChildren<ZValueCfgr *>())
            values << inputs(editor);
        const QList<QWidget *> settings = inputs(rig.window.findChild<ZAppCfgr *>())
            + inputs(rig.window.findChild<ZBoxCfgr *>());
        QCOMPARE(settings.size(), 4 + 9 + 4 + 6 + 3 + 2 + 3);
        QCOMPARE(values.size(), 3);
        for (QWidget *widget : settings)
            QVERIFY2(isEditable(widget) == values.contains(widget),
                     widget->metaObject()->className());
        rig.trigger(QStringLiteral("Stop"));
        QCOMPARE(rig.status(), QStringLiteral("Sampling finished."));
        QCOMPARE(rig.available(), QStringLiteral("xopdlsSa"));
        for (QWidget *widget : settings)
            QVERIFY2(isEditable(widget), widget->metaObject()->className());
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
        // and its status "<command> <status>", and leaves the boxes and the samples alone.
        // A null content stands for a file below a plain file; a text ending in a line
        // break goes on with the reason.
        const char *const errors[][4] = {
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
        QVERIFY(writeAll(m_files.filePath(QStringLiteral("plain")), "not a folder"));
        for (const auto &[command, content, shownText, status] : errors) {
            const QString suffix = QString(command).endsWith("Settings") ? ".ini" : ".xml";
            const QString fileName = m_files.filePath((content ? "bad" : "plain/file") + suffix);
            QVERIFY(!content || writeAll(fileName, content));
            rig.log.clear();
            rig.trigger(command, fileName);
            const QString shown = rig.log.mid(1).join('#');
            QString expected = QString(shownText).replace(QLatin1String("%1"), fileName);
            if (expected.startsWith("Can't"))
                expected = "warning(window)|" + QString(command) + '|' + expected;
            QVERIFY2(shown == expected || (expected.endsWith('\n') && shown.startsWith(expected)),
                     qPrintable(shown));
            QCOMPARE(rig.status(), QString(command) + ' ' + status);
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
        const auto &playback = static_cast<const ZImgyBox &>(*rig.app().boxes()[1]);
        // The "Playback 1" page: no settings, the project information (read only) and the
        // lists the project holds, an empty list without a group.
        const auto *page = static_cast<ZBoxObserver *>(
            rig.window.findChild<ZAppObserver *>()->pages()->currentWidget());
        QVERIFY(page->subject() == &playback && !page->tabs() && !playback.savedTime().isEmpty());
        QCOMPARE(groups(page),
                 QStringList(
                     { "Project Information:2", "Analog Input Channels(2):2", "Counters(1):1" }));
        const auto *info = page->findChild<ZBoxInfo *>();
        QCOMPARE(labelTexts(info), QStringList({ "Device Type: ", "Time of Saving: " }));
        QStringList fields;
        for (const QLineEdit *field : info->findChildren<QLineEdit *>())
            fields << field->text() + (isEditable(field) ? " (editable)" : "");
        QCOMPARE(fields, QStringList({ "UX-107", playback.savedTime() }));
        // It shows what the run took: the same last readings as the live page and, with
        // its graph shown, every sample.
        const auto inputsOf = [](const ZBox &box) {
            return std::vector<ZInChannel *> { box.analogIns()[0], box.analogIns()[1],
                                               box.edgeCnts()[0] };
        };
        for (int i = 0; i < 3; ++i) {
            ZInChannel *shown = inputsOf(playback)[i];
            ZInChannel *taken = inputsOf(rig.box())[i];
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

// A navigation area built on a model that already holds boxes and settings shows them;
// every later change shows too, and what a user picks reaches the model.
void TestMainWindow::navigationAndSettingsFollowTheModel()
{
    Rig rig;
    ZAppObservable &app = rig.app();
    app.setBoxType(3);
    app.addBox(new ZImgyBox(4));
    app.setStopTrigger(TriggerTimeOut);
    app.setDuration(12.5);
    ZAppObserver view;
    QVERIFY(view.attach(&app));
    QCOMPARE(shape(view), QStringLiteral("Quoravi[Active Device:3*, Playback 1:4] page 0/2"));
    QVERIFY(view.tree()->topLevelItem(0)->isExpanded());
    QComboBox *type = view.findChild<ZBoxTypeCfgr *>()->typeCombo();
    QComboBox *start = view.findChild<ZTriggersCfgr *>()->startCombo();
    QComboBox *stop = view.findChild<ZTriggersCfgr *>()->stopCombo();
    const auto *duration = view.findChild<ZDurationCfgr *>();
    QLineEdit *seconds = duration->durationField();
    QCOMPARE(type->currentIndex(), 3);
    QCOMPARE(stop->currentIndex(), 3);
    QCOMPARE(seconds->text(), QString("12.5"));
    QCOMPARE(comboTexts(type).mid(0, 2), (QStringList { "Choose One", "UX-100" }));
    QCOMPARE(comboTexts(stop).join(','), QString("Manual,Raising Edge,Failing Edge,Time Out"));
    QCOMPARE(comboTexts(start), comboTexts(stop).mid(0, 3));

    // As the settings store applies a loaded file; passing through the field keeps the
    // duration in force, not its rounded form. A refused one shows the one in force.
    app.setDuration(1.23456);
    QCOMPARE(seconds->text(), QString("1.235"));
    passThrough(seconds);
    QCOMPARE(app.duration(), 1.23456);
    const char *const rows[][2]
        = { { "2.34567", "2.346" }, { "90", "90" },    { "0.0005", "0.001" },
            { "long", "0.001" },    { "-5", "0.001" }, { "60.0001", "60" } };
    for (const auto &[typed, shown] : rows) {
        typeInto(seconds, typed);
        QVERIFY2(app.duration() == QString(shown).toDouble(), typed);
        QVERIFY2(seconds->text() == shown, typed);
    }
    start->setCurrentIndex(2);
    stop->setCurrentIndex(1);
    QCOMPARE(app.startTrigger(), 2);
    QCOMPARE(app.stopTrigger(), 1);
    app.setStartTrigger(1);
    QCOMPARE(start->currentIndex(), 1);
    // The duration shows only for a stop by time, also when built with the trigger set.
    for (int trigger : { TriggerTimeOut, TriggerManual, TriggerFalling, TriggerTimeOut }) {
        app.setStopTrigger(trigger);
        QCOMPARE(stop->currentIndex(), trigger);
        QCOMPARE(!duration->isHidden(), trigger == TriggerTimeOut);
        ZDurationCfgr late;
        late.attach(&app);
        QCOMPARE(!late.isHidden(), trigger == TriggerTimeOut);
    }

    type->setCurrentIndex(10);
    QCOMPARE(app.boxType(), 10);
    QCOMPARE(shape(view), QStringLiteral("Quoravi[Active Device:10*, Playback 1:4] page 0/2"));
    // A live page: settings and display, the display with the input groups only.
    const auto *live = static_cast<ZBoxObserver *>(view.pages()->widget(0));
    const QStringList ux109 { "Analog Input Channels(14):14", "Digit Input Channels(5):5",
                              "Counters(2):2", "Analog Output Channels(4):4",
                              "Digit Output Channels(3):3" };
    QCOMPARE(live->tabs()->tabText(1), QString("Display"));
    QCOMPARE(groups(live->tabs()->widget(0)), ux109);
    QCOMPARE(groups(live->tabs()->widget(1)), ux109.mid(0, 3));
    QVERIFY(live->findChildren<ZBoxInfo *>().isEmpty());
    auto *last = new ZImgyBox(3);
    app.addBox(last);
    QCOMPARE(shape(view),
             QStringLiteral("Quoravi[Active Device:10, Playback 1:4, Playback 2:3*] page 2/3"));
    // The user picks an item; the root shows the first page.
    QTreeWidgetItem *root = view.tree()->topLevelItem(0);
    view.tree()->setCurrentItem(root->child(1));
    QCOMPARE(view.pages()->currentIndex(), 1);
    view.tree()->setCurrentItem(root);
    QCOMPARE(view.pages()->currentIndex(), 0);
    // Removing one renumbers the rest and selects the first box.
    app.removeBox(app.boxes()[1]);
    QCOMPARE(shape(view), QStringLiteral("Quoravi[Active Device:10*, Playback 1:3] page 0/2"));

    // The line load follows every selection, rate and box change. 115200 baud carry 11520
    // bytes/s, 19200 baud 1920. A record is the 3-byte request and its answer: 5 bytes, 4
    // per selected analog input, 2 per digital input, 5 per selected counter. Unselected,
    // digital input 0 paces at 1 record/s. Over the line's capacity the text names the
    // records reachable. Rows: box type, analog and other inputs selected, rate, text.
    const ZLineLoadDspr &line = *view.findChild<ZLineLoadDspr *>();
    const QColor normal = line.palette().color(QPalette::WindowText);
    // Selects the first `count` channels of a list at `rate` samples per second.
    const auto pick = [](const auto &channels, std::size_t count, double rate) {
        for (std::size_t i = 0; i < std::min(count, channels.size()); ++i) {
            channels[i]->setSelected(true);
            channels[i]->setInterval(channels[i]->intervalRate(rate));
        }
    };
    const std::tuple<int, std::size_t, std::size_t, double, QString> loads[] = {
        { 10, 0, 0, 1.0, "Line: 0.02 of 11.5 kB/s" },
        { 10, 64, 64, 1000.0, "Line: 84.0 of 11.5 kB/s, about 137 records/s" },
        { 10, 64, 64, 100.0, "Line: 8.4 of 11.5 kB/s" },
        { 3, 0, 0, 1.0, "Line: 0.01 of 1.9 kB/s" }, // the old box's channels are gone
        { 3, 1, 0, 100.0, "Line: 1.4 of 1.9 kB/s" },
        { 3, 64, 0, 100.0, "Line: 2.2 of 1.9 kB/s, about 87 records/s" },
    };
    for (const auto &[boxType, analogs, others, rate, text] : loads) {
        app.setBoxType(boxType);
        pick(app.activeBox()->analogIns(), analogs, rate);
        pick(app.activeBox()->digitIns(), others, rate);
        pick(app.activeBox()->edgeCnts(), others, rate);
        QCOMPARE(line.text(), text);
        const bool warning = text.contains(QLatin1String("records"));
        QCOMPARE(line.showsWarning(), warning);
        QCOMPARE(line.palette().color(QPalette::WindowText) != normal, warning);
        QVERIFY(!line.isHidden());
    }
    app.activeBox()->analogIns()[2]->setSelected(false);
    QCOMPARE(line.text(), QString("Line: 1.8 of 1.9 kB/s"));
    QVERIFY(!line.showsWarning());

    // Without a device, playback boxes are numbered from the front of the list.
    type->setCurrentIndex(0);
    QCOMPARE(shape(view), QStringLiteral("Quoravi[Playback 1:3*] page 0/1"));
    QVERIFY(line.isHidden());
    QCOMPARE(rig.available(), QStringLiteral("xoa"));
    app.removeBox(last);
    QCOMPARE(shape(view), QStringLiteral("Quoravi*[] page -1/0"));

    // More rows than fit: the page scrolls, nothing is squeezed to fit.
    auto doomed = std::make_unique<ZRealBox>(nullptr, 10);
    ZBoxCfgr scrolled;
    scrolled.attach(doomed.get());
    scrolled.resize(900, 300);
    scrolled.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scrolled));
    QVERIFY(scrolled.verticalScrollBar()->maximum() > 0);
    for (const QGroupBox *group : scrolled.findChildren<QGroupBox *>())
        QVERIFY(group->height() >= group->sizeHint().height());
    // Deleting the box leaves an empty page behind, never a dangling one.
    ZBoxObserver orphan;
    orphan.attach(doomed.get());
    doomed.reset();
    QVERIFY(!orphan.subject() && !orphan.tabs());
    QVERIFY(orphan.findChildren<QGroupBox *>().isEmpty());
}

// Closing asks only while the box holds samples not saved since they were taken, after
// stopping a run; saving from the question writes the project, a cancelled save keeps
// the window open. A box pulled during a run ends it; the status says why, after
// "Sampling finished.", and the samples taken so far are kept for saving. A start without
// the box tells why it failed.
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
    rig.trigger(QStringLiteral("Start"));
    const QString reason = rig.app().connectFailureReason();
    QVERIFY(!reason.isEmpty() && !rig.app().isSampling());
    QCOMPARE(rig.status(),
             QStringLiteral("Please make sure the device is connected and matched with the "
                            "device type, then try again. (%1)")
                 .arg(reason));
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
    QVERIFY(ZInstanceGuard(dir.path()).sendMessage(QStringLiteral("hello")));
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
