#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "ui/zappcfgr.h"
#include "ui/zappobserver.h"
#include "ui/zboxcfgr.h"
#include "ui/zboxdspr.h"
#include "ui/zboxinfo.h"
#include "ui/zboxobserver.h"
#include "ui/zboxtypecfgr.h"
#include "ui/zdtyrtocfgr.h"
#include "ui/zdurationcfgr.h"
#include "ui/zinchlcfgr.h"
#include "ui/zinchldspr.h"
#include "ui/zitvlcfgr.h"
#include "ui/zlineloaddspr.h"
#include "ui/zoutchlcfgr.h"
#include "ui/zoutmodecfgr.h"
#include "ui/zrngcfgr.h"
#include "ui/zselectedcfgr.h"
#include "ui/ztriggerscfgr.h"
#include "ui/zvaluecfgr.h"
#include "uitestutil.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

// Loose bound: runs share the machine with other work.
constexpr int RunTimeoutMs = 15000;

// The application model on a simulated box of the type it is given first, with the
// navigation area attached.
struct Rig
{
    explicit Rig(int simulatedType = 8)
        : box(std::make_shared<ZSimulatedBox>(simulatedType))
        , app([this](int) { return std::make_unique<ZSimulatedBridge>(box); })
    { }

    // The tree as "text:id" lines, children indented.
    QStringList treeLines() const
    {
        QStringList lines;
        const QTreeWidgetItem *root = view.tree()->topLevelItem(0);
        lines << QStringLiteral("%1:%2").arg(root->text(0)).arg(itemId(root), 0, 16);
        for (int i = 0; i < root->childCount(); ++i)
            lines << QStringLiteral("  %1:%2")
                         .arg(root->child(i)->text(0))
                         .arg(itemId(root->child(i)), 0, 16);
        return lines;
    }
    static int itemId(const QTreeWidgetItem *item) { return item->data(0, Qt::UserRole).toInt(); }

    // The box each page shows, in stack order.
    QList<const ZBox *> pageBoxes() const
    {
        QList<const ZBox *> boxes;
        for (int i = 0; i < view.pages()->count(); ++i)
            boxes << static_cast<ZBoxObserver *>(view.pages()->widget(i))->subject();
        return boxes;
    }
    const ZBox *currentPageBox() const
    {
        auto *page = static_cast<ZBoxObserver *>(view.pages()->currentWidget());
        return page ? page->subject() : nullptr;
    }
    int currentItemId() const { return itemId(view.tree()->currentItem()); }

    ZImgyBox *addPlayback(int boxType)
    {
        auto *playback = new ZImgyBox(boxType);
        app.addBox(playback);
        return playback;
    }

    std::shared_ptr<ZSimulatedBox> box;
    ZAppObservable app;
    ZAppObserver view;
};

} // namespace

// The navigation area and the overall settings.
class TestAppObserver : public QObject
{
    Q_OBJECT

private slots:
    void typeChangeRebuildsTreeAndPages();
    void playbackBoxesAddAndRemove();
    void builtOnAnExistingModel();
    void modelDeletedFirst();
    void choosersSetAndFollowTheModel();
    void durationTyped_data();
    void durationTyped();
    void durationShownOnlyForTimeOut();
    void lockedDuringARunWithValuesLive();
    void lineLoad_data();
    void lineLoad();
    void lineLoadFollowsTheBox();
    void boxPageGroups_data();
    void boxPageGroups();
    void boxPageTabsAndOrphan();
    void settingsPageScrolls();
    void playbackPage();
};

