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

// The editors of a row a user sees ("ZItvlCfgr" shows as "Itvl"), "-" marking a locked one.
QString editors(const QWidget &row)
{
    QStringList seen;
    for (const QWidget *field : row.findChildren<QWidget *>()) {
        const QString editor = QString(field->parentWidget()->metaObject()->className());
        if ((qobject_cast<const QLineEdit *>(field) || qobject_cast<const QComboBox *>(field)
             || qobject_cast<const QCheckBox *>(field))
            && field->isVisibleTo(&row))
            seen << (isEditable(field) ? "" : "-") + editor.mid(1).chopped(4);
    }
    return seen.join(QLatin1Char(' '));
}

// The same editors as a run leaves them: all locked but an output's value.
QString locked(const QString &editable)
{
    QStringList names = editable.split(QLatin1Char(' '));
    for (QString &name : names)
        if (!name.startsWith(QLatin1Char('-')) && name != QLatin1String("Value"))
            name.prepend(QLatin1Char('-'));
    return names.join(QLatin1Char(' '));
}

} // namespace

// The settings rows of input and output channels and their editors.
class TestChlCfgr : public QObject
{
    Q_OBJECT

private slots:
    void inputRows()
    {
        const QString sps = "Sample Rate: ";
        const std::tuple<int, int, QStringList> rows[]
            = { { AnalogInKind, 0, { "<b>AICH 1</b>&nbsp;&nbsp;", sps, "SPS", "Range: " } },
                { AnalogInKind, 9, { "<b>AICH 10</b>", sps, "SPS", "Range: " } },
                { DigitInKind, 2, { "<b>DICH 3\t</b>&nbsp;&nbsp;", sps, "SPS" } },
                { EdgeCntKind, 1, { "<b>CNTR 2\t</b>&nbsp;&nbsp;", "Refresh Rate: ", "Hz" } } };
        for (const auto &[kind, number, labels] : rows) {
            auto channel = makeInChannel(kind, number);
            channel->setSampling(true);
            ZInChlCfgr row;
            QVERIFY(row.attach(channel.get()));
            QCOMPARE(labelTexts(&row), labels);
            const QString editable = kind == AnalogInKind ? "Itvl Rng Selected" : "Itvl Selected";
            QCOMPARE(editors(row), locked(editable)); // built during a run
            channel->setSampling(false);
            QCOMPARE(editors(row), editable);
            channel->setSelected(true);
            QCheckBox *select = row.findChild<QCheckBox *>();
            QVERIFY(select->isChecked() && select->text() == QLatin1String("Select"));
            select->click();
            QVERIFY(!channel->isSelected());
        }
    }

    void typedRateBecomesInterval()
    {
        // Inputs: interval in ms within 1..1e6; outputs: period in us, 1000..2^24-1.
        const std::tuple<int, QString, double, QString> rows[] = {
            { AnalogInKind, "250", 4.0, "250" },     { AnalogInKind, "5000", 1.0, "1000" },
            { DigitInKind, "0.5", 2000.0, "0.5" },   { EdgeCntKind, "0", 1e6, "0.001" },
            { AnalogInKind, "-3", 1.0, "1000" },     { AnalogInKind, "fast", 1000.0, "1" },
            { AnalogInKind, "nan", 1000.0, "1" },    { AnalogInKind, "1.0000000001", 1000.0, "1" },
            { AnalogOutKind, "500", 2000.0, "500" }, { AnalogOutKind, "5000", 1000.0, "1000" }
        };
        for (const auto &[kind, typed, interval, shown] : rows) {
            auto channel = makeChannel(kind, 0);
            ZItvlCfgr editor;
            QVERIFY(editor.attach(channel.get()));
            typeInto(editor.rateField(), typed);
            QVERIFY2(channel->interval() == interval, qPrintable(typed));
            QCOMPARE(editor.rateField()->text(), shown);
        }
        // Set by the model (a settings file, the box's limits), the field follows.
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        ZItvlCfgr editor;
        editor.attach(&channel);
        channel.setInterval(3.0);
        QCOMPARE(editor.rateField()->text(), QString("333.333"));
        passThrough(editor.rateField()); // keeps 3 ms, not 1000 / 333.333
        QCOMPARE(channel.interval(), 3.0);
        channel.setMinInterval(10.0);
        typeInto(editor.rateField(), "250");
        QCOMPARE(channel.interval(), 10.0);
        QCOMPARE(editor.rateField()->text(), QString("100"));
    }

