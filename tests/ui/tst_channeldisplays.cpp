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
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <memory>
#include <random>
#include <thread>

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

void appendOne(ZInChannel &channel, double time, int raw)
{
    channel.append(&time, &raw, 1);
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

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void emptyChannelReadings_data();
    void emptyChannelReadings();
    void lastValues();
    void graphAndPrintAcrossSamplingAndClearing();
    void coefficientEditTexts_data();
    void coefficientEditTexts();
    void showTypeChoiceAndFunctionRow();
    void feedFromAnotherThread();
    void staleSignalAfterClearing();
    void detachingEmptiesTheDisplay();

    // The graphs on their own, under a clock the test drives.
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
    ZInChlDspr *display(ZInChannel &channel);
    template<class Graph> Graph *makeGraph(ZInChannel &channel);

    std::unique_ptr<ZInChlDspr> m_display;
    ZManualClock m_clock;
    std::unique_ptr<QWidget> m_window;
};

void TestChannelDisplays::initTestCase()
{
    initUiResources();
}

void TestChannelDisplays::init()
{
    m_clock.setMs(1000.0);
    m_window = std::make_unique<QWidget>();
    m_window->resize(900, 500);
    new QVBoxLayout(m_window.get());
}

void TestChannelDisplays::cleanup()
{
    m_display.reset();
    m_window.reset();
}

ZInChlDspr *TestChannelDisplays::display(ZInChannel &channel)
{
    m_display = std::make_unique<ZInChlDspr>();
    m_display->attach(&channel);
    m_display->resize(1000, 600);
    m_display->show();
    return m_display.get();
}

void TestChannelDisplays::emptyChannelReadings_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("label");
    QTest::newRow("analog 9") << int(AnalogInKind) << 8 << "<b>AICH 9</b>&nbsp;&nbsp;";
    QTest::newRow("analog 10") << int(AnalogInKind) << 9 << "<b>AICH 10</b>";
    QTest::newRow("digital 3") << int(DigitInKind) << 2 << "<b>DICH 3\t</b>&nbsp;&nbsp;";
    QTest::newRow("counter 12") << int(EdgeCntKind) << 11 << "<b>CNTR 12\t</b>";
    QTest::newRow("low six bits") << int(AnalogInKind) << 64 + 2 << "<b>AICH 3</b>&nbsp;&nbsp;";
}

void TestChannelDisplays::emptyChannelReadings()
{
    QFETCH(int, kind);
    QFETCH(int, number);
    QFETCH(QString, label);
    auto channel = makeInChannel(kind, number);
    display(*channel);
    QCOMPARE(m_display->findChildren<QLabel *>().first()->text(), label);
    auto *strip = m_display->findChild<ZLastDspr *>();
    QVERIFY(strip);
    QCOMPARE(strip->timeField()->text(), QStringLiteral("0"));
    if (auto *lamp = qobject_cast<ZLightIcon *>(strip->valueWidget()))
        QVERIFY(!lamp->isOn());
    else
        QCOMPARE(static_cast<QLineEdit *>(strip->valueWidget())->text(), QStringLiteral("0"));
    QVERIFY(!strip->graphCheck()->isEnabled());
    QVERIFY(!strip->graphCheck()->isChecked());
    QVERIFY(!strip->printButton()->isEnabled());
    QVERIFY(m_display->findChild<ZGraphDspr *>()->isHidden());
    QCOMPARE(m_display->findChild<ZCoefsCfgr *>() != nullptr, kind == AnalogInKind);
}

void TestChannelDisplays::lastValues()
{
    ZAnalogIn analog(componentId(AnalogInKind, 0));
    analog.setShowType(1);
    analog.setCoefs({ 0.0, 2.0 });
    display(analog);
    auto *strip = m_display->findChild<ZLastDspr *>();
    double times[] = { 0.5, 1.2345678 };
    double volts[] = { 0.25, -1.123456789 };
    analog.appendVolts(times, volts, 2);
    QCOMPARE(strip->timeField()->text(), QStringLiteral("1.235"));
    // The strip reads volts even while the graph plots Y.
    QCOMPARE(static_cast<QLineEdit *>(strip->valueWidget())->text(), QStringLiteral("-1.12346"));

    ZEdgeCnt counter(componentId(EdgeCntKind, 0));
    display(counter);
    strip = m_display->findChild<ZLastDspr *>();
    appendOne(counter, 2.0, -1); // the device's unsigned count 4294967295
    QCOMPARE(static_cast<QLineEdit *>(strip->valueWidget())->text(), QStringLiteral("4294967295"));

    ZDigitIn digital(componentId(DigitInKind, 0));
    display(digital);
    auto *lamp = qobject_cast<ZLightIcon *>(m_display->findChild<ZLastDspr *>()->valueWidget());
    QVERIFY(lamp);
    appendOne(digital, 1.0, 1);
    QVERIFY(lamp->isOn());
    QVERIFY(lampColour(lamp).red() > 200 && lampColour(lamp).green() < 40);
    appendOne(digital, 2.0, 0);
    QVERIFY(!lamp->isOn());
    QVERIFY(lampColour(lamp).red() < 40 && lampColour(lamp).alpha() == 255);
}

