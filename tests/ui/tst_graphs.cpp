#include "device/zclock.h"
#include "ui/zcurvedata.h"
#include "ui/zgraphkinds.h"
#include "ui/zseriescurve.h"
#include "ui/zuiresources.h"
#include "uitestutil.h"

#include <qwt_painter.h>
#include <qwt_plot.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_div.h>

#include <QPrinter>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>

namespace {

void appendVolts(ZAnalogIn &channel, const std::vector<double> &volts, double startTime = 0.0,
                 double step = 0.001)
{
    std::vector<double> times(volts.size());
    for (std::size_t i = 0; i < times.size(); ++i)
        times[i] = startTime + double(i) * step;
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
        else if (shape == QLatin1String("single-sample spike"))
            values[std::size_t(i)] = i == n / 3 ? 5.0 : 0.001 * std::sin(i * 0.01);
    }
    return values;
}

QImage canvasImage(QwtPlot *plot)
{
    plot->replot();
    return plot->canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

int colouredPixels(const QImage &image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

} // namespace

class TestGraphs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void placeholderAndZoomerLife();
    void throttleAndPending_data();
    void throttleAndPending();
    void rebuildsOnClearAndShowType();
    void functionValuesRedrawnInPlace();
    void titlesAndColours_data();
    void titlesAndColours();
    void digitalAxisStaysFixedAfterZoomingOut();
    void otherKindGetsPlaceholderOnly();
    void printsToPdf();
    void columnsLookLikeEveryPoint_data();
    void columnsLookLikeEveryPoint();

private:
    template<class Graph> Graph *makeGraph(ZInChannel &channel);

    ZManualClock m_clock;
    std::unique_ptr<QWidget> m_window;
};

void TestGraphs::initTestCase()
{
    initUiResources();
}

void TestGraphs::init()
{
    m_clock.setMs(1000.0);
    m_window = std::make_unique<QWidget>();
    m_window->resize(900, 500);
    new QVBoxLayout(m_window.get());
}

void TestGraphs::cleanup()
{
    m_window.reset();
}

template<class Graph> Graph *TestGraphs::makeGraph(ZInChannel &channel)
{
    auto *graph = new Graph(m_window.get());
    graph->setClock(m_clock);
    m_window->layout()->addWidget(graph);
    graph->attach(&channel);
    return graph;
}

void TestGraphs::placeholderAndZoomerLife()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    auto *graph = makeGraph<ZGraphVolt>(channel);
    QVERIFY(!graph->curveData());
    QCOMPARE(graph->curve()->dataSize(), size_t(1));
    QCOMPARE(graph->curve()->sample(0), QPointF(0.0, 0.0));
    QVERIFY(!graph->zoomer());

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
    QVERIFY(graph->zoomer());
    QCOMPARE(graph->zoomer()->zoomRectIndex(), 0u);
    QCOMPARE(graph->plot()->axisScaleDiv(QwtPlot::xBottom).upperBound() >= 1.0, true);

    channel.setSampling(true); // clears: back to the placeholder, no zoomer
    QVERIFY(!graph->zoomer());
    QVERIFY(!graph->curveData());
    QCOMPARE(graph->curve()->dataSize(), size_t(1));
}

void TestGraphs::throttleAndPending_data()
{
    // A script of steps: +N advances the clock by N ms, aN appends N samples, show and hide
    // set the graph flag, stop ends sampling; =N expects N plotted samples, p pending, - not.
    QTest::addColumn<QString>("script");
    QTest::newRow("first samples plot at once") << "a5 =5 - +10 a1 =5 p";
    QTest::newRow("redraw only after more than 100 ms")
        << "a1 =1 +50 a1 =1 p +50 a1 =1 p +1 a2 =5 - +100 a1 =5 p +1 a1 =7 -";
    QTest::newRow("sampling stop catches up") << "a1 +10 a3 =1 p stop =4 -";
    QTest::newRow("hidden graph only notes it is behind")
        << "a1 =1 hide +500 a2 =1 p +500 a2 =1 p show =5 -";
    QTest::newRow("hidden graph stays behind at the stop") << "a1 hide +500 a2 stop =1 p show =3 -";
}

