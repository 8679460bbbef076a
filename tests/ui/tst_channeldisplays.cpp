#include "device/zclock.h"
#include "ui/zcoefscfgr.h"
#include "ui/zcurvedata.h"
#include "ui/zdtyrtocfgr.h"
#include "ui/zgraphkinds.h"
#include "ui/zinchlcfgr.h"
#include "ui/zinchldspr.h"
#include "ui/zitvlcfgr.h"
#include "ui/zlastdspr.h"
#include "ui/zlighticon.h"
#include "ui/zoutchlcfgr.h"
#include "ui/zoutmodecfgr.h"
#include "ui/zrngcfgr.h"
#include "ui/zselectedcfgr.h"
#include "ui/zseriescurve.h"
#include "ui/zuiresources.h"
#include "ui/zvaluecfgr.h"
#include "uitestutil.h"

#include <qwt_painter.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_div.h>

#include <QCheckBox>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <random>
#include <thread>
#include <tuple>

namespace {

// One append call (one coalesced signal) of samples a millisecond apart from `first`: volts
// into an analog input, raw codes into the others.
void append(ZInChannel &channel, const std::vector<double> &values, double first = 0.0)
{
    std::vector<double> times;
    const std::vector<int> raws(values.begin(), values.end());
    for (std::size_t i = 0; i < values.size(); ++i)
        times.push_back(first + 0.001 * double(i));
    if (auto *analog = dynamic_cast<ZAnalogIn *>(&channel))
        analog->appendVolts(times.data(), values.data(), int(values.size()));
    else
        channel.append(times.data(), raws.data(), int(raws.size()));
}

// The time and value of a strip as a user reads them; a lamp by the colour of its middle.
QString reading(const ZLastDspr *strip)
{
    const QString time = strip->timeField()->text() + QStringLiteral(" s, ");
    if (const auto *lamp = qobject_cast<const ZLightIcon *>(strip->valueWidget())) {
        const QColor c = lamp->icon().pixmap(24, 24).toImage().pixelColor(12, 12);
        return time + (c.red() > 200 && c.green() < 40 ? "red" : c.red() < 40 ? "dark" : c.name());
    }
    return time + static_cast<const QLineEdit *>(strip->valueWidget())->text();
}

// The fields a user can focus in a row ("ZItvlCfgr" shows as "Itvl"), "-" marking a locked one.
QString editors(const QWidget &row)
{
    QStringList seen;
    for (const QWidget *field : row.findChildren<QWidget *>()) {
        const QString editor = QString(field->parentWidget()->metaObject()->className());
        if (field->focusPolicy() != Qt::NoFocus && field->isVisibleTo(&row))
            seen << (isEditable(field) ? "" : "-") + editor.mid(1).chopped(4);
    }
    return seen.join(QLatin1Char(' '));
}

// The same editors as a run leaves them: all locked but an output's value.
QString locked(QString editable)
{
    return editable.replace(QRegularExpression("(^| )(?!-|Value)"), "\\1-");
}

} // namespace

// The reading strips, graphs and coefficient editors of inputs, and the settings rows of channels.
class TestChannelDisplays : public QObject
{
    Q_OBJECT

    std::unique_ptr<ZInChlDspr> m_display;
    ZManualClock m_clock;
    std::unique_ptr<QWidget> m_window;

    void display(ZInChannel &channel)
    {
        m_display = std::make_unique<ZInChlDspr>();
        m_display->attach(&channel);
        m_display->resize(1000, 600);
        m_display->show();
    }
    ZLastDspr *strip() const { return m_display->findChild<ZLastDspr *>(); }
    ZGraphDspr *graph() const { return m_display->findChild<ZGraphDspr *>(); }
    ZCoefsCfgr *coefs() const { return m_display->findChild<ZCoefsCfgr *>(); }

    // A graph on its own, under the clock the test drives.
    template<class Graph> Graph *makeGraph(ZInChannel &channel)
    {
        auto *graph = new Graph(m_window.get());
        graph->setClock(m_clock);
        m_window->layout()->addWidget(graph);
        graph->attach(&channel);
        return graph;
    }

private slots:
    void initTestCase() { initUiResources(); }
    void init()
    {
        m_clock.setMs(1000.0);
        m_window = std::make_unique<QWidget>();
        m_window->resize(900, 500);
        new QVBoxLayout(m_window.get());
    }
    void cleanup()
    {
        m_display.reset();
        m_window.reset();
    }