void TestAppObserver::typeChangeRebuildsTreeAndPages()
{
    const int type = 10;
    Rig rig;
    QVERIFY(rig.view.attach(&rig.app));
    QCOMPARE(rig.treeLines(), QStringList { "Quoravi:3000" });
    auto *typeCombo = rig.view.findChild<ZBoxTypeCfgr *>()->typeCombo();

    typeCombo->setCurrentIndex(type);
    QCOMPARE(rig.app.boxType(), type);
    QCOMPARE(rig.treeLines(), (QStringList { "Quoravi:3000", "  Active Device:2000" }));
    QCOMPARE(rig.pageBoxes(), QList<const ZBox *> { rig.app.activeBox() });
    QCOMPARE(rig.currentItemId(), int(RealBoxId));
    QCOMPARE(rig.currentPageBox(), rig.app.activeBox());
    QVERIFY(rig.view.tree()->topLevelItem(0)->isExpanded());

    // Another type: a new box, a new page for it.
    const int other = 2;
    rig.app.setBoxType(other);
    QCOMPARE(typeCombo->currentIndex(), other);
    QCOMPARE(rig.view.pages()->count(), 1);
    QCOMPARE(rig.currentPageBox(), rig.app.activeBox());
    QCOMPARE(rig.currentPageBox()->boxType(), other);

    // "Choose One": no device, nothing but the root.
    typeCombo->setCurrentIndex(0);
    QCOMPARE(rig.app.boxType(), 0);
    QCOMPARE(rig.treeLines(), QStringList { "Quoravi:3000" });
    QCOMPARE(rig.view.pages()->count(), 0);
}

void TestAppObserver::playbackBoxesAddAndRemove()
{
    Rig rig;
    rig.view.attach(&rig.app);
    rig.app.setBoxType(1);
    ZImgyBox *first = rig.addPlayback(1);
    QCOMPARE(rig.currentItemId(), first->id());
    QCOMPARE(rig.currentPageBox(), first);
    ZImgyBox *second = rig.addPlayback(10);
    QCOMPARE(rig.treeLines(),
             (QStringList { "Quoravi:3000", "  Active Device:2000",
                            QStringLiteral("  Playback 1:%1").arg(first->id(), 0, 16),
                            QStringLiteral("  Playback 2:%1").arg(second->id(), 0, 16) }));
    QCOMPARE(rig.pageBoxes(), (QList<const ZBox *> { rig.app.activeBox(), first, second }));
    QCOMPARE(rig.currentItemId(), second->id());
    QCOMPARE(rig.currentPageBox(), second);
    // The user picks an item; the root shows the first page.
    QTreeWidgetItem *root = rig.view.tree()->topLevelItem(0);
    rig.view.tree()->setCurrentItem(root->child(1));
    QCOMPARE(rig.currentPageBox(), first);
    rig.view.tree()->setCurrentItem(root);
    QCOMPARE(rig.view.pages()->currentIndex(), 0);

    // Removing one renumbers the rest and selects the first box.
    rig.app.removeBox(first);
    QCOMPARE(rig.treeLines(),
             (QStringList { "Quoravi:3000", "  Active Device:2000",
                            QStringLiteral("  Playback 1:%1").arg(second->id(), 0, 16) }));
    QCOMPARE(rig.pageBoxes(), (QList<const ZBox *> { rig.app.activeBox(), second }));
    QCOMPARE(rig.currentPageBox(), rig.app.activeBox());

    // Without a device, playback boxes are numbered from the front of the list.
    rig.app.setBoxType(0);
    QCOMPARE(rig.treeLines(),
             (QStringList { "Quoravi:3000",
                            QStringLiteral("  Playback 1:%1").arg(second->id(), 0, 16) }));
    QCOMPARE(rig.pageBoxes(), QList<const ZBox *> { second });
    QCOMPARE(rig.currentPageBox(), second);

    rig.app.removeBox(second);
    QCOMPARE(rig.treeLines(), QStringList { "Quoravi:3000" });
    QCOMPARE(rig.view.pages()->count(), 0);
}

void TestAppObserver::builtOnAnExistingModel()
{
    Rig rig;
    rig.app.setBoxType(3);
    ZImgyBox *playback = rig.addPlayback(3);
    rig.app.setStopTrigger(TriggerTimeOut);
    rig.app.setDuration(12.5);
    rig.view.attach(&rig.app);
    QCOMPARE(rig.treeLines(),
             (QStringList { "Quoravi:3000", "  Active Device:2000",
                            QStringLiteral("  Playback 1:%1").arg(playback->id(), 0, 16) }));
    QCOMPARE(rig.currentPageBox(), rig.app.activeBox());
    QCOMPARE(rig.view.findChild<ZBoxTypeCfgr *>()->typeCombo()->currentIndex(), 3);
    QCOMPARE(rig.view.findChild<ZTriggersCfgr *>()->stopCombo()->currentIndex(), 3);
    QLineEdit *duration = rig.view.findChild<ZDurationCfgr *>()->durationField();
    QCOMPARE(duration->text(), QString("12.5"));
    // As the settings store applies a loaded file; passing through the field keeps the
    // duration in force, not its rounded form.
    rig.app.setDuration(1.23456);
    QCOMPARE(duration->text(), QString("1.235"));
    passThrough(duration);
    QCOMPARE(rig.app.duration(), 1.23456);

    // Detached, the area lets go of everything it built.
    rig.view.detach(&rig.app);
    QVERIFY(!rig.view.tree());
    QVERIFY(rig.view.findChildren<ZBoxObserver *>().isEmpty());
    QVERIFY(rig.view.findChildren<ZAppCfgr *>().isEmpty());
    rig.app.setBoxType(4);
}