void TestChannelDisplays::graphAndPrintAcrossSamplingAndClearing()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    display(channel);
    auto *strip = m_display->findChild<ZLastDspr *>();
    auto *graph = m_display->findChild<ZGraphDspr *>();
    auto *coefs = m_display->findChild<ZCoefsCfgr *>();
    QCheckBox *graphCheck = strip->graphCheck();
    QPushButton *print = strip->printButton();

    channel.setSampling(true);
    QVERIFY(!graphCheck->isEnabled());
    appendOne(channel, 0.1, 1000);
    QVERIFY(graphCheck->isEnabled());
    graphCheck->setChecked(true);
    QVERIFY(channel.isGraphShown());
    QVERIFY(!graph->isHidden());
    QVERIFY(!coefs->isHidden());
    QVERIFY(!print->isEnabled()); // still sampling

    channel.setSampling(false);
    QVERIFY(print->isEnabled());
    graphCheck->setChecked(false);
    QVERIFY(graph->isHidden());
    QVERIFY(coefs->isHidden());
    QVERIFY(!print->isEnabled());
    channel.setGraphShown(true); // the model's flag drives the box
    QVERIFY(graphCheck->isChecked());
    QVERIFY(print->isEnabled());

    // Print reaches the graph's printing (which the PDF test below checks).
    int asked = 0;
    graph->setPrintChooser([&](QPrinter &) {
        ++asked;
        return false; // cancelled
    });
    QTest::mouseClick(print, Qt::LeftButton);
    QCOMPARE(asked, 1);

    // A new run clears: Graph unchecked and disabled, the graph and editor hidden.
    channel.setSampling(true);
    QVERIFY(!graphCheck->isEnabled());
    QVERIFY(!graphCheck->isChecked());
    QVERIFY(!print->isEnabled());
    QVERIFY(graph->isHidden());
    QVERIFY(coefs->isHidden());
    QCOMPARE(strip->timeField()->text(), QStringLiteral("0"));
    QCOMPARE(static_cast<QLineEdit *>(strip->valueWidget())->text(), QStringLiteral("0"));
}

void TestChannelDisplays::coefficientEditTexts_data()
{
    QTest::addColumn<int>("power");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<double>("stored");
    // The shared formatter keeps as many decimals as the six-digit general form shows.
    QTest::newRow("six significant digits")
        << 1 << "1.23456789" << QStringList { "1.23457" } << 1.23456789;
    QTest::newRow("six decimals, then the model's form")
        << 3 << "1234567.891" << QStringList { "1234567.891000", "1.23457e+06" } << 1234567.891;
    QTest::newRow("small value") << 5 << "-2.5e-7" << QStringList { "-0.00000", "-2.5e-07" }
                                 << -2.5e-7;
    QTest::newRow("not a number") << 2 << "abc" << QStringList { "0" } << 0.0;
    QTest::newRow("nan keeps the coefficient") << 0 << "nan" << QStringList { "0" } << 0.0;
    QTest::newRow("within tolerance") << 1 << "1.0000000001" << QStringList { "1" } << 1.0;
}

void TestChannelDisplays::coefficientEditTexts()
{
    QFETCH(int, power);
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    QFETCH(double, stored);
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    ZCoefsCfgr editor;
    editor.attach(&channel);
    QCOMPARE(editor.coefEdits().size(), std::size_t(6));
    QLineEdit *edit = editor.coefEdits()[std::size_t(power)];
    edit->setText(typed);
    QSignalSpy texts(edit, &QLineEdit::textChanged);
    emit edit->editingFinished();
    QStringList seen;
    for (const QList<QVariant> &args : texts)
        seen << args.at(0).toString();
    QCOMPARE(seen, shown);
    QCOMPARE(channel.coefs()[std::size_t(power)], stored);
}

