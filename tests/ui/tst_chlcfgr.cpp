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

#include <tuple>

namespace {

ZOutChannel *asOutput(const std::unique_ptr<ZComponent> &channel)
{
    return static_cast<ZOutChannel *>(channel.get());
}

const QString Sps = "Sample Rate: ";
const QStringList AllRanges { "-1.25V~+1.25V", "-2.5V~+2.5V", "-5V~+5V", "-10V~+10V" };
const QStringList AnalogModes { "Voltage Value", "Sine Wave", "Triangle Wave", "Sawtooth Wave" };

} // namespace

// The settings rows of input and output channels and their editors.
class TestChlCfgr : public QObject
{
    Q_OBJECT

private slots:
    void inputRowLabels()
    {
        const std::tuple<int, int, QStringList> rows[]
            = { { AnalogInKind, 0, { "<b>AICH 1</b>&nbsp;&nbsp;", Sps, "SPS", "Range: " } },
                { AnalogInKind, 9, { "<b>AICH 10</b>", Sps, "SPS", "Range: " } },
                { DigitInKind, 2, { "<b>DICH 3\t</b>&nbsp;&nbsp;", Sps, "SPS" } },
                { EdgeCntKind, 1, { "<b>CNTR 2\t</b>&nbsp;&nbsp;", "Refresh Rate: ", "Hz" } } };
        for (const auto &[kind, number, labels] : rows) {
            auto channel = makeChannel(kind, number);
            ZInChlCfgr row;
            QVERIFY(row.attach(channel.get()));
            QCOMPARE(labelTexts(&row), labels);
            QCOMPARE(row.findChild<ZSelectedCfgr *>()->checkBox()->text(), QString("Select"));
        }
        // Another kind of channel gets no row and no editor.
        ZAnalogOut output(nullptr, componentId(AnalogOutKind, 0));
        ZInChlCfgr row;
        ZRngCfgr range;
        ZSelectedCfgr select;
        row.attach(&output);
        range.attach(&output);
        select.attach(&output);
        QVERIFY(row.findChildren<QWidget *>().isEmpty());
        QVERIFY(!range.rangeCombo() && !select.checkBox());
        output.setInterval(5000.0); // reaches no editor that was never built
    }

    void typedRateBecomesInterval()
    {
        // Inputs: interval in ms within 1..1e6; outputs: period in us, 1000..2^24-1.
        const std::tuple<int, QString, double, QString> rows[]
            = { { AnalogInKind, "250", 4.0, "250" },
                { AnalogInKind, "5000", 1.0, "1000" },
                { DigitInKind, "0.5", 2000.0, "0.5" },
                { EdgeCntKind, "0", 1e6, "0.001" },
                { AnalogInKind, "-3", 1.0, "1000" },
                { AnalogInKind, "fast", 1000.0, "1" },
                { AnalogInKind, "nan", 1000.0, "1" },
                { AnalogInKind, "1.0000000001", 1000.0, "1" },
                { AnalogOutKind, "1000", 1000.0, "1000" },
                { AnalogOutKind, "5000", 1000.0, "1000" } };
        for (const auto &[kind, typed, interval, shown] : rows) {
            auto channel = makeChannel(kind, 0);
            if (kind == AnalogOutKind)
                asOutput(channel)->setOutMode(OutSine);
            ZItvlCfgr editor;
            QVERIFY(editor.attach(channel.get()));
            typeInto(editor.rateField(), typed);
            QVERIFY2(channel->interval() == interval, qPrintable(typed));
            QCOMPARE(editor.rateField()->text(), shown);
        }

        ZAnalogIn channel(componentId(AnalogInKind, 0));
        ZItvlCfgr editor;
        editor.attach(&channel);
        QCOMPARE(editor.rateField()->text(), QString("1"));
        channel.setInterval(3.0); // as a settings file or the box's limits would
        QCOMPARE(editor.rateField()->text(), QString("333.333"));
        // Passing through leaves the interval alone, not 1000 / 333.333 ms.
        passThrough(editor.rateField());
        QCOMPARE(channel.interval(), 3.0);
        channel.setMinInterval(10.0);
        QCOMPARE(editor.rateField()->text(), QString("100"));
        typeInto(editor.rateField(), "250");
        QCOMPARE(channel.interval(), 10.0);
        QCOMPARE(editor.rateField()->text(), QString("100"));
    }

