#include "persisttestutil.h"

#include "app/zappobservable.h"
#include "device/zrealbox.h"
#include "persist/zchannelsettings.h"
#include "persist/zsettings.h"
#include "persist/zsettingscommands.h"

#include <QtTest>

#include <functional>
#include <thread>

namespace {

// Everything the store keeps of a box, in one comparable list.
QStringList configuration(const ZAppObservable &app)
{
    QStringList lines;
    lines << QStringLiteral("type %1 start %2 stop %3 duration %4")
                 .arg(app.boxType())
                 .arg(app.startTrigger())
                 .arg(app.stopTrigger())
                 .arg(app.duration(), 0, 'g', 17);
    const ZRealBox *box = app.activeBox();
    if (!box)
        return lines;
    for (const ZAnalogIn *c : box->analogIns()) {
        QStringList coefs;
        for (const double k : c->coefs())
            coefs << QString::number(k, 'g', 17);
        lines << QStringLiteral("AI%1 %2 %3 %4 %5 %6")
                     .arg(c->id())
                     .arg(c->isSelected())
                     .arg(c->interval(), 0, 'g', 17)
                     .arg(c->range())
                     .arg(c->showType())
                     .arg(coefs.join(QLatin1Char(',')));
    }
    for (const ZDigitIn *c : box->digitIns())
        lines << QStringLiteral("DI%1 %2 %3").arg(c->id()).arg(c->isSelected()).arg(c->interval());
    for (const ZEdgeCnt *c : box->edgeCnts())
        lines << QStringLiteral("CN%1 %2 %3").arg(c->id()).arg(c->isSelected()).arg(c->interval());
    for (const ZAnalogOut *c : box->analogOuts())
        lines << QStringLiteral("AO%1 %2 %3 %4")
                     .arg(c->id())
                     .arg(c->outMode())
                     .arg(c->voltage(), 0, 'g', 17)
                     .arg(c->interval(), 0, 'g', 17);
    for (const ZDigitOut *c : box->digitOuts())
        lines << QStringLiteral("DO%1 %2 %3 %4 %5")
                     .arg(c->id())
                     .arg(c->outMode())
                     .arg(c->status())
                     .arg(c->interval(), 0, 'g', 17)
                     .arg(c->dutyRatio());
    return lines;
}

// A settings store on a private file, attached to an application model the way the main
// window does it: model first, then the store.
struct Rig
{
    explicit Rig(const QString &fileName)
        : app(noBridge())
        , settings(std::make_unique<ZSettings>(fileName, QSettings::IniFormat))
    {
        settings->attach(&app);
    }
    ~Rig() { settings.reset(); }

    ZRealBox &box() const { return *app.activeBox(); }