    void displaysPerKind()
    {
        // kind, number, label, title colour and text, curve colour, reading after 0 and -1
        const std::tuple<int, int, QString, QString, QColor, QString> rows[]
            = { { AnalogInKind, 8, "<b>AICH 9</b>&nbsp;&nbsp;", "black>Analog Input Channel 9",
                  Qt::cyan, "2 s, -1" },
                { AnalogInKind, 64 + 7, "<b>AICH 8</b>&nbsp;&nbsp;",
                  "darkGray>Analog Input Channel 8", Qt::darkGray, "2 s, -1" },
                { DigitInKind, 5, "<b>DICH 6\t</b>&nbsp;&nbsp;", "black>Digit Input Channel 6",
                  Qt::red, "2 s, red" },
                { EdgeCntKind, 20, "<b>CNTR 21\t</b>", "black>Counter 21", Qt::darkGray,
                  "2 s, 4294967295" } }; // the device's unsigned count
        for (const auto &[kind, number, label, title, colour, last] : rows) {
            auto channel = makeInChannel(kind, number);
            display(*channel);
            QCOMPARE(m_display->findChildren<QLabel *>().first()->text(), label);
            QCOMPARE(graph()->plot()->title().text(),
                     "<font size=4 color=" + title + QStringLiteral("</font>"));
            QCOMPARE(graph()->curve()->pen(), QPen(colour, 3.0));
            QCOMPARE(coefs() != nullptr, kind == AnalogInKind);
            QCOMPARE(reading(strip()), QString(kind == DigitInKind ? "0 s, dark" : "0 s, 0"));
            QVERIFY(!strip()->graphCheck()->isEnabled() && !strip()->graphCheck()->isChecked());
            QVERIFY(!strip()->printButton()->isEnabled() && graph()->isHidden());
            append(*channel, { 0, -1 }, 1.999);
            QCOMPARE(reading(strip()), last);
            QVERIFY(strip()->graphCheck()->isEnabled());
            m_display->detach(channel.get()); // drops its parts; a sample then reaches nobody
            QVERIFY(!graph() && !strip());
            append(*channel, { 1 });
        }
    }

