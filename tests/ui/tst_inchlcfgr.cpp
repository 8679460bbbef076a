#include "model/zanalogin.h"
#include "model/zanalogout.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"
#include "ui/zinchlcfgr.h"
#include "ui/zitvlcfgr.h"
#include "ui/zrngcfgr.h"
#include "ui/zselectedcfgr.h"
#include "uitestutil.h"

#include <QCheckBox>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

std::unique_ptr<ZComponent> makeChannel(int kind, int channel)
{
    const int id = componentId(ZComponentKind(kind), channel);
    switch (kind) {
    case AnalogInKind:
        return std::make_unique<ZAnalogIn>(id);
    case DigitInKind:
        return std::make_unique<ZDigitIn>(id);
    case EdgeCntKind:
        return std::make_unique<ZEdgeCnt>(id);
    default:
        return std::make_unique<ZAnalogOut>(nullptr, id);
    }
}

} // namespace

// The settings row of an input channel and its three editors.
class TestInChlCfgr : public QObject
{
    Q_OBJECT

private slots:
    void rowLabelsAndEditors_data();
    void rowLabelsAndEditors();
    void typedRateBecomesInterval_data();
    void typedRateBecomesInterval();
    void rateFollowsTheModel();
    void rangeComboFromMask_data();
    void rangeComboFromMask();
    void maskChangeRebuildsRangeCombo();
    void selectFollowsAndSets();
    void lockedWhileSampling();
    void wrongKindBuildsNothing();
};

void TestInChlCfgr::rowLabelsAndEditors_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<bool>("hasRange");

    QTest::newRow("analog 1") << int(AnalogInKind) << 0
                              << QStringList { "<b>AICH 1</b>&nbsp;&nbsp;", "Sample Rate: ", "SPS",
                                               "Range: " }
                              << true;
    QTest::newRow("analog 10") << int(
        AnalogInKind) << 9 << QStringList { "<b>AICH 10</b>", "Sample Rate: ", "SPS", "Range: " }
                               << true;
    QTest::newRow("digital 3") << int(
        DigitInKind) << 2 << QStringList { "<b>DICH 3\t</b>&nbsp;&nbsp;", "Sample Rate: ", "SPS" }
                               << false;
    QTest::newRow("counter 2") << int(
        EdgeCntKind) << 1 << QStringList { "<b>CNTR 2\t</b>&nbsp;&nbsp;", "Refresh Rate: ", "Hz" }
                               << false;
}

void TestInChlCfgr::rowLabelsAndEditors()
{
    QFETCH(int, kind);
    QFETCH(int, channel);
    QFETCH(QStringList, labels);
    QFETCH(bool, hasRange);

    auto component = makeChannel(kind, channel);
    ZInChlCfgr row;
    QVERIFY(row.attach(component.get()));
    QCOMPARE(labelTexts(&row), labels);
    QCOMPARE(row.findChildren<ZItvlCfgr *>().size(), 1);
    QCOMPARE(row.findChildren<ZRngCfgr *>().size(), hasRange ? 1 : 0);
    const auto selects = row.findChildren<ZSelectedCfgr *>();
    QCOMPARE(selects.size(), 1);
    QCOMPARE(selects.front()->checkBox()->text(), QString("Select"));
}

