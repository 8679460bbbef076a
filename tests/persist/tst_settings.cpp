#include "persisttestutil.h"

#include "app/zappobservable.h"
#include "device/zrealbox.h"
#include "device/zusbbridge.h"
#include "persist/zchannelsettings.h"
#include "persist/zsettings.h"
#include "persist/zsettingscommands.h"

#include <QtTest>

#include <functional>
#include <thread>

namespace {

// An application model that never reaches a device: these tests only configure boxes.
inline ZAppObservable::BridgeFactory noBridge()
{
    return [](int) {
        return std::unique_ptr<ZUsbBridge>();
    };
}

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

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void changesAreStoredAndRestored();
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

// Each change writes its own keys only, and what was stored comes back after a restart,
// whichever of model and store goes first.
void TestSettings::changesAreStoredAndRestored()
{
    for (const bool modelFirst : { true, false }) {
        const QString file = path(QStringLiteral("restart-%1.conf").arg(modelFirst));
        QStringList before;
        {
            auto app = std::make_unique<ZAppObservable>(noBridge());
            auto settings = std::make_unique<ZSettings>(file, QSettings::NativeFormat);
            settings->attach(app.get());
            app->setBoxType(8);
            ZRealBox &b = *app->activeBox();
            const auto written = [&](const std::function<void()> &change) {
                settings->clear();
                change();
                QStringList keys = settings->allKeys();
                keys.sort();
                return keys.join(QLatin1Char(' ')).remove(QLatin1String("UX-107/"));
            };
            QCOMPARE(written([&] { b.analogIns()[1]->setSelected(true); }), "AngIn/2/selected");
            QCOMPARE(written([&] { b.analogIns()[1]->setInterval(4.5); }), "AngIn/2/interval");
            QCOMPARE(written([&] { b.analogIns()[2]->setRange(1); }), "AngIn/3/range");
            QCOMPARE(written([&] { b.analogIns()[2]->setShowType(1); }), "AngIn/3/showType");
            QCOMPARE(written([&] {
                         b.analogIns()[3]->setCoefs({ -1.5, 0.1 + 0.2, 1e-7, 3, 0, 2 });
                     }),
                     "AngIn/4/coef0 AngIn/4/coef1 AngIn/4/coef2 AngIn/4/coef3 AngIn/4/coef4 "
                     "AngIn/4/coef5");
            QCOMPARE(written([&] { b.digitIns()[0]->setInterval(250.0); }), "DgtIn/1/interval");
            QCOMPARE(written([&] { b.edgeCnts()[0]->setSelected(true); }), "EgeCnt/1/selected");
            QCOMPARE(written([&] { b.analogOuts()[0]->setOutMode(OutTriangle); }),
                     "AngOut/1/outMode");
            QCOMPARE(written([&] { b.analogOuts()[0]->setVoltage(3.3); }), "AngOut/1/voltage");
            QCOMPARE(written([&] { b.analogOuts()[0]->setInterval(2000.0); }), "AngOut/1/interval");
            QCOMPARE(written([&] { b.digitOuts()[1]->setOutMode(OutPwm); }), "DgtOut/2/outMode");
            QCOMPARE(written([&] { b.digitOuts()[1]->setStatus(true); }), "DgtOut/2/status");
            QCOMPARE(written([&] { b.digitOuts()[1]->setDutyRatio(75); }), "DgtOut/2/dutyRatio");
            QCOMPARE(written([&] { b.digitOuts()[1]->setInterval(5000.0); }), "DgtOut/2/interval");
            QCOMPARE(written([&] { app->setStartTrigger(TriggerFalling); }), "startTrigger");
            QCOMPARE(written([&] { app->setStopTrigger(TriggerTimeOut); }), "stopTrigger");
            QCOMPARE(written([&] { app->setDuration(90.125); }), "duration");
            QCOMPARE(written([&] { b.analogIns()[0]->setRange(8); }), ""); // no change
            // Samples arrive on the communication thread: the store is left alone there.
            QCOMPARE(written([&] {
                         std::thread([&] {
                             const double times[] = { 0.001, 0.002 };
                             const int raws[] = { 1000, 2000 };
                             b.analogIns()[0]->append(times, raws, 2);
                             b.digitIns()[0]->append(times, raws, 2);
                         }).join();
                     }),
                     "");
            {
                // Settings of another kind attached to a channel leave it to its own.
                ZDigitIn *di = b.digitIns()[0];
                ZAngInSettings analog(*settings);
                ZDgtOutSettings digitalOut(*settings);
                analog.attach(di);
                QVERIFY(!analog.load());
                QVERIFY(!analog.update(IntervalChanged));
                QVERIFY(!analog.save());
                QVERIFY(digitalOut.attach(di));
                QCOMPARE(written([&] { di->setInterval(300.0); }), "DgtIn/1/interval");
            }
            before = configuration(*app);
            if (modelFirst)
                app.reset();
        }
        // The file other builds read: an INI text with these keys and value forms.
        const QByteArray text = readAll(file);
        QVERIFY(text.startsWith("[General]\nboxType=8\n"));
        for (const char *line :
             { "\n[UX-107]\n", "AngIn\\size=4\n", "AngIn\\2\\selected=true\n",
               "AngIn\\2\\interval=4.5\n", "AngIn\\4\\coef1=0.30000000000000004\n",
               "DgtOut\\2\\dutyRatio=75\n" })
            QVERIFY2(text.contains(line), line);
        ZAppObservable app(noBridge());
        ZSettings settings(file, QSettings::NativeFormat);
        settings.attach(&app);
        QCOMPARE(configuration(app), before);
    }
}

// Saving replaces what the file held and spans every box type used; loading applies to
// the current type only, and refuses what is not a readable INI file.
void TestSettings::settingsCommands()
{
    // Attached the way the main window does it: model first, then the store.
    ZAppObservable app(noBridge());
    ZSettings settings(path(QStringLiteral("store-commands.ini")), QSettings::IniFormat);
    settings.attach(&app);
    app.setBoxType(1);
    const auto box = [&app]() -> ZRealBox & {
        return *app.activeBox();
    };
    box().analogIns()[0]->setInterval(50.0);
    app.setStartTrigger(TriggerRising);
    app.setBoxType(10);
    box().analogIns()[2]->setCoefs({ 0.5, 2.0, 0.25, 0, 0, 0 });
    box().analogOuts()[3]->setVoltage(1.75);
    app.setDuration(12.5);
    ZSettingsCommands commands(settings);
    const QString good = path(QStringLiteral("saved.ini"));
    writeAll(good, "[Stale]\nold=1\n");
    QCOMPARE(summary(commands.saveSettings(good)),
             QStringLiteral("succeeded | Save Settings succeeded."));
    const QByteArray text = readAll(good);
    QVERIFY(text.contains("[General]\n") && text.contains("\n[UX-100]\n"));
    QVERIFY(text.contains("\n[UX-109]\n") && !text.contains("Stale"));
    {
        QSettings ini(good, QSettings::IniFormat);
        QStringList values;
        for (const char *key : { "boxType", "startTrigger", "duration", "UX-100/AngIn/1/interval",
                                 "UX-109/AngIn/3/coef2", "UX-109/AngOut/4/voltage",
                                 "UX-109/EgeCnt/size", "UX-100/EgeCnt/size" })
            values << ini.value(key, "none").toString();
        QCOMPARE(values.join(QLatin1Char(' ')),
                 QStringLiteral("10 %1 12.5 50 0.25 1.75 2 none").arg(TriggerRising));
    }

    // An existing file that is not INI is refused before anything is written; a file that
    // cannot be written is only found out by the final write. A failed load changes nothing.
    const QString notIni = path(QStringLiteral("not.ini"));
    const QString badIni = path(QStringLiteral("bad.ini"));
    const QByteArray garbage("[General\n\"unterminated\n\x01\xff=1\n");
    writeAll(notIni, garbage);
    writeAll(badIni, "[General\nduration=5\n\x01\xff\n");
    box().analogIns()[0]->setInterval(40.0);
    box().analogIns()[1]->setShowType(1);
    const QStringList unchanged = configuration(app);
    for (const QString &bad : { notIni, good + QStringLiteral("/inside.ini"),
                                path(QStringLiteral("missing.ini")), badIni }) {
        const bool save = bad != badIni && !bad.contains(QLatin1String("missing"));
        const QString what
            = save ? QStringLiteral("Save Settings") : QStringLiteral("Load Settings");
        QCOMPARE(summary(save ? commands.saveSettings(bad) : commands.loadSettings(bad)),
                 QStringLiteral("failed | warning | %1 | Can't %1 %2 %3. | %1 failed.")
                     .arg(what, save ? "to" : "from", bad));
        QCOMPARE(configuration(app), unchanged);
    }
    QCOMPARE(readAll(notIni), garbage);
    writeAll(good,
             "[General]\nboxType=1\nstartTrigger=2\nstopTrigger=3\nduration=7.25\n\n"
             "[UX-100]\nAngIn\\1\\interval=60\n\n"
             "[UX-109]\nAngIn\\2\\interval=80\nAngIn\\2\\coef1=3\nAngIn\\3\\interval=abc\n"
             "AngIn\\3\\range=3\nAngIn\\3\\coef0=nan\nAngIn\\3\\coef1=4\nAngIn\\4\\range=abc\n"
             "DgtOut\\1\\dutyRatio=0\nDgtOut\\1\\outMode=4\nDgtOut\\2\\dutyRatio=65537\n");
    const ZRealBox *before = &box();
    QCOMPARE(summary(commands.loadSettings(good)),
             QStringLiteral("succeeded | Load Settings succeeded."));
    // The box type stays, and so does the box; what the file does not hold stays too, and
    // what it holds passes the model's checks.
    QCOMPARE(&box(), before);
    QCOMPARE(
        configuration(app).filter(QRegularExpression(QStringLiteral("^(type|AI[1-4]|DO[12]) "))),
        QStringList({ "type 10 start 2 stop 3 duration 7.25", "AI1 false 40 1 0 0,1,0,0,0,0",
                      "AI2 false 80 1 1 0,3,0,0,0,0", "AI3 false 1 1 0 0.5,4,0.25,0,0,0",
                      "AI4 false 1000 1 0 0,1,0,0,0,0", "DO1 1 false 4081.6326530612246 1",
                      "DO2 1 false 1e+06 99" })); // 99, not 1
    // The other type's values wait in the store until that type is chosen.
    QCOMPARE(settings.value("boxType").toInt(), 10);
    app.setBoxType(1);
    QCOMPARE(box().analogIns()[0]->interval(), 60.0);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
