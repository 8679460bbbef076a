#include "app/zappobservable.h"
#include "device/zrealbox.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "model/zanalogout.h"
#include "model/zdigitout.h"
#include "ui/zdtyrtocfgr.h"
#include "ui/zitvlcfgr.h"
#include "ui/zoutchlcfgr.h"
#include "ui/zoutmodecfgr.h"
#include "ui/zvaluecfgr.h"
#include "uitestutil.h"

#include <QtTest>

#include <memory>

namespace {

std::unique_ptr<ZOutChannel> makeOutput(int kind)
{
    if (kind == AnalogOutKind)
        return std::make_unique<ZAnalogOut>(nullptr, componentId(AnalogOutKind, 0));
    return std::make_unique<ZDigitOut>(nullptr, componentId(DigitOutKind, 0));
}

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

// Loose bound: runs share the machine with other work.
constexpr int RunTimeoutMs = 15000;

} // namespace

// The settings row of an output channel and its four editors.
class TestOutChlCfgr : public QObject
{
    Q_OBJECT

private slots:
    void editorsFollowTheMode_data();
    void editorsFollowTheMode();
    void modeComboFromMask_data();
    void modeComboFromMask();
    void dutyRatioTyped_data();
    void dutyRatioTyped();
    void voltageTyped_data();
    void voltageTyped();
    void valuesFollowTheModel();
    void onlyTheValueStaysLiveWhileSampling();
    void liveValueReachesTheBox();
};

void TestOutChlCfgr::editorsFollowTheMode_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("rateShown");
    QTest::addColumn<bool>("dutyShown");
    QTest::addColumn<bool>("valueShown");

    QTest::newRow("analog value") << int(AnalogOutKind) << int(OutValue) << false << false << true;
    QTest::newRow("analog sine") << int(AnalogOutKind) << int(OutSine) << true << false << false;
    QTest::newRow("analog triangle")
        << int(AnalogOutKind) << int(OutTriangle) << true << false << false;
    QTest::newRow("analog sawtooth")
        << int(AnalogOutKind) << int(OutSawtooth) << true << false << false;
    QTest::newRow("digital value") << int(DigitOutKind) << int(OutValue) << false << false << true;
    QTest::newRow("digital pwm") << int(DigitOutKind) << int(OutPwm) << true << true << false;
}

void TestOutChlCfgr::editorsFollowTheMode()
{
    QFETCH(int, kind);
    QFETCH(int, mode);
    QFETCH(bool, rateShown);
    QFETCH(bool, dutyShown);
    QFETCH(bool, valueShown);

    auto channel = makeOutput(kind);
    ZOutChlCfgr row;
    QVERIFY(row.attach(channel.get()));
    auto *modes = row.findChild<ZOutModeCfgr *>();
    auto *rate = row.findChild<ZItvlCfgr *>();
    auto *duty = row.findChild<ZDtyRtoCfgr *>();
    auto *value = row.findChild<ZValueCfgr *>();
    QCOMPARE(duty != nullptr, kind == DigitOutKind);

    // Chosen by the user in the mode combo.
    QComboBox *combo = modes->modeCombo();
    combo->setCurrentIndex(combo->findText(modeText(kind, mode)));
    QCOMPARE(channel->outMode(), mode);
    QCOMPARE(!rate->isHidden(), rateShown);
    QCOMPARE(!value->isHidden(), valueShown);
    if (duty)
        QCOMPARE(!duty->isHidden(), dutyShown);

    // Set by the model (a settings file), then back: the row follows both ways.
    channel->setOutMode(OutValue);
    QVERIFY(rate->isHidden());
    QVERIFY(!value->isHidden());
    QCOMPARE(combo->currentText(), modeText(kind, OutValue));
    channel->setOutMode(mode);
    QCOMPARE(combo->currentText(), modeText(kind, mode));
    QCOMPARE(!rate->isHidden(), rateShown);

    // Built in that mode, the row shows the same.
    ZOutChlCfgr lateRow;
    lateRow.attach(channel.get());
    QCOMPARE(!lateRow.findChild<ZItvlCfgr *>()->isHidden(), rateShown);
    QCOMPARE(!lateRow.findChild<ZValueCfgr *>()->isHidden(), valueShown);
}

void TestOutChlCfgr::modeComboFromMask_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("mask");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("analog, all") << int(AnalogOutKind) << int(ZAnalogOut::Modes)
                                 << QStringList { "Voltage Value", "Sine Wave", "Triangle Wave",
                                                  "Sawtooth Wave" }
                                 << true;
    QTest::newRow("analog, value only")
        << int(AnalogOutKind) << int(OutValue) << QStringList { "Voltage Value" } << false;
    QTest::newRow("analog, two waves") << int(AnalogOutKind) << int(OutSawtooth | OutSine)
                                       << QStringList { "Sine Wave", "Sawtooth Wave" } << true;
    QTest::newRow("digital, all") << int(DigitOutKind) << int(ZDigitOut::Modes)
                                  << QStringList { "Status Value", "PWM Wave" } << true;
    QTest::newRow("digital, value only")
        << int(DigitOutKind) << int(OutValue) << QStringList { "Status Value" } << false;
}

void TestOutChlCfgr::modeComboFromMask()
{
    QFETCH(int, kind);
    QFETCH(int, mask);
    QFETCH(QStringList, texts);
    QFETCH(bool, enabled);

    auto channel = makeOutput(kind);
    channel->setOutModeMask(quint8(mask));
    ZOutModeCfgr editor;
    QVERIFY(editor.attach(channel.get()));
    QCOMPARE(comboTexts(editor.modeCombo()), texts);
    QCOMPARE(editor.modeCombo()->currentIndex(), 0);
    QCOMPARE(editor.modeCombo()->isEnabled(), enabled);
    QCOMPARE(editor.modeCombo()->currentText(), modeText(kind, channel->outMode()));
    // The last entry selects its mode.
    editor.modeCombo()->setCurrentIndex(texts.size() - 1);
    QCOMPARE(modeText(kind, channel->outMode()), texts.back());
}