void TestGraphs::throttleAndPending()
{
    QFETCH(QString, script);
    ZDigitIn channel(componentId(DigitInKind, 0));
    auto *graph = makeGraph<ZGraphStat>(channel);
    channel.setSampling(true);
    channel.setGraphShown(true);

    for (const QString &step : script.split(QLatin1Char(' '))) {
        const int number = step.mid(1).toInt();
        if (step.startsWith(QLatin1Char('+')))
            m_clock.advanceMs(number);
        else if (step.startsWith(QLatin1Char('a')))
            appendSamples(channel, number);
        else if (step == QLatin1String("show") || step == QLatin1String("hide"))
            channel.setGraphShown(step == QLatin1String("show"));
        else if (step == QLatin1String("stop"))
            channel.setSampling(false);
        else if (step.startsWith(QLatin1Char('=')))
            QVERIFY2(graph->curveData() && graph->curveData()->count() == std::size_t(number),
                     qPrintable(step));
        else if (step == QLatin1String("p") || step == QLatin1String("-"))
            QVERIFY2(graph->isPending() == (step == QLatin1String("p")), qPrintable(step));
        QCOMPARE(graph->isHidden(), !channel.isGraphShown());
    }
}

void TestGraphs::rebuildsOnClearAndShowType()
{
    ZAnalogIn channel(componentId(AnalogInKind, 1));
    channel.setCoefs({ 1.0, 2.0 });
    appendVolts(channel, { 0.5, 1.5, -1.0 });
    auto *graph = makeGraph<ZGraphVolt>(channel);
    QCOMPARE(graph->curve()->sample(1).y(), 1.5);

    channel.setShowType(1);
    QVERIFY(graph->curveData());
    QCOMPARE(graph->curve()->dataSize(), size_t(3));
    QCOMPARE(graph->curve()->sample(1).y(), 4.0);
    QCOMPARE(graph->curve()->boundingRect(), QRectF(0.0, -1.0, 0.002, 5.0));
    QVERIFY(graph->zoomer());

    channel.clear();
    QVERIFY(!graph->curveData());
    QCOMPARE(graph->curve()->sample(0), QPointF(0.0, 0.0));
    QVERIFY(!graph->zoomer());
}

void TestGraphs::functionValuesRedrawnInPlace()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    channel.setShowType(1);
    std::vector<double> volts(1000);
    for (std::size_t i = 0; i < volts.size(); ++i)
        volts[i] = double(i) / 1000.0;
    appendVolts(channel, volts);
    auto *graph = makeGraph<ZGraphVolt>(channel);
    const ZCurveData *data = graph->curveData();
    QCOMPARE(graph->curve()->boundingRect().bottom(), 0.999);

    channel.setCoefs({ 0.0, -3.0 });
    QCOMPARE(graph->curveData(), data); // same record, values rewritten
    QCOMPARE(data->count(), std::size_t(1000));
    QCOMPARE(graph->curve()->sample(500).y(), -1.5);
    QCOMPARE(graph->curve()->boundingRect().top(), -2.997); // extremes rebuilt
    QVERIFY(graph->zoomer());

    channel.setShowType(0);
    channel.setCoefs({ 0.0, 1.0 }); // volts plotted: nothing to redraw
    QCOMPARE(graph->curve()->boundingRect().top(), 0.0);
}

void TestGraphs::titlesAndColours_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("analog 8") << int(AnalogInKind) << 7
                              << "<font size=4 color=darkGray>Analog Input Channel 8</font>"
                              << QColor(Qt::darkGray);
    QTest::newRow("analog 9") << int(AnalogInKind) << 8
                              << "<font size=4 color=black>Analog Input Channel 9</font>"
                              << QColor(Qt::cyan);
    QTest::newRow("digital 6") << int(DigitInKind) << 5
                               << "<font size=4 color=black>Digit Input Channel 6</font>"
                               << QColor(Qt::red);
    QTest::newRow("counter 21") << int(EdgeCntKind) << 20
                                << "<font size=4 color=black>Counter 21</font>"
                                << QColor(Qt::GlobalColor(4));
}

void TestGraphs::titlesAndColours()
{
    QFETCH(int, kind);
    QFETCH(int, number);
    QFETCH(QString, title);
    QFETCH(QColor, colour);
    auto channel = makeInChannel(kind, number);
    std::unique_ptr<ZGraphDspr> graph(createGraphDspr(channel.get(), nullptr));
    QVERIFY(graph);
    QCOMPARE(graph->plot()->title().text(), title);
    QCOMPARE(graph->curve()->pen().color(), colour);
    QCOMPARE(graph->curve()->pen().widthF(), 3.0);
}