    ZAppObservable app;
    std::unique_ptr<ZSettings> settings;
};

using Change = std::function<void(ZAppObservable &)>;

ZRealBox &boxOf(ZAppObservable &app)
{
    return *app.activeBox();
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keyPathsAndTypes();
    void changeWritesOnlyItsKey_data();
    void changeWritesOnlyItsKey();
    void exportSpansEveryBoxTypeUsed();
    void importAppliesToTheCurrentTypeOnly();
    void restartRestoresTheConfiguration_data();
    void restartRestoresTheConfiguration();
    void storedValuesPassTheModelChecks_data();
    void storedValuesPassTheModelChecks();
    void settingsOfAnotherKindLeaveTheChannelAlone();
    void saveSettingsCommand();
    void loadSettingsCommand();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void TestSettings::initTestCase()
{
    QVERIFY(m_dir.isValid());
    redirectUserSettings(m_dir);
}

void TestSettings::keyPathsAndTypes()
{
    const QString file = path(QStringLiteral("types.ini"));
    {
        Rig rig(file);
        rig.app.setBoxType(1);
        rig.box().analogIns()[1]->setInterval(12.5);
        rig.settings->saveAll();

        // The values are held with the types they were written with.
        const QList<QPair<const char *, int>> types {
            { "boxType", QMetaType::Int },
            { "duration", QMetaType::Double },
            { "UX-100/AngIn/size", QMetaType::Int },
            { "UX-100/AngIn/2/selected", QMetaType::Bool },
            { "UX-100/AngIn/2/interval", QMetaType::Double },
            { "UX-100/AngIn/2/range", QMetaType::Int },
            { "UX-100/AngIn/2/coef5", QMetaType::Double },
            { "UX-100/DgtOut/1/dutyRatio", QMetaType::UInt },
        };
        for (const auto &[key, type] : types)
            QVERIFY2(rig.settings->value(key).userType() == type, key);
    }
    const QByteArray text = readAll(file);
    QVERIFY(text.startsWith("[General]\n"));
    for (const char *line : { "boxType=1\n",
                              "startTrigger=0\n",
                              "stopTrigger=0\n",
                              "duration=60\n",
                              "\n[UX-100]\n",
                              "AngIn\\size=2\n",
                              "DgtIn\\size=1\n",
                              "DgtOut\\size=1\n",
                              "AngIn\\1\\selected=false\n",
                              "AngIn\\1\\interval=1000\n",
                              "AngIn\\2\\interval=12.5\n",
                              "AngIn\\2\\range=8\n",
                              "AngIn\\2\\showType=0\n",
                              "AngIn\\2\\coef0=0\n",
                              "AngIn\\2\\coef1=1\n",
                              "AngIn\\2\\coef5=0\n",
                              "DgtIn\\1\\interval=1000\n",
                              "DgtOut\\1\\outMode=1\n",
                              "DgtOut\\1\\status=false\n",
                              "DgtOut\\1\\dutyRatio=50\n" })
        QVERIFY2(text.contains(line), line);
    // Kinds the box does not have get no keys at all, not even a count.
    QVERIFY(!text.contains("EgeCnt"));
    QVERIFY(!text.contains("AngOut"));
    QVERIFY(!text.contains("AngIn\\3"));
}

void TestSettings::changeWritesOnlyItsKey_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("keys");

    const auto ai = [](ZAppObservable &app, int i) {
        return boxOf(app).analogIns()[i];
    };
    QTest::newRow("range") << Change([=](ZAppObservable &app) { ai(app, 2)->setRange(2); })
                           << QStringList { "UX-103/AngIn/3/range" };
    QTest::newRow("interval") << Change([=](ZAppObservable &app) { ai(app, 0)->setInterval(20.0); })
                              << QStringList { "UX-103/AngIn/1/interval" };
    QTest::newRow("selected") << Change([=](ZAppObservable &app) { ai(app, 3)->setSelected(true); })
                              << QStringList { "UX-103/AngIn/4/selected" };
    QTest::newRow("show type") << Change([=](ZAppObservable &app) { ai(app, 1)->setShowType(1); })
                               << QStringList { "UX-103/AngIn/2/showType" };
    QTest::newRow("coefficients") << Change([=](ZAppObservable &app) {
        ai(app, 1)->setCoefs({ 1, 2, 0, 0, 0, 0 });
    }) << QStringList { "UX-103/AngIn/2/coef0", "UX-103/AngIn/2/coef1", "UX-103/AngIn/2/coef2",
                        "UX-103/AngIn/2/coef3", "UX-103/AngIn/2/coef4", "UX-103/AngIn/2/coef5" };
    QTest::newRow("digital input")
        << Change([](ZAppObservable &app) { boxOf(app).digitIns()[0]->setSelected(true); })
        << QStringList { "UX-103/DgtIn/1/selected" };
    QTest::newRow("duty ratio") << Change([](ZAppObservable &app) {
        boxOf(app).digitOuts()[0]->setDutyRatio(20);
    }) << QStringList { "UX-103/DgtOut/1/dutyRatio" };
    QTest::newRow("out mode") << Change([](ZAppObservable &app) {
        boxOf(app).digitOuts()[0]->setOutMode(OutPwm);
    }) << QStringList { "UX-103/DgtOut/1/outMode" };
    QTest::newRow("status") << Change([](ZAppObservable &app) {
        boxOf(app).digitOuts()[0]->setStatus(true);
    }) << QStringList { "UX-103/DgtOut/1/status" };
    QTest::newRow("stop trigger") << Change([](ZAppObservable &app) {
        app.setStopTrigger(TriggerTimeOut);
    }) << QStringList { "stopTrigger" };
    QTest::newRow("duration") << Change([](ZAppObservable &app) { app.setDuration(2.5); })
                              << QStringList { "duration" };
    QTest::newRow("nothing stored")
        << Change([=](ZAppObservable &app) { ai(app, 0)->setRange(8); }) << QStringList();
    // Samples arrive on the communication thread: the store is left alone there.
    QTest::newRow("samples") << Change([=](ZAppObservable &app) {
        std::thread acquisition([&] {
            const double times[] = { 0.001, 0.002 };
            const int raws[] = { 1000, 2000 };
            ai(app, 0)->append(times, raws, 2);
            boxOf(app).digitIns()[0]->append(times, raws, 2);
        });
        acquisition.join();
    }) << QStringList();
}

void TestSettings::changeWritesOnlyItsKey()
{
    QFETCH(Change, change);
    QFETCH(QStringList, keys);

    Rig rig(path(QStringLiteral("changes.ini")));
    rig.app.setBoxType(4);
    rig.settings->clear();
    change(rig.app);
    QStringList written = rig.settings->allKeys();
    written.sort();
    QCOMPARE(written, keys);
}

void TestSettings::exportSpansEveryBoxTypeUsed()
{
    Rig rig(path(QStringLiteral("store-export.ini")));
    rig.app.setBoxType(1);
    rig.box().analogIns()[0]->setInterval(50.0);
    rig.app.setStartTrigger(TriggerRising);
    rig.app.setBoxType(10);
    rig.box().analogIns()[2]->setCoefs({ 0.5, 2.0, 0.25, 0, 0, 0 });
    rig.box().analogOuts()[3]->setVoltage(1.75);
    rig.app.setDuration(12.5);

    const QString file = path(QStringLiteral("export.ini"));
    writeAll(file, "[Stale]\nold=1\n");
    {
        QSettings ini(file, QSettings::IniFormat);
        rig.settings->saveTo(ini);
    }
    const QByteArray text = readAll(file);
    QVERIFY(text.contains("[General]\n"));
    QVERIFY(text.contains("\n[UX-100]\n"));
    QVERIFY(text.contains("\n[UX-109]\n"));
    QVERIFY(!text.contains("Stale"));

    QSettings ini(file, QSettings::IniFormat);
    QCOMPARE(ini.value("boxType").toInt(), 10);
    QCOMPARE(ini.value("startTrigger").toInt(), int(TriggerRising));
    QCOMPARE(ini.value("duration").toDouble(), 12.5);
    QCOMPARE(ini.value("UX-100/AngIn/1/interval").toDouble(), 50.0);
    QCOMPARE(ini.value("UX-109/AngIn/3/coef2").toDouble(), 0.25);
    QCOMPARE(ini.value("UX-109/AngOut/4/voltage").toDouble(), 1.75);
    QCOMPARE(ini.value("UX-109/EgeCnt/size").toInt(), 2);
    QVERIFY(!ini.contains("UX-100/EgeCnt/size"));
}

void TestSettings::importAppliesToTheCurrentTypeOnly()
{
    const QString file = path(QStringLiteral("import.ini"));
    writeAll(file,
             "[General]\nboxType=1\nstartTrigger=2\nstopTrigger=3\nduration=7.25\n\n"
             "[UX-100]\nAngIn\\1\\interval=50\n\n"
             "[UX-103]\nAngIn\\2\\interval=80\nAngIn\\2\\coef1=3\nDgtOut\\1\\dutyRatio=30\n");

    Rig rig(path(QStringLiteral("store-import.ini")));
    rig.app.setBoxType(4);
    rig.box().analogIns()[0]->setInterval(40.0);
    rig.box().analogIns()[1]->setRange(4);
    const ZRealBox *before = &rig.box();
    {
        QSettings ini(file, QSettings::IniFormat);
        rig.settings->loadFrom(ini);
    }
    // The box type stays, and so does the box.
    QCOMPARE(rig.app.boxType(), 4);
    QCOMPARE(&rig.box(), before);
    QCOMPARE(rig.app.startTrigger(), int(TriggerFalling));
    QCOMPARE(rig.app.stopTrigger(), int(TriggerTimeOut));
    QCOMPARE(rig.app.duration(), 7.25);
    QCOMPARE(rig.box().analogIns()[1]->interval(), 80.0);
    QCOMPARE(rig.box().analogIns()[1]->coefs()[1], 3.0);
    QCOMPARE(rig.box().digitOuts()[0]->dutyRatio(), quint16(30));
    // What the file does not hold stays as it was.
    QCOMPARE(rig.box().analogIns()[0]->interval(), 40.0);
    QCOMPARE(rig.box().analogIns()[1]->range(), 4);
    // The other type's values wait in the store until that type is chosen.
    QCOMPARE(rig.settings->value("boxType").toInt(), 4);
    rig.app.setBoxType(1);
    QCOMPARE(rig.box().analogIns()[0]->interval(), 50.0);
}

void TestSettings::restartRestoresTheConfiguration_data()
{
    QTest::addColumn<bool>("modelFirst");
    QTest::newRow("model destroyed first") << true;
    QTest::newRow("store destroyed first") << false;
}

void TestSettings::restartRestoresTheConfiguration()
{
    QFETCH(bool, modelFirst);
    const QString file = path(QStringLiteral("restart-%1.conf").arg(modelFirst));
    QStringList before;
    {
        auto app = std::make_unique<ZAppObservable>(noBridge());
        auto settings = std::make_unique<ZSettings>(file, QSettings::NativeFormat);
        settings->attach(app.get());
        app->setBoxType(8);
        ZRealBox &box = *app->activeBox();
        box.analogIns()[1]->setSelected(true);
        box.analogIns()[1]->setInterval(4.5);
        box.analogIns()[2]->setRange(1);
        box.analogIns()[2]->setShowType(1);
        box.analogIns()[3]->setCoefs({ -1.5, 0.1 + 0.2, 1e-7, 3, 0, 2 });
        box.digitIns()[0]->setInterval(250.0);
        box.edgeCnts()[0]->setSelected(true);
        box.analogOuts()[0]->setOutMode(OutTriangle);
        box.analogOuts()[0]->setVoltage(3.3);
        box.analogOuts()[0]->setInterval(2000.0);
        box.digitOuts()[1]->setOutMode(OutPwm);
        box.digitOuts()[1]->setStatus(true);
        box.digitOuts()[1]->setDutyRatio(75);
        box.digitOuts()[1]->setInterval(5000.0);
        app->setStartTrigger(TriggerFalling);
        app->setStopTrigger(TriggerTimeOut);
        app->setDuration(90.125);
        before = configuration(*app);
        if (modelFirst) {
            app.reset();
            settings.reset();
        } else {
            settings.reset();
            app.reset();
        }
    }
    ZAppObservable app(noBridge());
    ZSettings settings(file, QSettings::NativeFormat);
    settings.attach(&app);
    QCOMPARE(configuration(app), before);
}

void TestSettings::storedValuesPassTheModelChecks_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected"); // interval range coef0 coef1 | duty mode
    QTest::newRow("text as interval")
        << QByteArray("AngIn\\1\\interval=abc") << "3.125 8 0 1 | 50 1";
    QTest::newRow("unsupported range") << QByteArray("AngIn\\1\\range=3") << "1000 8 0 1 | 50 1";
    QTest::newRow("text as range") << QByteArray("AngIn\\1\\range=abc") << "1000 8 0 1 | 50 1";
    QTest::newRow("coefficient not finite")
        << QByteArray("AngIn\\1\\coef0=nan\nAngIn\\1\\coef1=4") << "1000 8 0 4 | 50 1";
    QTest::newRow("duty ratio zero") << QByteArray("DgtOut\\1\\dutyRatio=0") << "1000 8 0 1 | 1 1";
    QTest::newRow("duty ratio beyond 16 bits")
        << QByteArray("DgtOut\\1\\dutyRatio=65537") << "1000 8 0 1 | 99 1"; // not 1
    QTest::newRow("out mode outside the mask")
        << QByteArray("DgtOut\\1\\outMode=4") << "1000 8 0 1 | 50 1";
}

