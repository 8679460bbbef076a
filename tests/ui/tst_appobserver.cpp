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
#include "ui/zdurationcfgr.h"
#include "ui/zinchlcfgr.h"
#include "ui/zinchldspr.h"
#include "ui/zlineloaddspr.h"
#include "ui/zoutchlcfgr.h"
#include "ui/ztriggerscfgr.h"
#include "ui/zvaluecfgr.h"
#include "uitestutil.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Loose bound: runs share the machine with other work.
constexpr int RunTimeoutMs = 15000;

// The application model on a simulated box of the type it is given first, and the
// navigation area, unattached.
struct Rig
{
    explicit Rig(int simulatedType = 8)
        : box(std::make_shared<ZSimulatedBox>(simulatedType))
        , app(std::make_unique<ZAppObservable>(
              [this](int) { return std::make_unique<ZSimulatedBridge>(box); }))
    { }

    // The tree on one line: each box item with the type of the box on the page of the
    // same index, "*" on the current item, then the current page and the page count.
    QString shape() const
    {
        const QTreeWidgetItem *root = view.tree()->topLevelItem(0);
        const auto mark = [this](const QTreeWidgetItem *item) {
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

    ZImgyBox *addPlayback(int boxType)
    {
        auto *playback = new ZImgyBox(boxType);
        app->addBox(playback);
        return playback;
    }

    std::shared_ptr<ZSimulatedBox> box;
    std::unique_ptr<ZAppObservable> app;
    ZAppObserver view;
};

// Each group of a page as "title:rows".
QStringList groups(const QWidget *page)
{
    QStringList result;
    for (const QGroupBox *group : page->findChildren<QGroupBox *>())
        result << QStringLiteral("%1:%2")
                      .arg(group->title())
                      .arg(group->findChildren<ZInChlCfgr *>().size()
                           + group->findChildren<ZOutChlCfgr *>().size()
                           + group->findChildren<ZInChlDspr *>().size());
    return result;
}

// The fields, combos and check boxes a user could change on the settings below `parent`.
QList<QWidget *> inputs(const QWidget *parent)
{
    QList<QWidget *> widgets;
    for (QWidget *widget : parent->findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(widget) || qobject_cast<QComboBox *>(widget)
            || qobject_cast<QCheckBox *>(widget))
            widgets << widget;
    return widgets;
}

} // namespace

// The navigation area and the overall settings.
class TestAppObserver : public QObject
{
    Q_OBJECT

private slots:
    void treeAndSettingsFollowTheModel();
    void lockedDuringARunWithValuesLive();
    void lineLoad();
    void boxPages();
};

// Built on a model that already holds boxes and settings, the area shows them; every
// later change shows too, and what a user picks reaches the model.
void TestAppObserver::treeAndSettingsFollowTheModel()
{
    Rig rig;
    rig.app->setBoxType(3);
    rig.addPlayback(4);
    rig.app->setStopTrigger(TriggerTimeOut);
    rig.app->setDuration(12.5);
    QVERIFY(rig.view.attach(rig.app.get()));
    QCOMPARE(rig.shape(), QStringLiteral("Quoravi[Active Device:3*, Playback 1:4] page 0/2"));
    QVERIFY(rig.view.tree()->topLevelItem(0)->isExpanded());
    QComboBox *type = rig.view.findChild<ZBoxTypeCfgr *>()->typeCombo();
    QComboBox *start = rig.view.findChild<ZTriggersCfgr *>()->startCombo();
    QComboBox *stop = rig.view.findChild<ZTriggersCfgr *>()->stopCombo();
    const auto *duration = rig.view.findChild<ZDurationCfgr *>();
    QLineEdit *seconds = duration->durationField();
    QCOMPARE(type->currentIndex(), 3);
    QCOMPARE(stop->currentIndex(), 3);
    QCOMPARE(seconds->text(), QString("12.5"));
    QCOMPARE(comboTexts(type).mid(0, 2), (QStringList { "Choose One", "UX-100" }));
    QCOMPARE(comboTexts(start), (QStringList { "Manual", "Raising Edge", "Failing Edge" }));
    QCOMPARE(comboTexts(stop),
             (QStringList { "Manual", "Raising Edge", "Failing Edge", "Time Out" }));

    // As the settings store applies a loaded file; passing through the field keeps the
    // duration in force, not its rounded form. A refused one shows the one in force.
    rig.app->setDuration(1.23456);
    QCOMPARE(seconds->text(), QString("1.235"));
    passThrough(seconds);
    QCOMPARE(rig.app->duration(), 1.23456);
    const char *const rows[][2]
        = { { "2.34567", "2.346" }, { "90", "90" },    { "0.0005", "0.001" },
            { "long", "0.001" },    { "-5", "0.001" }, { "60.0001", "60" } };
    for (const auto &[typed, shown] : rows) {
        typeInto(seconds, typed);
        QVERIFY2(rig.app->duration() == QString(shown).toDouble(), typed);
        QVERIFY2(seconds->text() == shown, typed);
    }
    start->setCurrentIndex(2);
    stop->setCurrentIndex(1);
    QCOMPARE(rig.app->startTrigger(), 2);
    QCOMPARE(rig.app->stopTrigger(), 1);
    rig.app->setStartTrigger(1);
    QCOMPARE(start->currentIndex(), 1);
    // The duration shows only for a stop by time, also when built with the trigger set.
    for (int trigger : { TriggerTimeOut, TriggerManual, TriggerFalling, TriggerTimeOut }) {
        rig.app->setStopTrigger(trigger);
        QCOMPARE(stop->currentIndex(), trigger);
        QCOMPARE(!duration->isHidden(), trigger == TriggerTimeOut);
        ZDurationCfgr late;
        late.attach(rig.app.get());
        QCOMPARE(!late.isHidden(), trigger == TriggerTimeOut);
    }

    type->setCurrentIndex(10);
    QCOMPARE(rig.app->boxType(), 10);
    QCOMPARE(rig.shape(), QStringLiteral("Quoravi[Active Device:10*, Playback 1:4] page 0/2"));
    ZImgyBox *last = rig.addPlayback(3);
    QCOMPARE(rig.shape(),
             QStringLiteral("Quoravi[Active Device:10, Playback 1:4, Playback 2:3*] page 2/3"));
    // The user picks an item; the root shows the first page.
    QTreeWidgetItem *root = rig.view.tree()->topLevelItem(0);
    rig.view.tree()->setCurrentItem(root->child(1));
    QCOMPARE(rig.view.pages()->currentIndex(), 1);
    rig.view.tree()->setCurrentItem(root);
    QCOMPARE(rig.view.pages()->currentIndex(), 0);
    // Removing one renumbers the rest and selects the first box.
    rig.app->removeBox(rig.app->boxes()[1]);
    QCOMPARE(rig.shape(), QStringLiteral("Quoravi[Active Device:10*, Playback 1:3] page 0/2"));
    // Without a device, playback boxes are numbered from the front of the list.
    type->setCurrentIndex(0);
    QCOMPARE(rig.shape(), QStringLiteral("Quoravi[Playback 1:3*] page 0/1"));
    rig.app->removeBox(last);
    QCOMPARE(rig.shape(), QStringLiteral("Quoravi*[] page -1/0"));

    rig.view.detach(rig.app.get());
    QVERIFY(!rig.view.tree());
    QVERIFY(rig.view.findChildren<QWidget *>().isEmpty());
    // The window deletes its children in creation order: the model before the view.
    rig.addPlayback(2);
    rig.view.attach(rig.app.get());
    rig.app.reset();
    QVERIFY(!rig.view.subject() && !rig.view.tree());
    QVERIFY(rig.view.findChildren<QWidget *>().isEmpty());
}

// During a run every setting is locked except the output values, which still reach the
// box; after the run everything is free again.
void TestAppObserver::lockedDuringARunWithValuesLive()
{
    Rig rig(8);
    rig.view.resize(1000, 700);
    rig.view.attach(rig.app.get());
    rig.app->setBoxType(8);
    ZRealBox *box = rig.app->activeBox();
    box->analogIns()[0]->setSelected(true);
    rig.app->setStopTrigger(TriggerTimeOut);

    // UX-107: the overall four, 9 rates, 4 ranges, 6 selects, 3 modes, 2 duty ratios, and
    // the three output values.
    const QList<QWidget *> settings
        = inputs(rig.view.findChild<ZAppCfgr *>()) + inputs(rig.view.findChild<ZBoxCfgr *>());
    QCOMPARE(settings.size(), 4 + 9 + 4 + 6 + 3 + 2 + 3);
    QList<QWidget *> values;
    for (auto *editor : rig.view.findChildren<ZValueCfgr *>())
        values << inputs(editor);
    QCOMPARE(values.size(), 3);
    for (QWidget *widget : settings)
        QVERIFY2(isEditable(widget), widget->metaObject()->className());

    QVERIFY(rig.app->connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(box->isSampling(), RunTimeoutMs);
    for (QWidget *widget : settings)
        QVERIFY2(isEditable(widget) == values.contains(widget), widget->metaObject()->className());
    typeInto(rig.view.findChild<ZDurationCfgr *>()->durationField(), "5");
    QCOMPARE(rig.app->duration(), 60.0);

    QTRY_VERIFY_WITH_TIMEOUT(rig.box->analogOut(0).told, RunTimeoutMs);
    typeInto(qobject_cast<QLineEdit *>(values[0]), "2");
    QTRY_COMPARE_WITH_TIMEOUT(rig.box->analogOut(0).dacCode, box->analogOuts()[0]->dacCode(),
                              RunTimeoutMs);
    QVERIFY(rig.box->analogOut(0).dacCode > 0);
    qobject_cast<QComboBox *>(values[2])->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.box->digitOut(1).status, 1, RunTimeoutMs);

    QVERIFY(rig.app->requestStop());
    QVERIFY(!rig.app->isSampling());
    for (QWidget *widget : settings)
        QVERIFY2(isEditable(widget), widget->metaObject()->className());
}

// Every selection, rate and box change shows at once. 115200 baud carry 11520 bytes/s,
// 19200 baud 1920. A record is the 3-byte request and its answer: 5 bytes, 4 per selected
// analog input, 2 per digital input, 5 per selected counter. Unselected, digital input 0
// paces at 1 record/s. Over the line's capacity the text names the records reachable.
void TestAppObserver::lineLoad()
{
    Rig rig;
    ZLineLoadDspr line;
    line.attach(rig.app.get());
    QVERIFY(line.isHidden());
    const QColor normal = line.palette().color(QPalette::WindowText);
    // Selects the first `count` channels of a list at `rate` samples per second.
    const auto pick = [](const auto &channels, std::size_t count, double rate) {
        for (std::size_t i = 0; i < std::min(count, channels.size()); ++i) {
            channels[i]->setSelected(true);
            channels[i]->setInterval(channels[i]->intervalRate(rate));
        }
    };
    const struct
    {
        int type;
        std::size_t analogs;
        std::size_t others; // digital inputs and counters
        double rate;
        QString text;
    } rows[] = {
        { 10, 0, 0, 1.0, "Line: 0.02 of 11.5 kB/s" },
        { 10, 64, 64, 1000.0, "Line: 84.0 of 11.5 kB/s, about 137 records/s" },
        { 10, 64, 64, 100.0, "Line: 8.4 of 11.5 kB/s" },
        { 3, 0, 0, 1.0, "Line: 0.01 of 1.9 kB/s" }, // the old box's channels are gone
        { 3, 1, 0, 100.0, "Line: 1.4 of 1.9 kB/s" },
        { 3, 64, 0, 100.0, "Line: 2.2 of 1.9 kB/s, about 87 records/s" },
    };
    for (const auto &row : rows) {
        rig.app->setBoxType(row.type);
        ZRealBox *box = rig.app->activeBox();
        pick(box->analogIns(), row.analogs, row.rate);
        pick(box->digitIns(), row.others, row.rate);
        pick(box->edgeCnts(), row.others, row.rate);
        QCOMPARE(line.text(), row.text);
        const bool warning = row.text.contains(QLatin1String("records"));
        QCOMPARE(line.showsWarning(), warning);
        QCOMPARE(line.palette().color(QPalette::WindowText) != normal, warning);
        QVERIFY(!line.isHidden());
    }
    rig.app->activeBox()->analogIns()[2]->setSelected(false);
    QCOMPARE(line.text(), QString("Line: 1.8 of 1.9 kB/s"));
    QVERIFY(!line.showsWarning());
    rig.app->setBoxType(0);
    QVERIFY(line.isHidden());
}

// A live box: settings and display tabs, the display with the input groups only. A
// playback box: the project information and the lists it holds. Empty lists, no group.
void TestAppObserver::boxPages()
{
    const QStringList ux109 { "Analog Input Channels(14):14", "Digit Input Channels(5):5",
                              "Counters(2):2", "Analog Output Channels(4):4",
                              "Digit Output Channels(3):3" };
    const QStringList ux100 { "Analog Input Channels(2):2", "Digit Input Channels(1):1",
                              "Digit Output Channels(1):1" };
    for (const auto &[type, titles] : { std::make_pair(10, ux109), std::make_pair(1, ux100) }) {
        ZRealBox box(nullptr, type);
        ZBoxObserver page;
        QVERIFY(page.attach(&box));
        QCOMPARE(page.tabs()->count(), 2);
        QCOMPARE(page.tabs()->tabText(1), QString("Display"));
        QCOMPARE(groups(qobject_cast<ZBoxCfgr *>(page.tabs()->widget(0))), titles);
        QCOMPARE(groups(qobject_cast<ZBoxDspr *>(page.tabs()->widget(1))),
                 titles.mid(0, type == 1 ? 2 : 3));
        QVERIFY(page.findChildren<ZBoxInfo *>().isEmpty());
    }

    // More rows than fit: the page scrolls, nothing is squeezed to fit.
    auto doomed = std::make_unique<ZRealBox>(nullptr, 10);
    ZBoxCfgr scrolled;
    scrolled.attach(doomed.get());
    scrolled.resize(900, 300);
    scrolled.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scrolled));
    QVERIFY(scrolled.verticalScrollBar()->maximum() > 0);
    for (const ZInChlCfgr *row : scrolled.findChildren<ZInChlCfgr *>())
        QVERIFY(row->height() >= row->sizeHint().height());
    // Deleting the box leaves an empty page behind, never a dangling one.
    ZBoxObserver orphan;
    orphan.attach(doomed.get());
    doomed.reset();
    QVERIFY(!orphan.subject() && !orphan.tabs());
    QVERIFY(orphan.findChildren<ZInChlCfgr *>().isEmpty());

    ZImgyBox playback(5);
    playback.setSavedTime("2026-12-06 10:15:30");
    playback.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0)));
    playback.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 5)));
    playback.addEdgeCnt(std::make_unique<ZEdgeCnt>(componentId(EdgeCntKind, 0)));
    ZBoxObserver page;
    QVERIFY(page.attach(&playback));
    QVERIFY(!page.tabs() && page.findChildren<ZBoxCfgr *>().isEmpty());
    QCOMPARE(
        groups(page.findChild<ZBoxDspr *>()),
        (QStringList { "Project Information:0", "Analog Input Channels(2):2", "Counters(1):1" }));
    const auto *info = page.findChild<ZBoxInfo *>();
    QCOMPARE(labelTexts(info), (QStringList { "Device Type: ", "Time of Saving: " }));
    QStringList shown;
    for (const QLineEdit *field : info->findChildren<QLineEdit *>())
        shown << field->text() + (isEditable(field) ? " (editable)" : "");
    QCOMPARE(shown, (QStringList { "UX-104", "2026-12-06 10:15:30" }));
    ZBoxCfgr settings;
    settings.attach(&playback);
    QVERIFY(settings.findChildren<QGroupBox *>().isEmpty());
}

QTEST_MAIN(TestAppObserver)
#include "tst_appobserver.moc"