// The window deletes its children in creation order: the model before the view.
void TestAppObserver::modelDeletedFirst()
{
    auto app = std::make_unique<ZAppObservable>(ZAppObservable::BridgeFactory());
    app->setBoxType(10);
    app->addBox(new ZImgyBox(10));
    ZAppObserver view;
    view.attach(app.get());
    QCOMPARE(view.pages()->count(), 2);
    app.reset();
    QVERIFY(!view.subject());
    QVERIFY(!view.tree());
    QVERIFY(view.findChildren<QWidget *>().isEmpty());
}

void TestAppObserver::choosersSetAndFollowTheModel()
{
    Rig rig;
    ZAppCfgr settings;
    settings.attach(&rig.app);
    auto *typeCombo = settings.findChild<ZBoxTypeCfgr *>()->typeCombo();
    auto *triggers = settings.findChild<ZTriggersCfgr *>();

    QCOMPARE(typeCombo->count(), 11);
    QCOMPARE(typeCombo->itemText(0), QString("Choose One"));
    QCOMPARE(comboTexts(triggers->startCombo()),
             (QStringList { "Manual", "Raising Edge", "Failing Edge" }));
    QCOMPARE(comboTexts(triggers->stopCombo()),
             (QStringList { "Manual", "Raising Edge", "Failing Edge", "Time Out" }));

    triggers->startCombo()->setCurrentIndex(2);
    QCOMPARE(rig.app.startTrigger(), 2);
    triggers->stopCombo()->setCurrentIndex(1);
    QCOMPARE(rig.app.stopTrigger(), 1);
    rig.app.setStartTrigger(1);
    QCOMPARE(triggers->startCombo()->currentIndex(), 1);
    rig.app.setStopTrigger(3);
    QCOMPARE(triggers->stopCombo()->currentIndex(), 3);
    rig.app.setBoxType(7);
    QCOMPARE(typeCombo->currentIndex(), 7);
}

void TestAppObserver::durationTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("shown");

    QTest::newRow("kept to milliseconds") << "2.34567" << 2.346 << "2.346";
    QTest::newRow("whole seconds") << "90" << 90.0 << "90";
    QTest::newRow("rounded up") << "0.0005" << 0.001 << "0.001";
    QTest::newRow("not a number") << "long" << 60.0 << "60";
    QTest::newRow("negative: refused") << "-5" << 60.0 << "60";
    QTest::newRow("unchanged") << "60.0001" << 60.0 << "60";
}

void TestAppObserver::durationTyped()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, shown);

    Rig rig;
    ZDurationCfgr editor;
    editor.attach(&rig.app);
    QCOMPARE(editor.durationField()->text(), QString("60"));
    typeInto(editor.durationField(), typed);
    QCOMPARE(rig.app.duration(), stored);
    QCOMPARE(editor.durationField()->text(), shown);
}

void TestAppObserver::durationShownOnlyForTimeOut()
{
    Rig rig;
    ZAppCfgr settings;
    settings.attach(&rig.app);
    auto *duration = settings.findChild<ZDurationCfgr *>();
    for (int trigger : { TriggerTimeOut, TriggerManual, TriggerFalling, TriggerTimeOut }) {
        settings.findChild<ZTriggersCfgr *>()->stopCombo()->setCurrentIndex(trigger);
        QCOMPARE(!duration->isHidden(), trigger == TriggerTimeOut);
        // Built with that trigger already chosen.
        ZDurationCfgr late;
        late.attach(&rig.app);
        QCOMPARE(!late.isHidden(), trigger == TriggerTimeOut);
    }
}