void TestSettings::storedValuesPassTheModelChecks()
{
    QFETCH(QByteArray, stored);
    const QString file = path(QStringLiteral("odd.ini"));
    writeAll(file, "[General]\nboxType=4\n\n[UX-103]\n" + stored + "\n");
    Rig rig(file);
    const ZAnalogIn *ai = rig.box().analogIns()[0];
    const ZDigitOut *out = rig.box().digitOuts()[0];
    QTEST(QStringLiteral("%1 %2 %3 %4 | %5 %6")
              .arg(ai->interval())
              .arg(ai->range())
              .arg(ai->coefs()[0])
              .arg(ai->coefs()[1])
              .arg(out->dutyRatio())
              .arg(out->outMode()),
          "expected");
}

void TestSettings::settingsOfAnotherKindLeaveTheChannelAlone()
{
    Rig rig(path(QStringLiteral("kinds.ini")));
    rig.app.setBoxType(8);
    rig.settings->clear();
    ZDigitIn *di = rig.box().digitIns()[0];
    ZAngInSettings analog(*rig.settings);
    ZDgtOutSettings digitalOut(*rig.settings);
    analog.attach(di);
    QVERIFY(!analog.load());
    QVERIFY(!analog.update(IntervalChanged));
    QVERIFY(!analog.save());
    QVERIFY(digitalOut.attach(di));
    di->setInterval(20.0); // written once, by the store's own digital input settings
    QCOMPARE(rig.settings->allKeys(), QStringList { QStringLiteral("UX-107/DgtIn/1/interval") });
}

