#include "ui/zdtyrtocfgr.h"
#include "ui/zinchlcfgr.h"
#include "ui/zitvlcfgr.h"
#include "ui/zoutchlcfgr.h"
#include "ui/zoutmodecfgr.h"
#include "ui/zrngcfgr.h"
#include "ui/zselectedcfgr.h"
#include "ui/zvaluecfgr.h"
#include "uitestutil.h"

#include <QCheckBox>
#include <QtTest>

namespace {

QString modeText(int kind, int mode)
{
    switch (mode) {
    case OutValue:
        return kind == AnalogOutKind ? "Voltage Value" : "Status Value";
    case OutPwm:
        return "PWM Wave";
    case OutSine:
        return "Sine Wave";
    case OutTriangle:
        return "Triangle Wave";
    default:
        return "Sawtooth Wave";
    }
}

} // namespace

// The settings rows of input and output channels and their editors.
class TestChlCfgr : public QObject
{
    Q_OBJECT

private slots:
    void inputRowLabels_data();
    void inputRowLabels();
    void typedRateBecomesInterval_data();
    void typedRateBecomesInterval();
    void rateFollowsTheModel();
    void rangeComboFromMask_data();
    void rangeComboFromMask();
    void maskChangeRebuildsRangeCombo();
    void rowsBuiltDuringARunStartLocked();
    void wrongKindBuildsNothing();
    void outputEditorsFollowTheMode_data();
    void outputEditorsFollowTheMode();
    void modeComboFromMask_data();
    void modeComboFromMask();
    void dutyRatioTyped_data();
    void dutyRatioTyped();
    void voltageTyped_data();
    void voltageTyped();
    void outputValuesFollowTheModel();
};

void TestChlCfgr::inputRowLabels_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<bool>("hasRange");

    const QString sps = "Sample Rate: ";
    QTest::newRow("analog 1") << int(AnalogInKind) << 0
                              << QStringList { "<b>AICH 1</b>&nbsp;&nbsp;", sps, "SPS", "Range: " }
                              << true;
    QTest::newRow("analog 10") << int(AnalogInKind) << 9
                               << QStringList { "<b>AICH 10</b>", sps, "SPS", "Range: " } << true;
    QTest::newRow("digital 3") << int(DigitInKind) << 2
                               << QStringList { "<b>DICH 3\t</b>&nbsp;&nbsp;", sps, "SPS" }
                               << false;
    QTest::newRow("counter 2") << int(
        EdgeCntKind) << 1 << QStringList { "<b>CNTR 2\t</b>&nbsp;&nbsp;", "Refresh Rate: ", "Hz" }
                               << false;
}

void TestChlCfgr::inputRowLabels()
{
    QFETCH(int, kind);
    QFETCH(int, channel);
    QFETCH(QStringList, labels);
    QFETCH(bool, hasRange);

    auto component = makeChannel(kind, channel);
    ZInChlCfgr row;
    QVERIFY(row.attach(component.get()));
    QCOMPARE(labelTexts(&row), labels);
    QCOMPARE(row.findChildren<ZRngCfgr *>().size(), hasRange ? 1 : 0);
    QCOMPARE(row.findChild<ZSelectedCfgr *>()->checkBox()->text(), QString("Select"));
}

void TestChlCfgr::typedRateBecomesInterval_data()
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

void TestChlCfgr::typedRateBecomesInterval()
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

void TestChlCfgr::rateFollowsTheModel()
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

void TestChlCfgr::rangeComboFromMask_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("range");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("index");

    const QStringList all { "-1.25V~+1.25V", "-2.5V~+2.5V", "-5V~+5V", "-10V~+10V" };
    QTest::newRow("all, 10 V") << 15 << 1 << all << 3;
    QTest::newRow("all, 5 V") << 15 << 2 << all << 2;
    QTest::newRow("1.25 V only") << 8 << 8 << QStringList { "-1.25V~+1.25V" } << 0;
    QTest::newRow("5 and 2.5 V") << 6 << 2 << QStringList { "-2.5V~+2.5V", "-5V~+5V" } << 1;
}

void TestChlCfgr::rangeComboFromMask()
{
    QFETCH(int, mask);
    QFETCH(int, range);
    QFETCH(QStringList, texts);
    QFETCH(int, index);

    ZAnalogIn channel(componentId(AnalogInKind, 0));
    channel.setRangeMask(quint8(mask));
    channel.setRange(range);
    ZRngCfgr editor;
    QVERIFY(editor.attach(&channel));
    QCOMPARE(comboTexts(editor.rangeCombo()), texts);
    QCOMPARE(editor.rangeCombo()->currentIndex(), index);
    // A single range offers no choice, and a run that ends leaves it locked.
    const bool choice = texts.size() > 1;
    QCOMPARE(editor.rangeCombo()->isEnabled(), choice);
    channel.setSampling(true);
    QVERIFY(!editor.rangeCombo()->isEnabled());
    channel.setSampling(false);
    QCOMPARE(editor.rangeCombo()->isEnabled(), choice);
}

