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

QString line(const char *kind, const ZComponent *c, std::initializer_list<QVariant> values)
{
    QStringList texts { QLatin1String(kind) + QString::number(channelOf(c->id()) + 1) };
    for (const QVariant &value : values)
        texts << value.toString(); // doubles in their shortest exact form
    return texts.join(QLatin1Char(' '));
}

// Everything the store keeps of a box, in one comparable list.
QStringList configuration(const ZAppObservable &app)
{
    QStringList lines { QStringLiteral("type %1 start %2 stop %3 duration %4")
                            .arg(app.boxType())
                            .arg(app.startTrigger())
                            .arg(app.stopTrigger())
                            .arg(QVariant(app.duration()).toString()) };
    for (const ZAnalogIn *c : app.activeBox()->analogIns()) {
        QStringList coefs;
        for (const double k : c->coefs())
            coefs << QVariant(k).toString();
        lines << line("AI", c, { c->isSelected(), c->interval(), c->range(), c->showType() })
                + QLatin1Char(' ') + coefs.join(QLatin1Char(','));
    }
    for (const ZDigitIn *c : app.activeBox()->digitIns())
        lines << line("DI", c, { c->isSelected(), c->interval() });
    for (const ZEdgeCnt *c : app.activeBox()->edgeCnts())
        lines << line("CN", c, { c->isSelected(), c->interval() });
    for (const ZAnalogOut *c : app.activeBox()->analogOuts())
        lines << line("AO", c, { c->outMode(), c->voltage(), c->interval() });
    for (const ZDigitOut *c : app.activeBox()->digitOuts())
        lines << line("DO", c, { c->outMode(), c->status(), c->interval(), c->dutyRatio() });
    return lines;
}

// A settings store on a private file, attached to an application model the way the main
// window does it: model first, then the store.
struct Rig
{
    explicit Rig(const QString &fileName, int boxType = 0)
        : app(noBridge())
        , settings(std::make_unique<ZSettings>(fileName, QSettings::IniFormat))
    {
        settings->attach(&app);
        if (boxType)
            app.setBoxType(boxType);
    }
    ~Rig() { settings.reset(); }

    ZRealBox &box() const { return *app.activeBox(); }

    ZAppObservable app;
    std::unique_ptr<ZSettings> settings;
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keyPathsAndTypes();
    void changeWritesOnlyItsKey();
    void exportSpansEveryBoxTypeUsed();
    void importAppliesToTheCurrentTypeOnly();
    void restartRestoresTheConfiguration();
    void storedValuesPassTheModelChecks_data();
    void storedValuesPassTheModelChecks();
    void settingsOfAnotherKindLeaveTheChannelAlone();
    void settingsCommands();

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
        Rig rig(file, 1);
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
    for (const char *absent : { "EgeCnt", "AngOut", "AngIn\\3" })
        QVERIFY2(!text.contains(absent), absent);
}