// During a run every setting is locked except the output values, which still reach the
// box; after the run everything is free again.
void TestAppObserver::lockedDuringARunWithValuesLive()
{
    Rig rig(8);
    rig.view.resize(1000, 700);
    rig.view.attach(&rig.app);
    rig.app.setBoxType(8);
    ZRealBox *box = rig.app.activeBox();
    box->analogIns()[0]->setSelected(true);
    rig.app.setStopTrigger(TriggerTimeOut);

    QList<QWidget *> settings;
    settings << rig.view.findChild<ZBoxTypeCfgr *>()->typeCombo()
             << rig.view.findChild<ZTriggersCfgr *>()->startCombo()
             << rig.view.findChild<ZTriggersCfgr *>()->stopCombo()
             << rig.view.findChild<ZDurationCfgr *>()->durationField();
    for (auto *editor : rig.view.findChildren<ZItvlCfgr *>())
        settings << editor->rateField();
    for (auto *editor : rig.view.findChildren<ZRngCfgr *>())
        settings << editor->rangeCombo();
    for (auto *editor : rig.view.findChildren<ZSelectedCfgr *>())
        settings << editor->checkBox();
    for (auto *editor : rig.view.findChildren<ZOutModeCfgr *>())
        settings << editor->modeCombo();
    for (auto *editor : rig.view.findChildren<ZDtyRtoCfgr *>())
        settings << editor->dutyRatioField();
    // UX-107: 4 analog inputs, 1 digital input, 1 counter, 1 analog and 2 digital outputs:
    // the overall four, 9 rates, 4 ranges, 6 selects, 3 modes, 2 duty ratios.
    QCOMPARE(settings.size(), 4 + 9 + 4 + 6 + 3 + 2);
    QList<QWidget *> values;
    for (auto *editor : rig.view.findChildren<ZValueCfgr *>())
        values << (editor->voltageField() ? static_cast<QWidget *>(editor->voltageField())
                                          : editor->statusCombo());
    QCOMPARE(values.size(), 3);

    for (QWidget *widget : settings + values)
        QVERIFY2(isEditable(widget), widget->metaObject()->className());

    QVERIFY(rig.app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(box->isSampling(), RunTimeoutMs);
    for (QWidget *widget : settings)
        QVERIFY2(!isEditable(widget), widget->metaObject()->className());
    typeInto(rig.view.findChild<ZDurationCfgr *>()->durationField(), "5");
    QCOMPARE(rig.app.duration(), 60.0);
    for (QWidget *widget : values)
        QVERIFY2(isEditable(widget), widget->metaObject()->className());

    QTRY_VERIFY_WITH_TIMEOUT(rig.box->analogOut(0).told, RunTimeoutMs);
    ZValueCfgr *analogValue = nullptr;
    for (auto *editor : rig.view.findChildren<ZValueCfgr *>())
        if (editor->voltageField())
            analogValue = editor;
    typeInto(analogValue->voltageField(), "2");
    QTRY_COMPARE_WITH_TIMEOUT(rig.box->analogOut(0).dacCode, box->analogOuts()[0]->dacCode(),
                              RunTimeoutMs);
    QVERIFY(rig.box->analogOut(0).dacCode > 0);
    for (auto *editor : rig.view.findChildren<ZValueCfgr *>())
        if (editor->subject() == box->digitOuts()[1])
            editor->statusCombo()->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.box->digitOut(1).status, 1, RunTimeoutMs);

    QVERIFY(rig.app.requestStop());
    QVERIFY(!rig.app.isSampling());
    for (QWidget *widget : settings + values)
        QVERIFY2(isEditable(widget), widget->metaObject()->className());
}

namespace {

// Selects the inputs a row names and sets their rate in samples per second.
void selectInputs(ZRealBox *box, const QString &which, double rate)
{
    const auto pick = [rate](const auto &channels, int count) {
        for (int i = 0; i < count && i < int(channels.size()); ++i) {
            channels[i]->setSelected(true);
            channels[i]->setInterval(channels[i]->intervalRate(rate));
        }
    };
    if (which == "first analog")
        pick(box->analogIns(), 1);
    if (which == "all analog" || which == "all")
        pick(box->analogIns(), 64);
    if (which == "all") {
        pick(box->digitIns(), 64);
        pick(box->edgeCnts(), 64);
    }
}

} // namespace

