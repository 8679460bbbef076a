#include "device/zclock.h"
#include "ui/zcoefscfgr.h"
#include "ui/zcurvedata.h"
#include "ui/zgraphdspr.h"
#include "ui/zgraphkinds.h"
#include "ui/zinchldspr.h"
#include "ui/zlastdspr.h"
#include "ui/zlighticon.h"
#include "ui/zseriescurve.h"
#include "ui/zuiresources.h"
#include "uitestutil.h"

#include <qwt_painter.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_div.h>

#include <QCheckBox>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <random>
#include <thread>
#include <tuple>

namespace {

void appendVolts(ZAnalogIn &channel, const std::vector<double> &volts, double startTime = 0.0)
{
    std::vector<double> times(volts.size());
    for (std::size_t i = 0; i < times.size(); ++i)
        times[i] = startTime + double(i) * 0.001;
    channel.appendVolts(times.data(), volts.data(), int(volts.size()));
}

// One append call of n samples, as one coalesced signal.
void appendSamples(ZInChannel &channel, int n)
{
    const double first = channel.times().isEmpty() ? 0.0 : channel.times().last() + 0.01;
    std::vector<double> times;
    std::vector<int> raws;
    for (int i = 0; i < n; ++i) {
        times.push_back(first + 0.01 * i);
        raws.push_back(i % 2);
    }
    channel.append(times.data(), raws.data(), n);
}

void appendOne(ZInChannel &channel, double time, int raw)
{
    channel.append(&time, &raw, 1);
}

std::vector<double> signal(const QString &shape, int n)
{
    std::vector<double> values(std::size_t(n), 0.0);
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    for (int i = 0; i < n; ++i) {
        if (shape == QLatin1String("noisy sine"))
            values[std::size_t(i)] = std::sin(i * 0.0005) + noise(random);
        else if (shape == QLatin1String("square wave"))
            values[std::size_t(i)] = (i / 2500) % 2 ? 1.0 : -1.0;
        else
            values[std::size_t(i)] = i == n / 3 ? 5.0 : 0.001 * std::sin(i * 0.01);
    }
    return values;
}

QImage canvasImage(QwtPlot *plot)
{
    plot->replot();
    return plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

template<class Counted> int countPixels(const QImage &image, Counted counted)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += counted(x, y, image.pixel(x, y));
    return count;
}

QString valueText(const ZLastDspr *strip)
{
    return static_cast<QLineEdit *>(strip->valueWidget())->text();
}

// The colour in the middle of the lamp as the button shows it.
QColor lampColour(const ZLightIcon *lamp)
{
    return lamp->icon().pixmap(24, 24).toImage().pixelColor(12, 12);
}

} // namespace

// The reading strips, graphs and coefficient editors of input channels.
class TestChannelDisplays : public QObject
{
    Q_OBJECT

    std::unique_ptr<ZInChlDspr> m_display;
    ZManualClock m_clock;
    std::unique_ptr<QWidget> m_window;