void TestInChlCfgr::typedRateBecomesInterval_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("interval");
    QTest::addColumn<QString>("shown");

    // Input channels: interval in ms within 1..1e6; outputs: period in us within 1000..2^24-1.
    QTest::newRow("250 SPS") << int(AnalogInKind) << "250" << 4.0 << "250";
    QTest::newRow("above the limit") << int(AnalogInKind) << "5000" << 1.0 << "1000";
    QTest::newRow("fraction") << int(DigitInKind) << "0.5" << 2000.0 << "0.5";
    QTest::newRow("zero: slowest") << int(EdgeCntKind) << "0" << 1e6 << "0.001";
    QTest::newRow("negative: fastest") << int(AnalogInKind) << "-3" << 1.0 << "1000";
    QTest::newRow("not a number") << int(AnalogInKind) << "fast" << 1000.0 << "1";
    QTest::newRow("nan") << int(AnalogInKind) << "nan" << 1000.0 << "1";
    QTest::newRow("unchanged") << int(AnalogInKind) << "1.0000000001" << 1000.0 << "1";
    QTest::newRow("1000 Hz out") << int(AnalogOutKind) << "1000" << 1000.0 << "1000";
    QTest::newRow("5000 Hz out") << int(AnalogOutKind) << "5000" << 1000.0 << "1000";
}

void TestInChlCfgr::typedRateBecomesInterval()
{
    QFETCH(int, kind);
    QFETCH(QString, typed);
    QFETCH(double, interval);
    QFETCH(QString, shown);

    auto component = makeChannel(kind, 0);
    if (auto *output = dynamic_cast<ZOutChannel *>(component.get()))
        output->setOutMode(OutSine);
    ZItvlCfgr editor;
    QVERIFY(editor.attach(component.get()));
    typeInto(editor.rateField(), typed);
    QCOMPARE(component->interval(), interval);
    QCOMPARE(editor.rateField()->text(), shown);
}

void TestInChlCfgr::rateFollowsTheModel()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    ZItvlCfgr editor;
    editor.attach(&channel);
    QCOMPARE(editor.rateField()->text(), QString("1"));
    // As a settings file or the box's limits would change it.
    channel.setInterval(3.0);
    QCOMPARE(editor.rateField()->text(), QString("333.333"));
    // Passing through the field leaves the interval alone, not 1000 / 333.333 ms.
    passThrough(editor.rateField());
    QCOMPARE(channel.interval(), 3.0);
    channel.setMinInterval(10.0);
    QCOMPARE(editor.rateField()->text(), QString("100"));
    // Above the new limit: the field falls back to the limit.
    typeInto(editor.rateField(), "250");
    QCOMPARE(channel.interval(), 10.0);
    QCOMPARE(editor.rateField()->text(), QString("100"));
}

void TestInChlCfgr::rangeComboFromMask_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("range");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("enabled");

    const QStringList all { "-1.25V~+1.25V", "-2.5V~+2.5V", "-5V~+5V", "-10V~+10V" };
    QTest::newRow("all, 1.25 V") << 15 << 8 << all << 0 << true;
    QTest::newRow("all, 10 V") << 15 << 1 << all << 3 << true;
    QTest::newRow("all, 5 V") << 15 << 2 << all << 2 << true;
    QTest::newRow("10 V only") << 1 << 1 << QStringList { "-10V~+10V" } << 0 << false;
    QTest::newRow("1.25 V only") << 8 << 8 << QStringList { "-1.25V~+1.25V" } << 0 << false;
    QTest::newRow("5 and 2.5 V") << 6 << 2 << QStringList { "-2.5V~+2.5V", "-5V~+5V" } << 1 << true;
}

void TestInChlCfgr::rangeComboFromMask()
{
    QFETCH(int, mask);
    QFETCH(int, range);
    QFETCH(QStringList, texts);
    QFETCH(int, index);
    QFETCH(bool, enabled);

    ZAnalogIn channel(componentId(AnalogInKind, 0));
    channel.setRangeMask(quint8(mask));
    channel.setRange(range);
    ZRngCfgr editor;
    QVERIFY(editor.attach(&channel));
    QCOMPARE(comboTexts(editor.rangeCombo()), texts);
    QCOMPARE(editor.rangeCombo()->currentIndex(), index);
    QCOMPARE(editor.rangeCombo()->isEnabled(), enabled);
    // A run that ends leaves a single range locked.
    channel.setSampling(true);
    QVERIFY(!editor.rangeCombo()->isEnabled());
    channel.setSampling(false);
    QCOMPARE(editor.rangeCombo()->isEnabled(), enabled);
}