void TestAppObserver::lineLoad_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("warning");

    // 115200 baud carry 11520 bytes/s, 19200 baud 1920. A record is the 3-byte request
    // and its answer: 5 bytes, 4 per selected analog input, 2 per digital input, 5 per
    // selected counter. Unselected, digital input 0 paces at 1 record/s.
    QTest::newRow("nothing selected") << 10 << "none" << 1.0 << "Line: 0.02 of 11.5 kB/s" << false;
    QTest::newRow("21 channels at 1000/s")
        << 10 << "all" << 1000.0 << "Line: 84.0 of 11.5 kB/s, about 137 records/s" << true;
    QTest::newRow("21 channels at 100/s")
        << 10 << "all" << 100.0 << "Line: 8.4 of 11.5 kB/s" << false;
    QTest::newRow("slow line, one input")
        << 3 << "first analog" << 100.0 << "Line: 1.4 of 1.9 kB/s" << false;
    QTest::newRow("slow line, three inputs")
        << 3 << "all analog" << 100.0 << "Line: 2.2 of 1.9 kB/s, about 87 records/s" << true;
}

void TestAppObserver::lineLoad()
{
    QFETCH(int, type);
    QFETCH(QString, inputs);
    QFETCH(double, rate);
    QFETCH(QString, text);
    QFETCH(bool, warning);

    Rig rig;
    rig.app.setBoxType(type);
    ZLineLoadDspr line;
    line.attach(&rig.app);
    const QColor normal = line.palette().color(QPalette::WindowText);
    // Every selection and rate change shows at once.
    selectInputs(rig.app.activeBox(), inputs, rate);
    QCOMPARE(line.text(), text);
    QCOMPARE(line.showsWarning(), warning);
    QCOMPARE(line.palette().color(QPalette::WindowText) != normal, warning);
    QVERIFY(!line.isHidden());
}

void TestAppObserver::lineLoadFollowsTheBox()
{
    Rig rig;
    ZLineLoadDspr line;
    line.attach(&rig.app);
    QVERIFY(line.isHidden());
    rig.app.setBoxType(10);
    selectInputs(rig.app.activeBox(), "all", 1000.0);
    QVERIFY(line.showsWarning());
    // The new box's channels are followed, the old ones' are gone.
    rig.app.setBoxType(3);
    QCOMPARE(line.text(), QString("Line: 0.01 of 1.9 kB/s"));
    QVERIFY(!line.showsWarning());
    selectInputs(rig.app.activeBox(), "all analog", 100.0);
    QVERIFY(line.showsWarning());
    rig.app.activeBox()->analogIns()[2]->setSelected(false);
    QCOMPARE(line.text(), QString("Line: 1.8 of 1.9 kB/s"));
    QVERIFY(!line.showsWarning());
    rig.app.setBoxType(0);
    QVERIFY(line.isHidden());
}

namespace {

QStringList groupTitles(const QWidget *page)
{
    QStringList titles;
    for (const QGroupBox *group : page->findChildren<QGroupBox *>())
        titles << group->title();
    return titles;
}

// Rows of each group, in group order.
QList<int> rowsPerGroup(const QWidget *page)
{
    QList<int> rows;
    for (const QGroupBox *group : page->findChildren<QGroupBox *>())
        rows << group->findChildren<ZInChlCfgr *>().size()
                + group->findChildren<ZOutChlCfgr *>().size()
                + group->findChildren<ZInChlDspr *>().size();
    return rows;
}

} // namespace

void TestAppObserver::boxPageGroups_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QList<int>>("rows");

    // The display page has the input groups only.
    QTest::newRow("UX-100") << 1
                            << QStringList { "Analog Input Channels(2)", "Digit Input Channels(1)",
                                             "Digit Output Channels(1)" }
                            << QList<int> { 2, 1, 1 };
    QTest::newRow("UX-109") << 10
                            << QStringList { "Analog Input Channels(14)", "Digit Input Channels(5)",
                                             "Counters(2)", "Analog Output Channels(4)",
                                             "Digit Output Channels(3)" }
                            << QList<int> { 14, 5, 2, 4, 3 };
}