void TestChlCfgr::maskChangeRebuildsRangeCombo()
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

// The rows of a running box lock and unlock with it (see the app observer test); a row
// built during the run must start locked but for the output value, and a Select box must
// follow the model.
void TestChlCfgr::rowsBuiltDuringARunStartLocked()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    channel.setSampling(true);
    ZInChlCfgr row;
    row.attach(&channel);
    QLineEdit *rate = row.findChild<ZItvlCfgr *>()->rateField();
    QCheckBox *select = row.findChild<ZSelectedCfgr *>()->checkBox();
    QVERIFY(!isEditable(rate));
    QVERIFY(!isEditable(row.findChild<ZRngCfgr *>()->rangeCombo()));
    QVERIFY(!isEditable(select));
    typeInto(rate, "250");
    QCOMPARE(channel.interval(), 1000.0);

    ZDigitOut output(nullptr, componentId(DigitOutKind, 0));
    output.setOutMode(OutPwm);
    output.setSampling(true);
    ZOutChlCfgr outputRow;
    outputRow.attach(&output);
    QVERIFY(!isEditable(outputRow.findChild<ZOutModeCfgr *>()->modeCombo()));
    QVERIFY(!isEditable(outputRow.findChild<ZItvlCfgr *>()->rateField()));
    QVERIFY(!isEditable(outputRow.findChild<ZDtyRtoCfgr *>()->dutyRatioField()));
    QVERIFY(isEditable(outputRow.findChild<ZValueCfgr *>()->statusCombo()));

    channel.setSampling(false);
    channel.setSelected(true);
    QVERIFY(select->isChecked());
    select->click();
    QVERIFY(!channel.isSelected());
}

void TestChlCfgr::wrongKindBuildsNothing()
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

void TestChlCfgr::outputEditorsFollowTheMode_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("rateShown");
    QTest::addColumn<bool>("dutyShown");

    QTest::newRow("analog sine") << int(AnalogOutKind) << int(OutSine) << true << false;
    QTest::newRow("analog sawtooth") << int(AnalogOutKind) << int(OutSawtooth) << true << false;
    QTest::newRow("digital value") << int(DigitOutKind) << int(OutValue) << false << false;
    QTest::newRow("digital pwm") << int(DigitOutKind) << int(OutPwm) << true << true;
}

void TestChlCfgr::outputEditorsFollowTheMode()
{
    QFETCH(int, kind);
    QFETCH(int, mode);
    QFETCH(bool, rateShown);
    QFETCH(bool, dutyShown);
    const bool valueShown = mode == OutValue;

    auto channel = makeChannel(kind, 0);
    auto *output = static_cast<ZOutChannel *>(channel.get());
    ZOutChlCfgr row;
    QVERIFY(row.attach(output));
    auto *rate = row.findChild<ZItvlCfgr *>();
    auto *duty = row.findChild<ZDtyRtoCfgr *>();
    auto *value = row.findChild<ZValueCfgr *>();
    QCOMPARE(duty != nullptr, kind == DigitOutKind);

    // Chosen by the user in the mode combo.
    QComboBox *combo = row.findChild<ZOutModeCfgr *>()->modeCombo();
    combo->setCurrentIndex(combo->findText(modeText(kind, mode)));
    QCOMPARE(output->outMode(), mode);
    QCOMPARE(!rate->isHidden(), rateShown);
    QCOMPARE(!value->isHidden(), valueShown);
    if (duty)
        QCOMPARE(!duty->isHidden(), dutyShown);

    // Set by the model (a settings file), then back: the row follows both ways.
    output->setOutMode(OutValue);
    QVERIFY(rate->isHidden());
    QVERIFY(!value->isHidden());
    QCOMPARE(combo->currentText(), modeText(kind, OutValue));
    output->setOutMode(mode);
    QCOMPARE(combo->currentText(), modeText(kind, mode));
    QCOMPARE(!rate->isHidden(), rateShown);

    // Built in that mode, the row shows the same.
    ZOutChlCfgr lateRow;
    lateRow.attach(output);
    QCOMPARE(!lateRow.findChild<ZItvlCfgr *>()->isHidden(), rateShown);
    QCOMPARE(!lateRow.findChild<ZValueCfgr *>()->isHidden(), valueShown);
}

void TestChlCfgr::modeComboFromMask_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("mask");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("analog, all") << int(AnalogOutKind) << int(ZAnalogOut::Modes)
                                 << QStringList { "Voltage Value", "Sine Wave", "Triangle Wave",
                                                  "Sawtooth Wave" };
    QTest::newRow("analog, two waves") << int(AnalogOutKind) << int(OutSawtooth | OutSine)
                                       << QStringList { "Sine Wave", "Sawtooth Wave" };
    QTest::newRow("digital, all") << int(DigitOutKind) << int(ZDigitOut::Modes)
                                  << QStringList { "Status Value", "PWM Wave" };
    QTest::newRow("digital, value only")
        << int(DigitOutKind) << int(OutValue) << QStringList { "Status Value" };
}