    ZInChlDspr *display(ZInChannel &channel)
    {
        m_display = std::make_unique<ZInChlDspr>();
        m_display->attach(&channel);
        m_display->resize(1000, 600);
        m_display->show();
        return m_display.get();
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

    void emptyDisplaysLabelsAndColours()
    {
        // kind, number, label, title colour and text, curve colour
        const std::tuple<int, int, QString, QString, QColor> rows[]
            = { { AnalogInKind, 7, "<b>AICH 8</b>&nbsp;&nbsp;", "darkGray>Analog Input Channel 8",
                  Qt::darkGray },
                { AnalogInKind, 8, "<b>AICH 9</b>&nbsp;&nbsp;", "black>Analog Input Channel 9",
                  Qt::cyan },
                { AnalogInKind, 9, "<b>AICH 10</b>", "black>Analog Input Channel 10", Qt::magenta },
                { AnalogInKind, 64 + 2, "<b>AICH 3</b>&nbsp;&nbsp;",
                  "darkRed>Analog Input Channel 3", Qt::darkRed },
                { DigitInKind, 5, "<b>DICH 6\t</b>&nbsp;&nbsp;", "black>Digit Input Channel 6",
                  Qt::red },
                { EdgeCntKind, 20, "<b>CNTR 21\t</b>", "black>Counter 21", Qt::darkGray } };
        for (const auto &[kind, number, label, title, colour] : rows) {
            auto channel = makeInChannel(kind, number);
            display(*channel);
            QCOMPARE(m_display->findChildren<QLabel *>().first()->text(), label);
            QCOMPARE(strip()->timeField()->text(), QStringLiteral("0"));
            if (auto *lamp = qobject_cast<ZLightIcon *>(strip()->valueWidget()))
                QVERIFY(!lamp->isOn());
            else
                QCOMPARE(valueText(strip()), QStringLiteral("0"));
            QVERIFY(!strip()->graphCheck()->isEnabled() && !strip()->graphCheck()->isChecked());
            QVERIFY(!strip()->printButton()->isEnabled());
            QVERIFY(graph()->isHidden());
            QCOMPARE(coefs() != nullptr, kind == AnalogInKind);
            QCOMPARE(graph()->plot()->title().text(),
                     "<font size=4 color=" + title + QStringLiteral("</font>"));
            QCOMPARE(graph()->curve()->pen().color(), colour);
            QCOMPARE(graph()->curve()->pen().widthF(), 3.0);
        }
        // Detached, the display drops its parts, and a sample reaches nobody.
        ZDigitIn channel(componentId(DigitInKind, 0));
        display(channel);
        m_display->detach(&channel);
        QVERIFY(!graph() && !strip());
        appendOne(channel, 1.0, 1);
        // A graph of another kind plots its placeholder only.
        ZGraphVolt volts;
        volts.attach(&channel);
        appendSamples(channel, 5);
        QVERIFY(!volts.curveData());
        QVERIFY(!createGraphDspr(nullptr, nullptr));
    }

    void countAndLampReadings()
    {
        ZEdgeCnt counter(componentId(EdgeCntKind, 0));
        display(counter);
        appendOne(counter, 2.0, -1); // the device's unsigned count 4294967295
        QCOMPARE(valueText(strip()), QStringLiteral("4294967295"));

        ZDigitIn digital(componentId(DigitInKind, 0));
        display(digital);
        auto *lamp = qobject_cast<ZLightIcon *>(strip()->valueWidget());
        appendOne(digital, 1.0, 1);
        QVERIFY(lamp->isOn());
        QVERIFY(lampColour(lamp).red() > 200 && lampColour(lamp).green() < 40);
        appendOne(digital, 2.0, 0);
        QVERIFY(!lamp->isOn());
        QVERIFY(lampColour(lamp).red() < 40 && lampColour(lamp).alpha() == 255);
    }

    // Graph, Print and the coefficient editor through a run, a print and the next run.
    void stripFollowsTheRunAndPrints()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        display(channel);
        QCheckBox *graphCheck = strip()->graphCheck();
        QPushButton *print = strip()->printButton();
        QWidget *function = coefs()->functionRow();
        channel.setSampling(true);
        QVERIFY(!graphCheck->isEnabled());
        appendVolts(channel, signal(QStringLiteral("noisy sine"), 20000));
        QVERIFY(graphCheck->isEnabled());
        graphCheck->setChecked(true);
        QVERIFY(channel.isGraphShown() && !graph()->isHidden() && !coefs()->isHidden());
        QVERIFY(!print->isEnabled()); // still sampling

        QComboBox *showType = coefs()->showTypeCombo();
        QCOMPARE(comboTexts(showType), (QStringList { "Voltage(V)", "Function Y" }));
        QVERIFY(function->isHidden());
        showType->setCurrentIndex(1);
        QCOMPARE(channel.showType(), 1);
        QVERIFY(!function->isHidden());
        channel.setShowType(0);
        QCOMPARE(showType->currentIndex(), 0);
        QVERIFY(function->isHidden());
        channel.setShowType(1);
        channel.setCoefs({ 0.0, 2.0 });
        appendVolts(channel, { -1.123456789 }, 21.2345678);
        QCOMPARE(strip()->timeField()->text(), QStringLiteral("21.235"));
        QCOMPARE(valueText(strip()), QStringLiteral("-1.12346")); // volts, not Y
        appendVolts(channel, { 0.0000123456 }, 21.3); // small readings keep eight decimals
        QCOMPARE(valueText(strip()), QStringLiteral("0.00001235"));

        channel.setSampling(false);
        QVERIFY(print->isEnabled());
        graphCheck->setChecked(false);
        QVERIFY(graph()->isHidden() && coefs()->isHidden() && function->isHidden());
        QVERIFY(!print->isEnabled());
        channel.setGraphShown(true); // the model's flag drives the box
        QVERIFY(graphCheck->isChecked() && print->isEnabled() && !function->isHidden());

        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("graph.pdf"));
        QStringList asked;
        graph()->setPrintChooser([&](QPrinter &printer) {
            asked << printer.docName() << printer.creator();
            asked << QString::number(printer.pageLayout().orientation());
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            return asked.size() == 3; // the second print is cancelled
        });
        QTest::mouseClick(print, Qt::LeftButton);
        QCOMPARE(asked, (QStringList { "Print Graph", "Quoravi", "1" })); // landscape
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray content = pdf.readAll();
        QVERIFY(content.startsWith("%PDF-") && content.contains("/Type /Page"));
        QVERIFY2(content.size() > 5000, QByteArray::number(content.size()));
        path = dir.filePath(QStringLiteral("cancelled.pdf"));
        QTest::mouseClick(print, Qt::LeftButton);
        QCOMPARE(asked.size(), 6);
        QVERIFY(!QFile::exists(path));