void TestAppObserver::boxPageGroups()
{
    QFETCH(int, type);
    QFETCH(QStringList, titles);
    QFETCH(QList<int>, rows);

    ZRealBox box(nullptr, type);
    ZBoxCfgr settings;
    QVERIFY(settings.attach(&box));
    QCOMPARE(groupTitles(&settings), titles);
    QCOMPARE(rowsPerGroup(&settings), rows);
    ZBoxDspr display;
    QVERIFY(display.attach(&box));
    const int inputGroups = type == 1 ? 2 : 3;
    QCOMPARE(groupTitles(&display), titles.mid(0, inputGroups));
    QCOMPARE(rowsPerGroup(&display), rows.mid(0, inputGroups));
}

void TestAppObserver::boxPageTabsAndOrphan()
{
    ZRealBox box(nullptr, 4);
    ZBoxObserver page;
    QVERIFY(page.attach(&box));
    QCOMPARE(page.tabs()->count(), 2);
    QCOMPARE(page.tabs()->tabText(0), QString("Settings"));
    QVERIFY(qobject_cast<ZBoxCfgr *>(page.tabs()->widget(0)));
    QCOMPARE(page.tabs()->tabText(1), QString("Display"));
    QVERIFY(qobject_cast<ZBoxDspr *>(page.tabs()->widget(1)));
    QVERIFY(page.findChildren<ZBoxInfo *>().isEmpty());

    // Deleting the box leaves an empty page behind, never a dangling one.
    auto doomed = std::make_unique<ZRealBox>(nullptr, 10);
    ZBoxObserver orphan;
    orphan.attach(doomed.get());
    doomed.reset();
    QVERIFY(!orphan.subject());
    QVERIFY(!orphan.tabs());
    QVERIFY(orphan.findChildren<ZInChlCfgr *>().isEmpty());
}

// A box with more rows than fit: the page scrolls, nothing is squeezed to fit.
void TestAppObserver::settingsPageScrolls()
{
    ZRealBox box(nullptr, 10);
    ZBoxCfgr page;
    page.attach(&box);
    page.resize(900, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(page.verticalScrollBar()->maximum() > 0);
    for (const ZInChlCfgr *row : page.findChildren<ZInChlCfgr *>())
        QVERIFY(row->height() >= row->sizeHint().height());
}

// A playback page: no settings, the project information, then only the lists it holds.
void TestAppObserver::playbackPage()
{
    ZImgyBox playback(5);
    playback.setSavedTime("2026-12-06 10:15:30");
    playback.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0)));
    playback.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 5)));
    playback.addEdgeCnt(std::make_unique<ZEdgeCnt>(componentId(EdgeCntKind, 0)));
    ZBoxObserver page;
    QVERIFY(page.attach(&playback));
    QVERIFY(!page.tabs());
    QVERIFY(page.findChildren<ZBoxCfgr *>().isEmpty());
    const auto *display = page.findChild<ZBoxDspr *>();
    QCOMPARE(groupTitles(display),
             (QStringList { "Project Information", "Analog Input Channels(2)", "Counters(1)" }));
    QCOMPARE(rowsPerGroup(display), (QList<int> { 0, 2, 1 }));

    const auto *info = page.findChild<ZBoxInfo *>();
    QCOMPARE(labelTexts(info), (QStringList { "Device Type: ", "Time of Saving: " }));
    const auto fields = info->findChildren<QLineEdit *>();
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0]->text(), QString("UX-104"));
    QCOMPARE(fields[1]->text(), QString("2026-12-06 10:15:30"));
    QVERIFY(fields[0]->isReadOnly() && fields[1]->isReadOnly());

    ZBoxCfgr settings;
    settings.attach(&playback);
    QVERIFY(settings.findChildren<QGroupBox *>().isEmpty());
    ZRealBox box(nullptr, 5);
    ZBoxInfo none;
    none.attach(&box);
    QVERIFY(none.findChildren<QLineEdit *>().isEmpty());
}

QTEST_MAIN(TestAppObserver)
#include "tst_appobserver.moc"