void TestChannelDisplays::showTypeChoiceAndFunctionRow()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    appendOne(channel, 0.1, 1000);
    channel.setGraphShown(true);
    display(channel);
    auto *coefs = m_display->findChild<ZCoefsCfgr *>();
    QCOMPARE(comboTexts(coefs->showTypeCombo()), (QStringList { "Voltage(V)", "Function Y" }));
    QVERIFY(coefs->functionRow()->isHidden());

    coefs->showTypeCombo()->setCurrentIndex(1);
    QCOMPARE(channel.showType(), 1);
    QVERIFY(!coefs->functionRow()->isHidden());
    channel.setShowType(0);
    QCOMPARE(coefs->showTypeCombo()->currentIndex(), 0);
    QVERIFY(coefs->functionRow()->isHidden());

    // Hidden with the graph, and the row stays hidden until both allow it.
    channel.setShowType(1);
    channel.setGraphShown(false);
    QVERIFY(coefs->functionRow()->isHidden());
    channel.setGraphShown(true);
    QVERIFY(!coefs->functionRow()->isHidden());
}

void TestChannelDisplays::feedFromAnotherThread()
{
    ZAnalogIn channel(componentId(AnalogInKind, 0));
    display(channel);
    channel.setSampling(true);
    channel.setGraphShown(false);
    constexpr int Samples = 3000;
    std::thread feeder([&channel] {
        for (int i = 0; i < Samples; ++i)
            appendOne(channel, 0.001 * (i + 1), i);
    });
    auto *strip = m_display->findChild<ZLastDspr *>();
    QTRY_COMPARE_WITH_TIMEOUT(strip->timeField()->text(), QStringLiteral("3"), 20000);
    feeder.join();
    QCoreApplication::sendPostedEvents();
    QVERIFY(strip->graphCheck()->isEnabled());

    auto *graph = m_display->findChild<ZGraphDspr *>();
    QVERIFY(graph->curveData());
    channel.setSampling(false);
    channel.setGraphShown(true); // the catch-up of a hidden graph
    QCOMPARE(graph->curveData()->count(), std::size_t(Samples));
    QVERIFY(!graph->isPending());
}

// A signal queued by the last append of a run can arrive after the next run has cleared
// the series: it must neither enable Graph nor replace the placeholder point.
void TestChannelDisplays::staleSignalAfterClearing()
{
    ZEdgeCnt channel(componentId(EdgeCntKind, 0));
    appendOne(channel, 1.0, 7);
    display(channel);
    channel.setSampling(true);
    emit channel.dataAppended(1);
    auto *strip = m_display->findChild<ZLastDspr *>();
    QVERIFY(!strip->graphCheck()->isEnabled());
    QCOMPARE(strip->timeField()->text(), QStringLiteral("0"));
    auto *graph = m_display->findChild<ZGraphDspr *>();
    QVERIFY(!graph->curveData());
    QCOMPARE(graph->curve()->dataSize(), size_t(1));
}

void TestChannelDisplays::detachingEmptiesTheDisplay()
{
    ZDigitIn channel(componentId(DigitInKind, 0));
    display(channel);
    QVERIFY(m_display->findChild<ZGraphDspr *>());
    m_display->detach(&channel);
    QVERIFY(!m_display->findChild<ZGraphDspr *>());
    QVERIFY(!m_display->findChild<ZLastDspr *>());
    appendOne(channel, 1.0, 1); // nobody listens any more
}

template<class Graph> Graph *TestChannelDisplays::makeGraph(ZInChannel &channel)
{
    auto *graph = new Graph(m_window.get());
    graph->setClock(m_clock);
    m_window->layout()->addWidget(graph);
    graph->attach(&channel);
    return graph;
}

void TestChannelDisplays::placeholderAndZoomerLife()
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

void TestChannelDisplays::throttleAndPending_data()
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

void TestChannelDisplays::throttleAndPending()
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

void TestChannelDisplays::rebuildsOnClearAndShowType()
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

void TestChannelDisplays::functionValuesRedrawnInPlace()
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

void TestChannelDisplays::titlesAndColours_data()
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

void TestChannelDisplays::titlesAndColours()
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

void TestChannelDisplays::digitalAxisStaysFixedAfterZoomingOut()
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

void TestChannelDisplays::otherKindGetsPlaceholderOnly()
{
    ZDigitIn channel(componentId(DigitInKind, 0));
    appendSamples(channel, 5);
    ZGraphVolt graph;
    graph.attach(&channel);
    appendSamples(channel, 5);
    QVERIFY(!graph.curveData());
    QVERIFY(!createGraphDspr(nullptr, nullptr));
}

void TestChannelDisplays::printsToPdf()
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

void TestChannelDisplays::columnsLookLikeEveryPoint_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<bool>("zoomedIn");
    QTest::newRow("noisy sine") << "noisy sine" << false;
    QTest::newRow("square wave") << "square wave" << false;
    QTest::newRow("single-sample spike") << "single-sample spike" << false;
    QTest::newRow("noisy sine zoomed in") << "noisy sine" << true;
}

void TestChannelDisplays::columnsLookLikeEveryPoint()
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

QTEST_MAIN(TestChannelDisplays)
#include "tst_channeldisplays.moc"