    void rangeComboFollowsMaskAndRange()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        ZRngCfgr editor;
        QVERIFY(editor.attach(&channel));
        QComboBox *combo = editor.rangeCombo();
        QCOMPARE(comboTexts(combo), AllRanges);
        QCOMPARE(combo->currentIndex(), 0);
        combo->setCurrentIndex(2);
        QCOMPARE(channel.range(), int(Range5V));
        channel.setRange(Range10V);
        QCOMPARE(combo->currentIndex(), 3);

        channel.setRangeMask(Range5V | Range10V);
        combo = editor.rangeCombo();
        QCOMPARE(comboTexts(combo), (QStringList { "-5V~+5V", "-10V~+10V" }));
        QCOMPARE(combo->currentIndex(), 1);
        channel.setRange(Range5V);
        QCOMPARE(combo->currentIndex(), 0);
        combo->setCurrentIndex(1);
        QCOMPARE(channel.range(), int(Range10V));
        channel.setSampling(true);
        QVERIFY(!combo->isEnabled());
        channel.setSampling(false);
        QVERIFY(combo->isEnabled());

        // Down to one range: the range follows the mask; no choice, even after a run.
        channel.setRangeMask(Range5V);
        QCOMPARE(channel.range(), int(Range5V));
        QCOMPARE(comboTexts(editor.rangeCombo()), QStringList { "-5V~+5V" });
        channel.setSampling(true);
        channel.setSampling(false);
        QVERIFY(!editor.rangeCombo()->isEnabled());
        QCOMPARE(editor.findChildren<QComboBox *>().size(), 1);
    }

    // A row built during a run starts locked but for the output value.
    void rowsBuiltDuringARunStartLocked()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        channel.setSampling(true);
        ZInChlCfgr row;
        row.attach(&channel);
        QLineEdit *rate = row.findChild<ZItvlCfgr *>()->rateField();
        QCheckBox *select = row.findChild<ZSelectedCfgr *>()->checkBox();
        QVERIFY(!isEditable(rate) && !isEditable(select));
        QVERIFY(!isEditable(row.findChild<ZRngCfgr *>()->rangeCombo()));
        typeInto(rate, "250");
        QCOMPARE(channel.interval(), 1000.0);
        channel.setSampling(false);
        QVERIFY(isEditable(rate) && isEditable(select));
        channel.setSelected(true);
        QVERIFY(select->isChecked());
        select->click();
        QVERIFY(!channel.isSelected());

        ZDigitOut output(nullptr, componentId(DigitOutKind, 0));
        output.setOutMode(OutPwm);
        output.setSampling(true);
        ZOutChlCfgr outputRow;
        outputRow.attach(&output);
        QVERIFY(!isEditable(outputRow.findChild<ZOutModeCfgr *>()->modeCombo()));
        QVERIFY(!isEditable(outputRow.findChild<ZItvlCfgr *>()->rateField()));
        QVERIFY(!isEditable(outputRow.findChild<ZDtyRtoCfgr *>()->dutyRatioField()));
        QVERIFY(isEditable(outputRow.findChild<ZValueCfgr *>()->statusCombo()));
    }

    void outputEditorsFollowTheMode()
    {
        // kind, mode, its text, rate shown, duty ratio shown
        const std::tuple<int, int, QString, bool, bool> rows[]
            = { { AnalogOutKind, OutSine, "Sine Wave", true, false },
                { AnalogOutKind, OutSawtooth, "Sawtooth Wave", true, false },
                { DigitOutKind, OutValue, "Status Value", false, false },
                { DigitOutKind, OutPwm, "PWM Wave", true, true } };
        for (const auto &[kind, mode, text, rateShown, dutyShown] : rows) {
            auto channel = makeChannel(kind, 0);
            ZOutChannel *output = asOutput(channel);
            ZOutChlCfgr row;
            QVERIFY(row.attach(output));
            auto *rate = row.findChild<ZItvlCfgr *>();
            auto *duty = row.findChild<ZDtyRtoCfgr *>();
            auto *value = row.findChild<ZValueCfgr *>();
            QCOMPARE(duty != nullptr, kind == DigitOutKind);
            QComboBox *combo = row.findChild<ZOutModeCfgr *>()->modeCombo();
            combo->setCurrentIndex(combo->findText(text));
            QCOMPARE(output->outMode(), mode);
            QCOMPARE(!rate->isHidden(), rateShown);
            QCOMPARE(!value->isHidden(), mode == OutValue);
            QVERIFY(!duty || duty->isHidden() != dutyShown);

            // Set by the model (a settings file), then back: the row follows.
            output->setOutMode(OutValue);
            QVERIFY(rate->isHidden() && !value->isHidden());
            QCOMPARE(combo->currentIndex(), 0);
            output->setOutMode(mode);
            QCOMPARE(combo->currentText(), text);
            QCOMPARE(!rate->isHidden(), rateShown);

            // Built in that mode, the row shows the same.
            ZOutChlCfgr lateRow;
            lateRow.attach(output);
            QCOMPARE(!lateRow.findChild<ZItvlCfgr *>()->isHidden(), rateShown);
            QCOMPARE(!lateRow.findChild<ZValueCfgr *>()->isHidden(), mode == OutValue);
        }
    }

    void modeComboFromMask()
    {
        // kind, mask, the entries, the mode of the last entry
        const std::tuple<int, int, QStringList, int> rows[] = {
            { AnalogOutKind, ZAnalogOut::Modes, AnalogModes, OutSawtooth },
            { AnalogOutKind, OutSawtooth | OutSine, { "Sine Wave", "Sawtooth Wave" }, OutSawtooth },
            { DigitOutKind, ZDigitOut::Modes, { "Status Value", "PWM Wave" }, OutPwm },
            { DigitOutKind, OutValue, { "Status Value" }, OutValue }
        };
        for (const auto &[kind, mask, texts, lastMode] : rows) {
            auto channel = makeChannel(kind, 0);
            ZOutChannel *output = asOutput(channel);
            output->setOutModeMask(quint8(mask));
            ZOutModeCfgr editor;
            QVERIFY(editor.attach(output));
            QCOMPARE(comboTexts(editor.modeCombo()), texts);
            QCOMPARE(editor.modeCombo()->isEnabled(), texts.size() > 1);
            // The mask moves the mode to its first entry.
            QCOMPARE(editor.modeCombo()->currentIndex(), 0);
            editor.modeCombo()->setCurrentIndex(texts.size() - 1);
            QCOMPARE(output->outMode(), lastMode);
        }
    }

    // Typed one after another into the same fields, and set by the model.
    void outputValuesTypedAndFollowed()
    {
        ZDigitOut digital(nullptr, componentId(DigitOutKind, 1));
        digital.setOutMode(OutPwm);
        ZDtyRtoCfgr duty;
        QVERIFY(duty.attach(&digital));
        QCOMPARE(duty.dutyRatioField()->text(), QString("50"));
        const std::pair<QString, int> ratios[]
            = { { "0", 1 },      { "150", 99 },  { "33.9", 33 }, { "99.99", 99 },
                { "65561", 25 }, { "50.5", 50 }, { "half", 50 }, { "1e300", 50 } };
        for (const auto &[typed, stored] : ratios) {
            typeInto(duty.dutyRatioField(), typed);
            QVERIFY2(digital.dutyRatio() == stored, qPrintable(typed));
            QCOMPARE(duty.dutyRatioField()->text(), QString::number(stored));
        }
        digital.setSampling(true); // locked during a run: typing changes nothing
        typeInto(duty.dutyRatioField(), "20");
        QCOMPARE(int(digital.dutyRatio()), 50);
        digital.setDutyRatio(75);
        QCOMPARE(duty.dutyRatioField()->text(), QString("75"));

        ZValueCfgr status;
        status.attach(&digital);
        QCOMPARE(comboTexts(status.statusCombo()), (QStringList { "Low", "High" }));
        digital.setStatus(true);
        QCOMPARE(status.statusCombo()->currentIndex(), 1);
        status.statusCombo()->setCurrentIndex(0);
        QVERIFY(!digital.status());

        ZAnalogOut analog(nullptr, componentId(AnalogOutKind, 1));
        ZValueCfgr voltage;
        QVERIFY(voltage.attach(&analog) && !voltage.statusCombo());
        const std::tuple<QString, double, QString> volts[]
            = { { "1.25", 1.25, "1.25" },
                { "3", 2.5, "2.5" },
                { "-1", 0.0, "0" },
                { "0.1234567", 0.1234567, "0.123457" },
                { "high", 0.1234567, "0.123457" } };
        for (const auto &[typed, stored, shown] : volts) {
            typeInto(voltage.voltageField(), typed);
            QVERIFY2(analog.voltage() == stored, qPrintable(typed));
            QCOMPARE(voltage.voltageField()->text(), shown);
        }
        // Passing through keeps the voltage, not the six digits shown.
        passThrough(voltage.voltageField());
        QCOMPARE(analog.voltage(), 0.1234567);
        // A lower limit of the box type moves the voltage, and the field with it.
        analog.setVoltage(2.0);
        analog.setMaxVoltage(1.5);
        QCOMPARE(voltage.voltageField()->text(), QString("1.5"));
    }
};

QTEST_MAIN(TestChlCfgr)
#include "tst_chlcfgr.moc"