void TestSettings::changeWritesOnlyItsKey()
{
    using Change = std::function<void(ZRealBox &, ZAppObservable &)>;
    const QString ai2 = QStringLiteral("UX-103/AngIn/2/coef%1");
    const QList<std::tuple<const char *, Change, QStringList>> cases {
        { "range",
          [](ZRealBox &b, auto &) { b.analogIns()[2]->setRange(2); },
          { "UX-103/AngIn/3/range" } },
        { "interval",
          [](ZRealBox &b, auto &) { b.analogIns()[0]->setInterval(20.0); },
          { "UX-103/AngIn/1/interval" } },
        { "selected",
          [](ZRealBox &b, auto &) { b.analogIns()[3]->setSelected(true); },
          { "UX-103/AngIn/4/selected" } },
        { "show type",
          [](ZRealBox &b, auto &) { b.analogIns()[1]->setShowType(1); },
          { "UX-103/AngIn/2/showType" } },
        { "coefficients",
          [](ZRealBox &b, auto &) {
              b.analogIns()[1]->setCoefs({ 1, 2, 0, 0, 0, 0 });
          },
          { ai2.arg(0), ai2.arg(1), ai2.arg(2), ai2.arg(3), ai2.arg(4), ai2.arg(5) } },
        { "digital input",
          [](ZRealBox &b, auto &) { b.digitIns()[0]->setSelected(true); },
          { "UX-103/DgtIn/1/selected" } },
        { "duty ratio",
          [](ZRealBox &b, auto &) { b.digitOuts()[0]->setDutyRatio(20); },
          { "UX-103/DgtOut/1/dutyRatio" } },
        { "out mode",
          [](ZRealBox &b, auto &) { b.digitOuts()[0]->setOutMode(OutPwm); },
          { "UX-103/DgtOut/1/outMode" } },
        { "status",
          [](ZRealBox &b, auto &) { b.digitOuts()[0]->setStatus(true); },
          { "UX-103/DgtOut/1/status" } },
        { "stop trigger",
          [](auto &, ZAppObservable &a) { a.setStopTrigger(TriggerTimeOut); },
          { "stopTrigger" } },
        { "duration", [](auto &, ZAppObservable &a) { a.setDuration(2.5); }, { "duration" } },
        { "nothing stored", [](ZRealBox &b, auto &) { b.analogIns()[0]->setRange(8); }, {} },
        // Samples arrive on the communication thread: the store is left alone there.
        { "samples",
          [](ZRealBox &b, auto &) {
              std::thread([&] {
                  const double times[] = { 0.001, 0.002 };
                  const int raws[] = { 1000, 2000 };
                  b.analogIns()[0]->append(times, raws, 2);
                  b.digitIns()[0]->append(times, raws, 2);
              }).join();
          },
          {} },
    };
    for (const auto &[name, change, keys] : cases) {
        Rig rig(path(QStringLiteral("changes.ini")), 4);
        rig.settings->clear();
        change(rig.box(), rig.app);
        QStringList written = rig.settings->allKeys();
        written.sort();
        QVERIFY2(written == keys, name);
    }
}

void TestSettings::exportSpansEveryBoxTypeUsed()
{
    Rig rig(path(QStringLiteral("store-export.ini")), 1);
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
    QVERIFY(text.contains("[General]\n") && text.contains("\n[UX-100]\n"));
    QVERIFY(text.contains("\n[UX-109]\n") && !text.contains("Stale"));
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
    Rig rig(path(QStringLiteral("store-import.ini")), 4);
    rig.box().analogIns()[0]->setInterval(40.0);
    rig.box().analogIns()[1]->setRange(4);
    const ZRealBox *before = &rig.box();
    {
        QSettings ini(file, QSettings::IniFormat);
        rig.settings->loadFrom(ini);
    }
    // The box type stays, and so does the box; what the file does not hold stays too.
    QCOMPARE(&rig.box(), before);
    QCOMPARE(configuration(rig.app).mid(0, 3),
             QStringList({ "type 4 start 2 stop 3 duration 7.25", "AI1 false 40 8 0 0,1,0,0,0,0",
                           "AI2 false 80 4 0 0,3,0,0,0,0" }));
    QCOMPARE(rig.box().digitOuts()[0]->dutyRatio(), quint16(30));
    // The other type's values wait in the store until that type is chosen.
    QCOMPARE(rig.settings->value("boxType").toInt(), 4);
    rig.app.setBoxType(1);
    QCOMPARE(rig.box().analogIns()[0]->interval(), 50.0);
}

void TestSettings::restartRestoresTheConfiguration()
{
    for (const bool modelFirst : { true, false }) {
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
            if (modelFirst)
                app.reset();
        }
        ZAppObservable app(noBridge());
        ZSettings settings(file, QSettings::NativeFormat);
        settings.attach(&app);
        QCOMPARE(configuration(app), before);
    }
}

