#include "ui/zcoefscfgr.h"
#include "ui/zcurvedata.h"
#include "ui/zgraphdspr.h"
#include "ui/zinchldspr.h"
#include "ui/zlastdspr.h"
#include "ui/zlighticon.h"
#include "ui/zuiresources.h"
#include "uitestutil.h"

#include <qwt_plot_curve.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

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

class TestChannelDisplays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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

private:
    ZInChlDspr *display(ZInChannel &channel);

    std::unique_ptr<ZInChlDspr> m_display;
};

void TestChannelDisplays::initTestCase()
{
    initUiResources();
}

void TestChannelDisplays::cleanup()
{
    m_display.reset();
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

    // Print reaches the graph.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("print.pdf"));
    graph->setPrintChooser([&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return true;
    });
    QTest::mouseClick(print, Qt::LeftButton);
    QVERIFY(QFileInfo(path).size() > 1000);

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

QTEST_MAIN(TestChannelDisplays)
#include "tst_channeldisplays.moc"