void TestSettings::saveSettingsCommand()
{
    Rig rig(path(QStringLiteral("store-save.ini")));
    rig.app.setBoxType(2);
    ZSettingsCommands commands(*rig.settings);

    const QString good = path(QStringLiteral("saved.ini"));
    ZCommandOutcome outcome = commands.saveSettings(good);
    QVERIFY(outcome.succeeded);
    QCOMPARE(outcome.message, ZCommandOutcome::NoMessage);
    QCOMPARE(outcome.statusText, QStringLiteral("Save Settings succeeded."));
    QVERIFY(readAll(good).contains("[UX-101]"));

    // An existing file that is not INI is refused before anything is written.
    const QString notIni = path(QStringLiteral("not.ini"));
    const QByteArray garbage("[General\n\"unterminated\n\x01\xff=1\n");
    writeAll(notIni, garbage);
    outcome = commands.saveSettings(notIni);
    QVERIFY(!outcome.succeeded);
    QCOMPARE(outcome.message, ZCommandOutcome::WarningMessage);
    QCOMPARE(outcome.messageTitle, QStringLiteral("Save Settings"));
    QCOMPARE(outcome.messageText, QStringLiteral("Can't Save Settings to %1.").arg(notIni));
    QCOMPARE(outcome.statusText, QStringLiteral("Save Settings failed."));
    QCOMPARE(readAll(notIni), garbage);

    // A file that cannot be written is only found out by the final write.
    const QString unwritable = good + QStringLiteral("/inside.ini");
    outcome = commands.saveSettings(unwritable);
    QVERIFY(!outcome.succeeded);
    QCOMPARE(outcome.messageText, QStringLiteral("Can't Save Settings to %1.").arg(unwritable));
    QCOMPARE(outcome.statusText, QStringLiteral("Save Settings failed."));
}