void TestSettings::storedValuesPassTheModelChecks_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("expected"); // the first analog input, the first digital output
    const QString plain = QStringLiteral("AI1 false 1000 8 0 0,1,0,0,0,0 | DO1 1 false 1e+06 50");
    QTest::newRow("text as interval")
        << QByteArray("AngIn\\1\\interval=abc") << QString(plain).replace(" 1000 8", " 3.125 8");
    QTest::newRow("unsupported range") << QByteArray("AngIn\\1\\range=3") << plain;
    QTest::newRow("text as range") << QByteArray("AngIn\\1\\range=abc") << plain;
    QTest::newRow("coefficient not finite") << QByteArray("AngIn\\1\\coef0=nan\nAngIn\\1\\coef1=4")
                                            << QString(plain).replace("0,1,", "0,4,");
    QTest::newRow("duty ratio zero")
        << QByteArray("DgtOut\\1\\dutyRatio=0") << QString(plain).replace(" 50", " 1");
    QTest::newRow("duty ratio beyond 16 bits") << QByteArray("DgtOut\\1\\dutyRatio=65537")
                                               << QString(plain).replace(" 50", " 99"); // not 1
    QTest::newRow("out mode outside the mask") << QByteArray("DgtOut\\1\\outMode=4") << plain;
}

void TestSettings::storedValuesPassTheModelChecks()
{
    QFETCH(QByteArray, stored);
    const QString file = path(QStringLiteral("odd.ini"));
    writeAll(file, "[General]\nboxType=4\n\n[UX-103]\n" + stored + "\n");
    Rig rig(file);
    const QStringList lines = configuration(rig.app);
    QTEST(lines[1] + " | " + lines.filter(QStringLiteral("DO")).first(), "expected");
}

void TestSettings::settingsOfAnotherKindLeaveTheChannelAlone()
{
    Rig rig(path(QStringLiteral("kinds.ini")), 8);
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

void TestSettings::settingsCommands()
{
    Rig rig(path(QStringLiteral("store-commands.ini")), 2);
    ZSettingsCommands commands(*rig.settings);
    const QString good = path(QStringLiteral("saved.ini"));
    ZCommandOutcome outcome = commands.saveSettings(good);
    QVERIFY(outcome.succeeded);
    QCOMPARE(outcome.message, ZCommandOutcome::NoMessage);
    QCOMPARE(outcome.statusText, QStringLiteral("Save Settings succeeded."));
    QVERIFY(readAll(good).contains("[UX-101]"));

    // An existing file that is not INI is refused before anything is written; a file that
    // cannot be written is only found out by the final write.
    const QString notIni = path(QStringLiteral("not.ini"));
    const QByteArray garbage("[General\n\"unterminated\n\x01\xff=1\n");
    writeAll(notIni, garbage);
    for (const QString &bad : { notIni, good + QStringLiteral("/inside.ini") }) {
        outcome = commands.saveSettings(bad);
        QVERIFY(!outcome.succeeded);
        QCOMPARE(outcome.message, ZCommandOutcome::WarningMessage);
        QCOMPARE(outcome.messageTitle, QStringLiteral("Save Settings"));
        QCOMPARE(outcome.messageText, QStringLiteral("Can't Save Settings to %1.").arg(bad));
        QCOMPARE(outcome.statusText, QStringLiteral("Save Settings failed."));
    }
    QCOMPARE(readAll(notIni), garbage);

    const QStringList before = configuration(rig.app);
    const QString badIni = path(QStringLiteral("bad.ini"));
    writeAll(badIni, "[General\nduration=5\n\x01\xff\n");
    for (const QString &bad : { path(QStringLiteral("missing.ini")), badIni }) {
        outcome = commands.loadSettings(bad);
        QVERIFY(!outcome.succeeded);
        QCOMPARE(outcome.message, ZCommandOutcome::WarningMessage);
        QCOMPARE(outcome.messageTitle, QStringLiteral("Load Settings"));
        QCOMPARE(outcome.messageText, QStringLiteral("Can't Load Settings from %1.").arg(bad));
        QCOMPARE(outcome.statusText, QStringLiteral("Load Settings failed."));
        QCOMPARE(configuration(rig.app), before);
    }
    writeAll(good, "[General]\nduration=5\n\n[UX-101]\nDgtIn\\1\\selected=true\n");
    outcome = commands.loadSettings(good);
    QVERIFY(outcome.succeeded);
    QCOMPARE(outcome.statusText, QStringLiteral("Load Settings succeeded."));
    QCOMPARE(rig.app.duration(), 5.0);
    QVERIFY(rig.box().digitIns()[0]->isSelected());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