    // Coefficients, a run fed from another thread, Graph, Print and the next run.
    void stripFollowsTheRunAndPrints()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        display(channel);
        // Typed coefficients, then the model's own form; a change within tolerance is none.
        const std::tuple<std::size_t, QString, QString, double> typed[]
            = { { 1, "1.0000000001", "1", 1.0 },
                { 3, "1234567.891", "1.23457e+06", 1234567.891 },
                { 2, "abc", "0", 0.0 },
                { 0, "nan", "0", 0.0 } };
        for (const auto &[power, text, shown, stored] : typed) {
            typeInto(coefs()->coefEdits().at(power), text);
            QCOMPARE(coefs()->coefEdits().at(power)->text(), shown);
            QCOMPARE(channel.coefs().at(power), stored);
        }
        QCheckBox *graphCheck = strip()->graphCheck();
        QPushButton *print = strip()->printButton();
        QWidget *function = coefs()->functionRow();
        channel.setSampling(true);
        constexpr int Samples = 3000;
        std::thread feeder([&channel] {
            for (int i = 0; i < Samples; ++i) {
                const double time = 0.001 * (i + 1);
                channel.append(&time, &i, 1);
            }
        });
        QTRY_COMPARE_WITH_TIMEOUT(strip()->timeField()->text(), QStringLiteral("3"), 20000);
        feeder.join();
        QCoreApplication::sendPostedEvents();
        QVERIFY(graphCheck->isEnabled() && graph()->curveData());
        graphCheck->setChecked(true); // the catch-up of a hidden graph
        QCOMPARE(graph()->curveData()->count(), std::size_t(Samples));
        QVERIFY(!graph()->isPending() && !graph()->isHidden() && !coefs()->isHidden());
        QVERIFY(channel.isGraphShown() && !print->isEnabled()); // still sampling
        QComboBox *showType = coefs()->showTypeCombo();
        QCOMPARE(comboTexts(showType), (QStringList { "Voltage(V)", "Function Y" }));
        showType->setCurrentIndex(1);
        QVERIFY(channel.showType() == 1 && !function->isHidden());
        channel.setShowType(0);
        QVERIFY(showType->currentIndex() == 0 && function->isHidden());
        channel.setShowType(1);
        append(channel, { -1.123456789 }, 21.2345678);
        QCOMPARE(reading(strip()), QString("21.235 s, -1.12346")); // volts, not Y
        append(channel, { 0.0000123456 }, 21.3); // small readings keep eight decimals
        QCOMPARE(reading(strip()), QString("21.3 s, 0.00001235"));
        channel.setSampling(false);
        QVERIFY(print->isEnabled());
        graphCheck->setChecked(false);
        QVERIFY(graph()->isHidden() && coefs()->isHidden() && function->isHidden());
        QVERIFY(!print->isEnabled());
        channel.setGraphShown(true); // the model's flag drives the box
        QVERIFY(graphCheck->isChecked() && print->isEnabled() && !function->isHidden());
        QTemporaryDir dir;
        QStringList asked;
        graph()->setPrintChooser([&](QPrinter &printer) {
            asked << printer.docName() + "," + printer.creator() + ","
                    + QString::number(printer.pageLayout().orientation());
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(dir.filePath(QString::number(asked.size()) + ".pdf"));
            return asked.size() == 1; // the second print is cancelled
        });
        QTest::mouseClick(print, Qt::LeftButton);
        QTest::mouseClick(print, Qt::LeftButton);
        QCOMPARE(asked, QVector<QString>(2, "Print Graph,Quoravi,1").toList()); // landscape
        // A PDF page with the plot on it, well above an empty page's size.
        QFile pdf(dir.filePath("1.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray content = pdf.readAll();
        QVERIFY(content.startsWith("%PDF-") && content.contains("/Type /Page")
                && content.size() > 5000);
        QVERIFY(!QFile::exists(dir.filePath("2.pdf")));
        // A new run clears: Graph unchecked and disabled, graph and editor hidden.
        channel.setSampling(true);
        QVERIFY(!graphCheck->isEnabled() && !graphCheck->isChecked() && !print->isEnabled());
        QVERIFY(graph()->isHidden() && coefs()->isHidden());
        emit channel.dataAppended(1); // queued by the run before: it must change none of it
        QVERIFY(!graphCheck->isEnabled() && !graph()->curveData());
        QCOMPARE(graph()->curve()->dataSize(), size_t(1));
        QCOMPARE(reading(strip()), QString("0 s, 0"));
    }

    // Placeholder, zoomer, rebuild on a new Y, redraw in place on new coefficients, throttle.
    void graphThroughItsLife()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        auto *graph = makeGraph<ZGraphVolt>(channel);
        QVERIFY(!graph->curveData() && !graph->zoomer() && graph->curve()->dataSize() == 1);
        QCOMPARE(graph->curve()->sample(0), QPointF(0.0, 0.0));
        channel.setSampling(true);
        std::vector<double> volts(1000);
        for (std::size_t i = 0; i < volts.size(); ++i)
            volts[i] = double(i) / 1000.0;
        append(channel, volts);
        QCOMPARE(graph->curve()->dataSize(), size_t(1000));
        QCOMPARE(graph->curve()->sample(500), QPointF(0.5, 0.5));
        QVERIFY(!graph->zoomer()); // the first samples leave the zoomer alone
        channel.setSampling(false);
        graph->zoomer()->zoom(QRectF(0.0, 0.1, 0.001, 0.1));
        QCOMPARE(graph->zoomer()->zoomRectIndex(), 1u);
        // An idle redraw starts the zoom history afresh from the full view.
        channel.setGraphShown(true);
        m_clock.advanceMs(500);
        append(channel, { 4.0 }, 1.0);
        QCOMPARE(graph->curve()->dataSize(), size_t(1001));
        QCOMPARE(graph->zoomer()->zoomRectIndex(), 0u);
        QVERIFY(graph->plot()->axisScaleDiv(QwtPlot::xBottom).upperBound() >= 1.0);
        channel.setCoefs({ 1.0, 2.0 }); // volts plotted: nothing to redraw
        QCOMPARE(graph->curve()->boundingRect(), QRectF(0.0, 0.0, 1.0, 4.0));
        channel.setShowType(1);
        QCOMPARE(graph->curve()->sample(500).y(), 2.0);
        QCOMPARE(graph->curve()->boundingRect(), QRectF(0.0, 1.0, 1.0, 8.0));
        const ZCurveData *data = graph->curveData();
        channel.setCoefs({ 0.0, -3.0 });
        QVERIFY(graph->curveData() == data && data->count() == 1001); // values rewritten
        QCOMPARE(graph->curve()->sample(500).y(), -1.5);
        QCOMPARE(graph->curve()->boundingRect(), QRectF(0.0, -12.0, 1.0, 12.0)); // rebuilt
        QVERIFY(graph->zoomer());
        channel.clear();
        QVERIFY(!graph->curveData() && !graph->zoomer());
        QCOMPARE(graph->curve()->sample(0), QPointF(0.0, 0.0));
        ZDigitIn digital(componentId(DigitInKind, 0));
        append(digital, { 0, 1, 1, 0 });
        auto *levels = makeGraph<ZGraphStat>(digital);
        m_window->show();
        levels->zoomer()->zoom(QRectF(0.001, 0.2, 0.001, 0.5));
        levels->zoomer()->zoom(0); // a level axis zoomed back out keeps its two ticks
        QCOMPARE(levels->plot()->axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick),
                 (QList<double> { 0.0, 1.0 }));
        // Steps: +N advances the clock N ms, aN appends N samples, show/hide/stop drive
        // the channel; =N expects N plotted samples, p pending, - not.
        const char *const scripts[]
            = { "a1 =1 +50 a1 =1 p +50 a1 =1 p +1 a2 =5 - +100 a1 =5 p +1 a1 =7 -",
                "a1 +10 a3 =1 p stop =4 -", "a1 =1 hide +500 a2 =1 p +500 a2 =1 p show =5 -",
                "a1 hide +500 a2 stop =1 p show =3 -" };
        for (const QString script : scripts) {
            ZDigitIn input(componentId(DigitInKind, 0));
            std::unique_ptr<ZGraphStat> throttled(makeGraph<ZGraphStat>(input));
            input.setSampling(true);
            input.setGraphShown(true);
            for (const QString &step : script.split(QLatin1Char(' '))) {
                const int number = step.mid(1).toInt();
                if (step.startsWith(QLatin1Char('+')))
                    m_clock.advanceMs(number);
                else if (step.startsWith(QLatin1Char('a')))
                    append(input, std::vector<double>(std::size_t(number), 1.0),
                           double(input.times().size()));
                else if (step == "show" || step == "hide")
                    input.setGraphShown(step == "show");
                else if (step == "stop")
                    input.setSampling(false);
                else if (step.startsWith(QLatin1Char('=')))
                    QVERIFY2(throttled->curveData()
                                 && throttled->curveData()->count() == std::size_t(number),
                             qPrintable(script + ": " + step));
                else
                    QVERIFY2(throttled->isPending() == (step == "p"),
                             qPrintable(script + ": " + step));
                QCOMPARE(throttled->isHidden(), !input.isGraphShown());
            }
        }
    }

    // A dense curve drawn by columns must look exactly like a plain one of every point.
    void columnsLookLikeEveryPoint()
    {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 0.3);
        m_window->show();
        const auto canvasImage = [](QwtPlot *plot) {
            plot->replot();
            return plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        };
        for (const QString shape : { "noisy sine", "square wave", "spike", "zoomed in" }) {
            ZAnalogIn channel(componentId(AnalogInKind, 0));
            std::vector<double> volts(60000);
            for (std::size_t i = 0; i < volts.size(); ++i) {
                if (shape == QLatin1String("square wave"))
                    volts[i] = (i / 2500) % 2 ? 1.0 : -1.0;
                else if (shape == QLatin1String("spike")) // a single sample
                    volts[i] = i == 20000 ? 5.0 : 0.001 * std::sin(double(i) * 0.01);
                else
                    volts[i] = std::sin(double(i) * 0.0005) + noise(random);
            }
            append(channel, volts);
            std::unique_ptr<ZGraphVolt> graph(makeGraph<ZGraphVolt>(channel));
            if (shape == QLatin1String("zoomed in"))
                graph->zoomer()->zoom(QRectF(30.0, -2.0, 0.3, 4.0));
            // Qwt splits long polylines in chunks of 20 points, each with its own caps.
            QwtPainter::setPolylineSplitting(false);
            const QImage columns = canvasImage(graph->plot());
            graph->curve()->detach();
            const QImage blank = canvasImage(graph->plot());
            QwtPlotCurve everyPoint;
            everyPoint.setData(new ZSeriesCurveData<double>([&] { return channel.times(); },
                                                            [&] { return channel.volts(); }));
            static_cast<ZCurveData *>(everyPoint.data())->advance();
            everyPoint.setPen(graph->curve()->pen());
            everyPoint.attach(graph->plot());
            const QImage reference = canvasImage(graph->plot());
            QwtPainter::setPolylineSplitting(true);
            everyPoint.detach();
            QVERIFY2(reference != blank && columns == reference, qPrintable(shape));
        }
    }

    void inputRowsAndRanges()
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
        // The range choice follows the mask of the box type and the range set.
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

    void typedValuesAreClampedAndFollowed()
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
        // Output values typed one after another into the same fields, and set by the model.
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
        const std::pair<QString, double> volts[] = {
            { "1.25", 1.25 },           { "3", 2.5 },          { "-1", 0.0 },
            { "0.1234567", 0.1234567 }, { "high", 0.1234567 },
        };
        for (const auto &[typed, stored] : volts) {
            typeInto(voltage.voltageField(), typed);
            QVERIFY2(analog.voltage() == stored, qPrintable(typed));
            QCOMPARE(voltage.voltageField()->text(), QString::number(stored));
        }
        passThrough(voltage.voltageField()); // keeps the voltage, not the six digits shown
        QCOMPARE(analog.voltage(), 0.1234567);
        // A lower limit of the box type moves the voltage, and the field with it.
        analog.setVoltage(2.0);
        analog.setMaxVoltage(1.5);
        QCOMPARE(voltage.voltageField()->text(), QString("1.5"));
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
};

QTEST_MAIN(TestChannelDisplays)
#include "tst_channeldisplays.moc"
