#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"
#include "ui/zboxcfgr.h"
#include "ui/zboxdspr.h"
#include "ui/zboxinfo.h"
#include "ui/zboxobserver.h"
#include "ui/zinchlcfgr.h"
#include "ui/zinchldspr.h"
#include "ui/zoutchlcfgr.h"
#include "uitestutil.h"

#include <QGroupBox>
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

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

// The pages of a box: settings rows grouped by channel kind, the playback head.
class TestBoxPages : public QObject
{
    Q_OBJECT

private slots:
    void settingsGroups_data();
    void settingsGroups();
    void displayGroups_data();
    void displayGroups();
    void realBoxPageHasTabs();
    void settingsPageScrolls();
    void playbackPage();
    void playbackHasNoSettings();
    void projectInformation();
};

void TestBoxPages::settingsGroups_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QList<int>>("rows");

    QTest::newRow("UX-100") << 1
                            << QStringList { "Analog Input Channels(2)", "Digit Input Channels(1)",
                                             "Digit Output Channels(1)" }
                            << QList<int> { 2, 1, 1 };
    QTest::newRow("UX-107") << 8
                            << QStringList { "Analog Input Channels(4)", "Digit Input Channels(1)",
                                             "Counters(1)", "Analog Output Channels(1)",
                                             "Digit Output Channels(2)" }
                            << QList<int> { 4, 1, 1, 1, 2 };
    QTest::newRow("UX-109") << 10
                            << QStringList { "Analog Input Channels(14)", "Digit Input Channels(5)",
                                             "Counters(2)", "Analog Output Channels(4)",
                                             "Digit Output Channels(3)" }
                            << QList<int> { 14, 5, 2, 4, 3 };
}

void TestBoxPages::settingsGroups()
{
    QFETCH(int, type);
    QFETCH(QStringList, titles);
    QFETCH(QList<int>, rows);

    ZRealBox box(nullptr, type);
    ZBoxCfgr page;
    QVERIFY(page.attach(&box));
    QCOMPARE(groupTitles(&page), titles);
    QCOMPARE(rowsPerGroup(&page), rows);
}

void TestBoxPages::displayGroups_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QList<int>>("rows");

    // Outputs have no display.
    QTest::newRow("UX-100") << 1
                            << QStringList { "Analog Input Channels(2)", "Digit Input Channels(1)" }
                            << QList<int> { 2, 1 };
    QTest::newRow("UX-109") << 10
                            << QStringList { "Analog Input Channels(14)", "Digit Input Channels(5)",
                                             "Counters(2)" }
                            << QList<int> { 14, 5, 2 };
}

void TestBoxPages::displayGroups()
{
    QFETCH(int, type);
    QFETCH(QStringList, titles);
    QFETCH(QList<int>, rows);

    ZRealBox box(nullptr, type);
    ZBoxDspr page;
    QVERIFY(page.attach(&box));
    QCOMPARE(groupTitles(&page), titles);
    QCOMPARE(rowsPerGroup(&page), rows);
}

void TestBoxPages::realBoxPageHasTabs()
{
    ZRealBox box(nullptr, 4);
    ZBoxObserver page;
    QVERIFY(page.attach(&box));
    QVERIFY(page.tabs());
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

void TestBoxPages::settingsPageScrolls()
{
    ZRealBox box(nullptr, 10);
    ZBoxCfgr page;
    page.attach(&box);
    page.resize(900, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QVERIFY(page.widgetResizable());
    QVERIFY(page.verticalScrollBar()->maximum() > 0);
    // Every row keeps its natural height: nothing is squeezed to fit.
    for (const ZInChlCfgr *row : page.findChildren<ZInChlCfgr *>())
        QVERIFY(row->height() >= row->sizeHint().height());
}

void TestBoxPages::playbackPage()
{
    ZImgyBox playback(9);
    playback.setSavedTime("Sun Dec 6 10:15:30 2026");
    playback.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 0)));
    playback.addAnalogIn(std::make_unique<ZAnalogIn>(componentId(AnalogInKind, 5)));
    playback.addEdgeCnt(std::make_unique<ZEdgeCnt>(componentId(EdgeCntKind, 0)));
    ZBoxObserver page;
    QVERIFY(page.attach(&playback));
    QVERIFY(!page.tabs());
    QVERIFY(page.findChildren<ZBoxCfgr *>().isEmpty());
    const auto *display = page.findChild<ZBoxDspr *>();
    QVERIFY(display);
    // The information first, then only the lists the project holds.
    QCOMPARE(groupTitles(display),
             (QStringList { "Project Information", "Analog Input Channels(2)", "Counters(1)" }));
    QCOMPARE(rowsPerGroup(display), (QList<int> { 0, 2, 1 }));
}

void TestBoxPages::playbackHasNoSettings()
{
    ZImgyBox playback(2);
    ZBoxCfgr settings;
    settings.attach(&playback);
    QVERIFY(settings.findChildren<QGroupBox *>().isEmpty());
}

void TestBoxPages::projectInformation()
{
    ZImgyBox playback(5);
    playback.setSavedTime("2026-12-06 10:15:30");
    ZBoxInfo info;
    QVERIFY(info.attach(&playback));
    QCOMPARE(info.title(), QString("Project Information"));
    QCOMPARE(labelTexts(&info), (QStringList { "Device Type: ", "Time of Saving: " }));
    const auto fields = info.findChildren<QLineEdit *>();
    QCOMPARE(fields.size(), 2);
    QCOMPARE(fields[0]->text(), QString("UX-104"));
    QCOMPARE(fields[1]->text(), QString("2026-12-06 10:15:30"));
    for (const QLineEdit *field : fields)
        QVERIFY(field->isReadOnly());

    // The device box has no project information.
    ZRealBox box(nullptr, 5);
    ZBoxInfo none;
    none.attach(&box);
    QVERIFY(none.findChildren<QLineEdit *>().isEmpty());
}

QTEST_MAIN(TestBoxPages)
#include "tst_boxpages.moc"