void TestChlCfgr::modeComboFromMask()
{
    QFETCH(int, kind);
    QFETCH(int, mask);
    QFETCH(QStringList, texts);

    auto channel = makeChannel(kind, 0);
    auto *output = static_cast<ZOutChannel *>(channel.get());
    output->setOutModeMask(quint8(mask));
    ZOutModeCfgr editor;
    QVERIFY(editor.attach(output));
    QCOMPARE(comboTexts(editor.modeCombo()), texts);
    QCOMPARE(editor.modeCombo()->isEnabled(), texts.size() > 1);
    QCOMPARE(editor.modeCombo()->currentText(), modeText(kind, output->outMode()));
    // The last entry selects its mode.
    editor.modeCombo()->setCurrentIndex(texts.size() - 1);
    QCOMPARE(modeText(kind, output->outMode()), texts.back());
}

void TestChlCfgr::dutyRatioTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");

    QTest::newRow("0 becomes 1") << "0" << 1;
    QTest::newRow("150 becomes 99") << "150" << 99;
    QTest::newRow("33.9 truncated") << "33.9" << 33;
    QTest::newRow("99.99 truncated") << "99.99" << 99;
    QTest::newRow("low 16 bits") << "65561" << 25;
    QTest::newRow("unchanged") << "50.5" << 50;
    QTest::newRow("not a number") << "half" << 50;
    QTest::newRow("too large for any integer") << "1e300" << 50;
}

void TestChlCfgr::dutyRatioTyped()
{
    QFETCH(QString, typed);
    QFETCH(int, stored);

    ZDigitOut channel(nullptr, componentId(DigitOutKind, 0));
    channel.setOutMode(OutPwm);
    ZDtyRtoCfgr editor;
    QVERIFY(editor.attach(&channel));
    QCOMPARE(editor.dutyRatioField()->text(), QString("50"));
    typeInto(editor.dutyRatioField(), typed);
    QCOMPARE(int(channel.dutyRatio()), stored);
    QCOMPARE(editor.dutyRatioField()->text(), QString::number(stored));
    // Locked during a run: typing changes nothing.
    channel.setSampling(true);
    typeInto(editor.dutyRatioField(), "20");
    QCOMPARE(int(channel.dutyRatio()), stored);
}

void TestChlCfgr::voltageTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("shown");

    QTest::newRow("within") << "1.25" << 1.25 << "1.25";
    QTest::newRow("above: clamped") << "3" << 2.5 << "2.5";
    QTest::newRow("below: clamped") << "-1" << 0.0 << "0";
    QTest::newRow("general form") << "0.1234567" << 0.1234567 << "0.123457";
    QTest::newRow("not a number") << "high" << 0.0 << "0";
}

void TestChlCfgr::voltageTyped()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, shown);

    ZAnalogOut channel(nullptr, componentId(AnalogOutKind, 0));
    ZValueCfgr editor;
    QVERIFY(editor.attach(&channel));
    QVERIFY(!editor.statusCombo());
    typeInto(editor.voltageField(), typed);
    QCOMPARE(channel.voltage(), stored);
    QCOMPARE(editor.voltageField()->text(), shown);
}

void TestChlCfgr::outputValuesFollowTheModel()
{
    ZAnalogOut analog(nullptr, componentId(AnalogOutKind, 1));
    ZDigitOut digital(nullptr, componentId(DigitOutKind, 1));
    ZValueCfgr voltage;
    ZValueCfgr status;
    ZDtyRtoCfgr duty;
    voltage.attach(&analog);
    status.attach(&digital);
    duty.attach(&digital);

    analog.setVoltage(0.1234567);
    QCOMPARE(voltage.voltageField()->text(), QString("0.123457"));
    passThrough(voltage.voltageField());
    QCOMPARE(analog.voltage(), 0.1234567);
    // A lower limit of the box type moves the voltage, and the field with it.
    analog.setVoltage(2.0);
    analog.setMaxVoltage(1.5);
    QCOMPARE(voltage.voltageField()->text(), QString("1.5"));

    QCOMPARE(comboTexts(status.statusCombo()), (QStringList { "Low", "High" }));
    digital.setStatus(true);
    QCOMPARE(status.statusCombo()->currentIndex(), 1);
    status.statusCombo()->setCurrentIndex(0);
    QVERIFY(!digital.status());

    digital.setDutyRatio(75);
    QCOMPARE(duty.dutyRatioField()->text(), QString("75"));
}

QTEST_MAIN(TestChlCfgr)
#include "tst_chlcfgr.moc"
