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

QImage canvasImage(QwtPlot *plot)
{
    plot->replot();
    return plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The time and value of a strip as a user reads them; a lamp by the colour of its middle.
QString reading(const ZLastDspr *strip)
{
    QString value;
    if (const auto *lamp = qobject_cast<const ZLightIcon *>(strip->valueWidget())) {
        const QColor c = lamp->icon().pixmap(24, 24).toImage().pixelColor(12, 12);
        value = c.red() > 200 && c.green() < 40 ? "red" : c.red() < 40 ? "dark" : c.name();
    } else {
        value = static_cast<const QLineEdit *>(strip->valueWidget())->text();
    }
    return strip->timeField()->text() + QStringLiteral(" s, ") + value;
}

} // namespace

// The reading strips, graphs and coefficient editors of input channels.
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
            = { { AnalogInKind, 7, "<b>AICH 8</b>&nbsp;&nbsp;", "darkGray>Analog Input Channel 8",
                  Qt::darkGray, "2 s, -1" },
                { AnalogInKind, 8, "<b>AICH 9</b>&nbsp;&nbsp;", "black>Analog Input Channel 9",
                  Qt::cyan, "2 s, -1" },
                { AnalogInKind, 9, "<b>AICH 10</b>", "black>Analog Input Channel 10", Qt::magenta,
                  "2 s, -1" },
                { AnalogInKind, 64 + 2, "<b>AICH 3</b>&nbsp;&nbsp;",
                  "darkRed>Analog Input Channel 3", Qt::darkRed, "2 s, -1" },
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
                { 1, "1.23456789", "1.23457", 1.23456789 },
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

    // Placeholder, zoomer, rebuild on a new Y and redraw in place on new coefficients.
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
                    append(channel, std::vector<double>(std::size_t(number), 1.0),
                           double(channel.times().size()));
                else if (step == "show" || step == "hide")
                    channel.setGraphShown(step == "show");
                else if (step == "stop")
                    channel.setSampling(false);
                else if (step.startsWith(QLatin1Char('=')))
                    QVERIFY2(graph->curveData()
                                 && graph->curveData()->count() == std::size_t(number),
                             qPrintable(where));
                else
                    QVERIFY2(graph->isPending() == (step == "p"), qPrintable(where));
                QCOMPARE(graph->isHidden(), !channel.isGraphShown());
            }
        }
    }

    // A dense curve drawn by columns must look exactly like a plain one of every point.
    void columnsLookLikeEveryPoint()
    {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 0.3);
        m_window->show();
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
};

QTEST_MAIN(TestChannelDisplays)
#include "tst_channeldisplays.moc"