void TestOutChlCfgr::dutyRatioTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("shown");

    QTest::newRow("0 becomes 1") << "0" << 1 << "1";
    QTest::newRow("150 becomes 99") << "150" << 99 << "99";
    QTest::newRow("33.9 truncated") << "33.9" << 33 << "33";
    QTest::newRow("99.99 truncated") << "99.99" << 99 << "99";
    QTest::newRow("low 16 bits") << "65561" << 25 << "25";
    QTest::newRow("unchanged") << "50.5" << 50 << "50";
    QTest::newRow("not a number") << "half" << 50 << "50";
    QTest::newRow("too large for any integer") << "1e300" << 50 << "50";
}

void TestOutChlCfgr::dutyRatioTyped()
{
    QFETCH(QString, typed);
    QFETCH(int, stored);
    QFETCH(QString, shown);

    ZDigitOut channel(nullptr, componentId(DigitOutKind, 0));
    channel.setOutMode(OutPwm);
    ZDtyRtoCfgr editor;
    QVERIFY(editor.attach(&channel));
    QCOMPARE(editor.dutyRatioField()->text(), QString("50"));
    typeInto(editor.dutyRatioField(), typed);
    QCOMPARE(int(channel.dutyRatio()), stored);
    QCOMPARE(editor.dutyRatioField()->text(), shown);
}

void TestOutChlCfgr::voltageTyped_data()
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

void TestOutChlCfgr::voltageTyped()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, shown);

    ZAnalogOut channel(nullptr, componentId(AnalogOutKind, 0));
    ZValueCfgr editor;
    QVERIFY(editor.attach(&channel));
    QVERIFY(!editor.statusCombo());
    QCOMPARE(labelTexts(&editor), (QStringList { "Voltage:", "Volts" }));
    typeInto(editor.voltageField(), typed);
    QCOMPARE(channel.voltage(), stored);
    QCOMPARE(editor.voltageField()->text(), shown);
}

void TestOutChlCfgr::valuesFollowTheModel()
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
    analog.setVoltage(2.0);
    QCOMPARE(voltage.voltageField()->text(), QString("2"));
    // A lower limit of the box type moves the voltage, and the field with it.
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

void TestOutChlCfgr::onlyTheValueStaysLiveWhileSampling()
{
    ZAnalogOut analog(nullptr, componentId(AnalogOutKind, 0));
    ZDigitOut digital(nullptr, componentId(DigitOutKind, 0));
    ZOutChlCfgr analogRow;
    ZOutChlCfgr digitalRow;
    analogRow.attach(&analog);
    digitalRow.attach(&digital);

    for (bool sampling : { true, false }) {
        analog.setSampling(sampling);
        digital.setSampling(sampling);
        for (const ZOutChlCfgr *row : { &analogRow, &digitalRow }) {
            QCOMPARE(isEditable(row->findChild<ZOutModeCfgr *>()->modeCombo()), !sampling);
            QCOMPARE(isEditable(row->findChild<ZItvlCfgr *>()->rateField()), !sampling);
        }
        QLineEdit *duty = digitalRow.findChild<ZDtyRtoCfgr *>()->dutyRatioField();
        QCOMPARE(isEditable(duty), !sampling);
        typeInto(duty, sampling ? "20" : "50");
        QCOMPARE(int(digital.dutyRatio()), 50);
        QVERIFY(isEditable(analogRow.findChild<ZValueCfgr *>()->voltageField()));
        QVERIFY(isEditable(digitalRow.findChild<ZValueCfgr *>()->statusCombo()));
    }
}

// During a run a typed voltage and a chosen status reach the box at once.
void TestOutChlCfgr::liveValueReachesTheBox()
{
    auto box = std::make_shared<ZSimulatedBox>(8);
    ZAppObservable app([box](int) { return std::make_unique<ZSimulatedBridge>(box); });
    app.setBoxType(8);
    ZRealBox *realBox = app.activeBox();
    realBox->analogIns()[0]->setSelected(true);
    ZOutChlCfgr analogRow;
    ZOutChlCfgr digitalRow;
    analogRow.attach(realBox->analogOuts()[0]);
    digitalRow.attach(realBox->digitOuts()[1]);

    QVERIFY(app.connectBox());
    QTRY_VERIFY_WITH_TIMEOUT(realBox->isSampling(), RunTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(box->digitOut(1).told, RunTimeoutMs);

    typeInto(analogRow.findChild<ZValueCfgr *>()->voltageField(), "1.25");
    QCOMPARE(realBox->analogOuts()[0]->voltage(), 1.25);
    QTRY_COMPARE_WITH_TIMEOUT(box->analogOut(0).dacCode, realBox->analogOuts()[0]->dacCode(),
                              RunTimeoutMs);
    QVERIFY(box->analogOut(0).dacCode > 0);
    digitalRow.findChild<ZValueCfgr *>()->statusCombo()->setCurrentIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(box->digitOut(1).status, 1, RunTimeoutMs);

    QVERIFY(app.requestStop());
    QVERIFY(!realBox->isSampling());
    QVERIFY(isEditable(analogRow.findChild<ZOutModeCfgr *>()->modeCombo()));
}

QTEST_MAIN(TestOutChlCfgr)
#include "tst_outchlcfgr.moc"