    void rangeComboFollowsMaskAndRange()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        ZRngCfgr editor;
        QVERIFY(editor.attach(&channel));
        QCOMPARE(comboTexts(editor.rangeCombo()),
                 (QStringList { "-1.25V~+1.25V", "-2.5V~+2.5V", "-5V~+5V", "-10V~+10V" }));
        channel.setRangeMask(Range5V | Range10V);
        QComboBox *combo = editor.rangeCombo();
        QCOMPARE(comboTexts(combo), (QStringList { "-5V~+5V", "-10V~+10V" }));
        channel.setRange(Range10V);
        QCOMPARE(combo->currentIndex(), 1);
        combo->setCurrentIndex(0);
        QCOMPARE(channel.range(), int(Range5V));
        // Down to one range: the range follows the mask; no choice, even after a run.
        channel.setRangeMask(Range5V);
        QCOMPARE(channel.range(), int(Range5V));
        QCOMPARE(comboTexts(editor.rangeCombo()), QStringList { "-5V~+5V" });
        channel.setSampling(true);
        channel.setSampling(false);
        QVERIFY(!editor.rangeCombo()->isEnabled());
        QCOMPARE(editor.findChildren<QComboBox *>().size(), 1);
    }

    void outputRowsFollowMaskModeAndRun()
    {
        // kind, mask, the entries, the last entry's mode and the editors a user sees in it
        const std::tuple<int, int, QString, int, QString> rows[]
            = { { AnalogOutKind, ZAnalogOut::Modes,
                  "Voltage Value,Sine Wave,Triangle Wave,Sawtooth Wave", OutSawtooth,
                  "OutMode Itvl" },
                { AnalogOutKind, OutSawtooth | OutSine, "Sine Wave,Sawtooth Wave", OutSawtooth,
                  "OutMode Itvl" },
                { DigitOutKind, ZDigitOut::Modes, "Status Value,PWM Wave", OutPwm,
                  "OutMode Itvl DtyRto" },
                { DigitOutKind, OutValue, "Status Value", OutValue, "-OutMode Value" } };
        for (const auto &[kind, mask, texts, lastMode, editable] : rows) {
            auto channel = makeChannel(kind, 0);
            auto *output = static_cast<ZOutChannel *>(channel.get());
            output->setOutModeMask(quint8(mask));
            const int firstMode = output->outMode(); // the mask moved it to its first entry
            ZOutChlCfgr row;
            QVERIFY(row.attach(output));
            QComboBox *combo = row.findChild<ZOutModeCfgr *>()->modeCombo();
            QCOMPARE(comboTexts(combo).join(QLatin1Char(',')), texts);
            QCOMPARE(combo->currentIndex(), 0);
            combo->setCurrentIndex(combo->count() - 1);
            QCOMPARE(output->outMode(), lastMode);
            QCOMPARE(editors(row), editable);
            // Set by the model (a settings file) and back: the row follows.
            output->setOutMode(firstMode);
            QCOMPARE(combo->currentIndex(), 0);
            QCOMPARE(editors(row).endsWith("Value"), firstMode == OutValue);
            output->setOutMode(lastMode);
            QCOMPARE(combo->currentText(), texts.section(QLatin1Char(','), -1));
            QCOMPARE(editors(row), editable);
            // A run locks all but the value; a row built during it starts so.
            output->setSampling(true);
            QCOMPARE(editors(row), locked(editable));
            ZOutChlCfgr lateRow;
            lateRow.attach(output);
            QCOMPARE(editors(lateRow), locked(editable));
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
        passThrough(voltage.voltageField()); // keeps the voltage, not the six digits shown
        QCOMPARE(analog.voltage(), 0.1234567);
        // A lower limit of the box type moves the voltage, and the field with it.
        analog.setVoltage(2.0);
        analog.setMaxVoltage(1.5);
        QCOMPARE(voltage.voltageField()->text(), QString("1.5"));
    }
};

QTEST_MAIN(TestChlCfgr)
#include "tst_chlcfgr.moc"