void TestInChlCfgr::maskChangeRebuildsRangeCombo()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    ZRngCfgr editor;
    editor.attach(&channel);
    editor.rangeCombo()->setCurrentIndex(2);
    QCOMPARE(channel.range(), int(Range5V));

    channel.setRangeMask(Range5V | Range10V);
    QCOMPARE(comboTexts(editor.rangeCombo()), (QStringList { "-5V~+5V", "-10V~+10V" }));
    QCOMPARE(editor.rangeCombo()->currentIndex(), 0);
    // The new combo still follows and sets the range.
    channel.setRange(Range10V);
    QCOMPARE(editor.rangeCombo()->currentIndex(), 1);
    editor.rangeCombo()->setCurrentIndex(0);
    QCOMPARE(channel.range(), int(Range5V));

    // Down to one range: the range moves with the mask, the combo offers no choice.
    channel.setRangeMask(Range10V);
    QCOMPARE(channel.range(), int(Range10V));
    QCOMPARE(comboTexts(editor.rangeCombo()), QStringList { "-10V~+10V" });
    QVERIFY(!editor.rangeCombo()->isEnabled());
    QCOMPARE(editor.findChildren<QComboBox *>().size(), 1);
}

void TestInChlCfgr::selectFollowsAndSets()
{
    ZDigitIn channel(componentId(DigitInKind, 0));
    ZSelectedCfgr editor;
    editor.attach(&channel);
    QVERIFY(!editor.checkBox()->isChecked());
    editor.checkBox()->setChecked(true);
    QVERIFY(channel.isSelected());
    channel.setSelected(false);
    QVERIFY(!editor.checkBox()->isChecked());
}

void TestInChlCfgr::lockedWhileSampling()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    ZInChlCfgr row;
    row.attach(&channel);
    const QLineEdit *rate = row.findChild<ZItvlCfgr *>()->rateField();
    const QComboBox *range = row.findChild<ZRngCfgr *>()->rangeCombo();
    const QCheckBox *select = row.findChild<ZSelectedCfgr *>()->checkBox();

    channel.setSampling(true);
    QVERIFY(!isEditable(rate));
    QVERIFY(!isEditable(range));
    QVERIFY(!isEditable(select));
    typeInto(row.findChild<ZItvlCfgr *>()->rateField(), "250");
    QCOMPARE(channel.interval(), 1000.0);
    QCOMPARE(rate->text(), QString("1"));
    channel.setSampling(false);
    QVERIFY(isEditable(rate));
    QVERIFY(isEditable(range));
    QVERIFY(isEditable(select));

    // Built during a run, the editors start locked.
    channel.setSampling(true);
    ZInChlCfgr lateRow;
    lateRow.attach(&channel);
    QVERIFY(!isEditable(lateRow.findChild<ZItvlCfgr *>()->rateField()));
    QVERIFY(!isEditable(lateRow.findChild<ZRngCfgr *>()->rangeCombo()));
    QVERIFY(!isEditable(lateRow.findChild<ZSelectedCfgr *>()->checkBox()));
}

void TestInChlCfgr::wrongKindBuildsNothing()
{
    ZAnalogOut output(nullptr, componentId(AnalogOutKind, 0));
    ZDigitIn digital(componentId(DigitInKind, 0));
    ZInChlCfgr row;
    row.attach(&output);
    QVERIFY(row.findChildren<QWidget *>().isEmpty());
    ZRngCfgr range;
    range.attach(&digital);
    QVERIFY(!range.rangeCombo());
    ZSelectedCfgr select;
    select.attach(&output);
    QVERIFY(!select.checkBox());
    // A change of the channel reaches no editor that was never built.
    digital.setSelected(true);
    output.setInterval(5000.0);
}

QTEST_MAIN(TestInChlCfgr)
#include "tst_inchlcfgr.moc"