void TestSettings::loadSettingsCommand()
{
    Rig rig(path(QStringLiteral("store-load.ini")));
    rig.app.setBoxType(2);
    ZSettingsCommands commands(*rig.settings);
    const QStringList before = configuration(rig.app);

    for (const QString &bad :
         { path(QStringLiteral("missing.ini")), path(QStringLiteral("bad.ini")) }) {
        writeAll(path(QStringLiteral("bad.ini")), "[General\nduration=5\n\x01\xff\n");
        const ZCommandOutcome outcome = commands.loadSettings(bad);
        QVERIFY(!outcome.succeeded);
        QCOMPARE(outcome.message, ZCommandOutcome::WarningMessage);
        QCOMPARE(outcome.messageTitle, QStringLiteral("Load Settings"));
        QCOMPARE(outcome.messageText, QStringLiteral("Can't Load Settings from %1.").arg(bad));
        QCOMPARE(outcome.statusText, QStringLiteral("Load Settings failed."));
        QCOMPARE(configuration(rig.app), before);
    }

    const QString good = path(QStringLiteral("good.ini"));
    writeAll(good, "[General]\nduration=5\n\n[UX-101]\nDgtIn\\1\\selected=true\n");
    const ZCommandOutcome outcome = commands.loadSettings(good);
    QVERIFY(outcome.succeeded);
    QCOMPARE(outcome.statusText, QStringLiteral("Load Settings succeeded."));
    QCOMPARE(rig.app.duration(), 5.0);
    QVERIFY(rig.box().digitIns()[0]->isSelected());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