        // A new run clears: Graph unchecked and disabled, graph and editor hidden.
        channel.setSampling(true);
        QVERIFY(!graphCheck->isEnabled() && !graphCheck->isChecked() && !print->isEnabled());
        QVERIFY(graph()->isHidden() && coefs()->isHidden());
        QCOMPARE(strip()->timeField()->text(), QStringLiteral("0"));
        QCOMPARE(valueText(strip()), QStringLiteral("0"));
    }

    void coefficientEditTexts()
    {
        // As many decimals as six significant digits show, then the model's own form.
        const std::tuple<int, QString, QStringList, double> rows[]
            = { { 1, "1.23456789", { "1.23457" }, 1.23456789 },
                { 3, "1234567.891", { "1234567.891000", "1.23457e+06" }, 1234567.891 },
                { 5, "-2.5e-7", { "-0.00000", "-2.5e-07" }, -2.5e-7 },
                { 2, "abc", { "0" }, 0.0 },
                { 0, "nan", { "0" }, 0.0 },
                { 1, "1.0000000001", { "1" }, 1.0 } };
        for (const auto &[power, typed, shown, stored] : rows) {
            ZAnalogIn channel(componentId(AnalogInKind, 0));
            ZCoefsCfgr editor;
            editor.attach(&channel);
            QLineEdit *edit = editor.coefEdits().at(std::size_t(power));
            edit->setText(typed);
            QSignalSpy texts(edit, &QLineEdit::textChanged);
            emit edit->editingFinished();
            QStringList seen;
            for (const QList<QVariant> &args : texts)
                seen << args.at(0).toString();
            QCOMPARE(seen, shown);
            QCOMPARE(channel.coefs().at(std::size_t(power)), stored);
        }
    }

    void feedFromAnotherThread()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        display(channel);
        channel.setSampling(true);
        constexpr int Samples = 3000;
        std::thread feeder([&channel] {
            for (int i = 0; i < Samples; ++i)
                appendOne(channel, 0.001 * (i + 1), i);
        });
        QTRY_COMPARE_WITH_TIMEOUT(strip()->timeField()->text(), QStringLiteral("3"), 20000);
        feeder.join();
        QCoreApplication::sendPostedEvents();
        QVERIFY(strip()->graphCheck()->isEnabled() && graph()->curveData());
        channel.setSampling(false);
        channel.setGraphShown(true); // the catch-up of a hidden graph
        QCOMPARE(graph()->curveData()->count(), std::size_t(Samples));
        QVERIFY(!graph()->isPending());

        // A signal queued by the last append of a run can arrive after the next run has
        // cleared the series: it must neither enable Graph nor replace the placeholder.
        channel.setSampling(true);
        emit channel.dataAppended(1);
        QVERIFY(!strip()->graphCheck()->isEnabled() && !graph()->curveData());
        QCOMPARE(strip()->timeField()->text(), QStringLiteral("0"));
        QCOMPARE(graph()->curve()->dataSize(), size_t(1));
    }

    void placeholderAndZoomerLife()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 0));
        auto *graph = makeGraph<ZGraphVolt>(channel);
        QVERIFY(!graph->curveData() && !graph->zoomer());
        QCOMPARE(graph->curve()->dataSize(), size_t(1));
        QCOMPARE(graph->curve()->sample(0), QPointF(0.0, 0.0));

        channel.setSampling(true);
        appendVolts(channel, { 1.0, 2.0, 3.0 });
        QVERIFY(graph->curveData());
        QCOMPARE(graph->curve()->dataSize(), size_t(3));
        QCOMPARE(graph->curve()->sample(2), QPointF(0.002, 3.0));
        QVERIFY(!graph->zoomer()); // the first samples leave the zoomer alone

        channel.setSampling(false);
        QVERIFY(graph->zoomer());
        graph->zoomer()->zoom(QRectF(0.0, 1.0, 0.001, 1.0));
        QCOMPARE(graph->zoomer()->zoomRectIndex(), 1u);
        // An idle redraw starts the zoom history afresh from the full view.
        channel.setGraphShown(true);
        m_clock.advanceMs(500);
        appendVolts(channel, { 4.0 }, 1.0);
        QCOMPARE(graph->curve()->dataSize(), size_t(4));
        QCOMPARE(graph->zoomer()->zoomRectIndex(), 0u);
        QVERIFY(graph->plot()->axisScaleDiv(QwtPlot::xBottom).upperBound() >= 1.0);
    }

    void throttleAndPending()
    {
        // Steps: +N advances the clock N ms, aN appends N samples, show/hide/stop drive
        // the channel; =N expects N plotted samples, p pending, - not.
        const char *const scripts[]
            = { "a5 =5 - +10 a1 =5 p",
                "a1 =1 +50 a1 =1 p +50 a1 =1 p +1 a2 =5 - +100 a1 =5 p +1 a1 =7 -",
                "a1 +10 a3 =1 p stop =4 -", "a1 =1 hide +500 a2 =1 p +500 a2 =1 p show =5 -",
                "a1 hide +500 a2 stop =1 p show =3 -" };
        for (const QString script : scripts) {
            ZDigitIn channel(componentId(DigitInKind, 0));
            std::unique_ptr<ZGraphStat> graph(makeGraph<ZGraphStat>(channel));
            channel.setSampling(true);
            channel.setGraphShown(true);
            for (const QString &step : script.split(QLatin1Char(' '))) {
                const int number = step.mid(1).toInt();
                const QString where = script + QStringLiteral(": ") + step;
                if (step.startsWith(QLatin1Char('+')))
                    m_clock.advanceMs(number);
                else if (step.startsWith(QLatin1Char('a')))
                    appendSamples(channel, number);
                else if (step == QLatin1String("show") || step == QLatin1String("hide"))
                    channel.setGraphShown(step == QLatin1String("show"));
                else if (step == QLatin1String("stop"))
                    channel.setSampling(false);
                else if (step.startsWith(QLatin1Char('=')))
                    QVERIFY2(graph->curveData()
                                 && graph->curveData()->count() == std::size_t(number),
                             qPrintable(where));
                else
                    QVERIFY2(graph->isPending() == (step == QLatin1String("p")), qPrintable(where));
                QCOMPARE(graph->isHidden(), !channel.isGraphShown());
            }
        }
    }

    void rebuildsAndRedrawsInPlace()
    {
        ZAnalogIn channel(componentId(AnalogInKind, 1));
        std::vector<double> volts(1000);
        for (std::size_t i = 0; i < volts.size(); ++i)
            volts[i] = double(i) / 1000.0;
        appendVolts(channel, volts);
        auto *graph = makeGraph<ZGraphVolt>(channel);
        channel.setCoefs({ 1.0, 2.0 }); // volts plotted: nothing to redraw
        QCOMPARE(graph->curve()->boundingRect(), QRectF(0.0, 0.0, 0.999, 0.999));

        channel.setShowType(1);
        QCOMPARE(graph->curve()->sample(500).y(), 2.0);
        QCOMPARE(graph->curve()->boundingRect(), QRectF(0.0, 1.0, 0.999, 1.998));
        QVERIFY(graph->zoomer());
        const ZCurveData *data = graph->curveData();
        channel.setCoefs({ 0.0, -3.0 });
        QCOMPARE(graph->curveData(), data); // same record, values rewritten
        QCOMPARE(data->count(), std::size_t(1000));
        QCOMPARE(graph->curve()->sample(500).y(), -1.5);
        QCOMPARE(graph->curve()->boundingRect(), QRectF(0.0, -2.997, 0.999, 2.997)); // rebuilt
        QVERIFY(graph->zoomer());

        channel.clear();
        QVERIFY(!graph->curveData() && !graph->zoomer());
        QCOMPARE(graph->curve()->sample(0), QPointF(0.0, 0.0));
    }

    void digitalAxisStaysFixedAfterZoomingOut()
    {
        ZDigitIn channel(componentId(DigitInKind, 0));
        appendSamples(channel, 50);
        auto *graph = makeGraph<ZGraphStat>(channel);
        m_window->show();
        graph->zoomer()->zoom(QRectF(0.1, 0.2, 0.1, 0.5));
        QCOMPARE(graph->plot()->axisScaleDiv(QwtPlot::yLeft).lowerBound(), 0.2);
        graph->zoomer()->zoom(0);
        const QwtScaleDiv yAxis = graph->plot()->axisScaleDiv(QwtPlot::yLeft);
        QCOMPARE(yAxis.lowerBound(), 0.0);
        QCOMPARE(yAxis.upperBound(), 1.0);
        QCOMPARE(yAxis.ticks(QwtScaleDiv::MajorTick), (QList<double> { 0.0, 1.0 }));
    }

    // A dense curve drawn by columns must look exactly like a plain one of every point.
    void columnsLookLikeEveryPoint()
    {
        const std::pair<QString, bool> rows[] = {
            { "noisy sine", false },
            { "square wave", false },
            { "single-sample spike", false },
            { "noisy sine", true }, // zoomed in
        };
        m_window->show();
        for (const auto &[shape, zoomedIn] : rows) {
            ZAnalogIn channel(componentId(AnalogInKind, 0));
            appendVolts(channel, signal(shape, 60000));
            std::unique_ptr<ZGraphVolt> graph(makeGraph<ZGraphVolt>(channel));
            QwtPlot *plot = graph->plot();
            if (zoomedIn)
                graph->zoomer()->zoom(QRectF(30.0, -2.0, 0.3, 4.0));
            // Qwt splits long polylines in chunks of 20 points, each with its own caps.
            QwtPainter::setPolylineSplitting(false);
            const QImage columns = canvasImage(plot);

            QwtPlotCurve everyPoint;
            everyPoint.setData(new ZSeriesCurveData<double>([&] { return channel.times(); },
                                                            [&] { return channel.volts(); }));
            static_cast<ZCurveData *>(everyPoint.data())->advance();
            everyPoint.setPen(graph->curve()->pen());
            graph->curve()->detach();
            everyPoint.attach(plot);
            const QImage reference = canvasImage(plot);
            QwtPainter::setPolylineSplitting(true);
            everyPoint.detach();

            const QRgb curveColour = QColor(Qt::darkGreen).rgb();
            QVERIFY(countPixels(reference, [&](int, int, QRgb c) { return c == curveColour; })
                    > 1000);
            const int differing = countPixels(
                columns, [&](int x, int y, QRgb c) { return c != reference.pixel(x, y); });
            QVERIFY2(differing == 0,
                     qPrintable(shape + QStringLiteral(": ") + QString::number(differing)));
        }
    }
};

QTEST_MAIN(TestChannelDisplays)
#include "tst_channeldisplays.moc"