void TestGraphs::digitalAxisStaysFixedAfterZoomingOut()
{
    ZDigitIn channel(componentId(DigitInKind, 0));
    appendSamples(channel, 50);
    auto *graph = makeGraph<ZGraphStat>(channel);
    m_window->show();
    QVERIFY(graph->zoomer());
    graph->zoomer()->zoom(QRectF(0.1, 0.2, 0.1, 0.5));
    QCOMPARE(graph->plot()->axisScaleDiv(QwtPlot::yLeft).lowerBound(), 0.2);
    graph->zoomer()->zoom(0);
    const QwtScaleDiv yAxis = graph->plot()->axisScaleDiv(QwtPlot::yLeft);
    QCOMPARE(yAxis.lowerBound(), 0.0);
    QCOMPARE(yAxis.upperBound(), 1.0);
    QCOMPARE(yAxis.ticks(QwtScaleDiv::MajorTick), (QList<double> { 0.0, 1.0 }));
}

void TestGraphs::otherKindGetsPlaceholderOnly()
{
    ZDigitIn channel(componentId(DigitInKind, 0));
    appendSamples(channel, 5);
    ZGraphVolt graph;
    graph.attach(&channel);
    appendSamples(channel, 5);
    QVERIFY(!graph.curveData());
    QVERIFY(!createGraphDspr(nullptr, nullptr));
}

void TestGraphs::printsToPdf()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    appendVolts(channel, signal(QStringLiteral("noisy sine"), 20000));
    auto *graph = makeGraph<ZGraphVolt>(channel);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("graph.pdf"));
    QString docName;
    QString creator;
    bool landscape = false;
    graph->setPrintChooser([&](QPrinter &printer) {
        docName = printer.docName();
        creator = printer.creator();
        landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return true;
    });
    QVERIFY(graph->printGraph());
    QCOMPARE(docName, QStringLiteral("Print Graph"));
    QCOMPARE(creator, QStringLiteral("Quoravi"));
    QVERIFY(landscape);
    QFile pdf(path);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray content = pdf.readAll();
    QVERIFY(content.startsWith("%PDF-"));
    QVERIFY(content.contains("/Type /Page"));
    QVERIFY2(content.size() > 5000, QByteArray::number(content.size()));

    const QString cancelled = dir.filePath(QStringLiteral("cancelled.pdf"));
    graph->setPrintChooser([&](QPrinter &printer) {
        printer.setOutputFileName(cancelled);
        return false;
    });
    QVERIFY(graph->printGraph());
    QVERIFY(!QFile::exists(cancelled));
}

void TestGraphs::columnsLookLikeEveryPoint_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<bool>("zoomedIn");
    QTest::newRow("noisy sine") << "noisy sine" << false;
    QTest::newRow("square wave") << "square wave" << false;
    QTest::newRow("single-sample spike") << "single-sample spike" << false;
    QTest::newRow("noisy sine zoomed in") << "noisy sine" << true;
}

void TestGraphs::columnsLookLikeEveryPoint()
{
    QFETCH(QString, shape);
    QFETCH(bool, zoomedIn);
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    appendVolts(channel, signal(shape, 60000));
    auto *graph = makeGraph<ZGraphVolt>(channel);
    m_window->show();
    QwtPlot *plot = graph->plot();
    if (zoomedIn)
        graph->zoomer()->zoom(QRectF(30.0, -2.0, 0.3, 4.0));
    // Qwt draws long polylines in chunks of 20 points, each with its own caps; that would
    // compare where the chunks start rather than what the curves cover.
    QwtPainter::setPolylineSplitting(false);
    const QImage columns = canvasImage(plot);

    // The reference: a plain curve handed every point of the same series.
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
    graph->curve()->attach(plot);

    const QRgb curveColour = QColor(Qt::darkGreen).rgb();
    QVERIFY(colouredPixels(reference, curveColour) > 1000);
    const int differing = differingPixels(columns, reference);
    if (differing > 0) {
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        columns.save(QDir::temp().filePath(QStringLiteral("columns-%1.png").arg(tag)));
        reference.save(QDir::temp().filePath(QStringLiteral("reference-%1.png").arg(tag)));
    }
    QVERIFY2(differing == 0, qPrintable(QString::number(differing)));
}

QTEST_MAIN(TestGraphs)
#include "tst_graphs.moc"
