// quoravi-window-shot: the whole window during a run on the simulated box, saved as a
// picture offscreen (the README's screenshot). A UX-107 samples two analog inputs, the
// digital input and the counter with their graphs shown for a few seconds.
//
//   quoravi-window-shot [file]     (default window.png)

#include "app/zappobservable.h"
#include "app/zeventdispatcher.h"
#include "device/zrealbox.h"
#include "ui/mainwindow.h"
#include "ui/zappobserver.h"
#include "ui/zboxobserver.h"
#include "ui/zentry.h"
#include "ui/zuiresources.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSettings>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QToolBar>

namespace {

constexpr int UX107 = 8;
constexpr int Width = 1280;
constexpr int Height = 860;
// Long enough for the graphs to hold a few periods of the simulated signals.
constexpr int RunMs = 4000;

void pumpEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int fail(const QString &why)
{
    QTextStream(stderr) << "quoravi-window-shot: " << why << "\n";
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useQtEventDispatcher();
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const QString file = arguments.size() > 1 ? arguments[1] : QStringLiteral("window.png");

    // A settings store of its own: the user's configuration stays as it is.
    QTemporaryDir settingsDir;
    QStandardPaths::setTestModeEnabled(true);
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        QSettings::setPath(format, QSettings::UserScope, settingsDir.path());
    initUiResources();
    applyQuoraviLook(application);
    application.setWindowIcon(QIcon(QStringLiteral(":/images/appLogo.png")));

    MainWindow window(true);
    ZAppObservable &app = *window.appObservable();
    app.setBoxType(UX107);
    ZRealBox &box = *app.activeBox();
    for (ZInChannel *channel : { static_cast<ZInChannel *>(box.analogIns()[0]),
                                 static_cast<ZInChannel *>(box.analogIns()[1]),
                                 static_cast<ZInChannel *>(box.digitIns()[0]),
                                 static_cast<ZInChannel *>(box.edgeCnts()[0]) }) {
        channel->setSelected(true);
        channel->setInterval(20.0);
        channel->setGraphShown(true);
    }
    window.setWindowState(Qt::WindowNoState);
    window.resize(Width, Height);
    window.show();

    for (QAction *action : window.toolBar()->actions())
        if (action->text() == QLatin1String("Start"))
            action->trigger();
    if (!app.isSampling())
        return fail(QStringLiteral("the simulated box did not start"));

    const auto *page = qobject_cast<ZBoxObserver *>(window.appObserver()->pages()->widget(0));
    QTabWidget *tabs = page ? page->tabs() : nullptr;
    for (int i = 0; tabs && i < tabs->count(); ++i)
        if (tabs->tabText(i) == QLatin1String("Display"))
            tabs->setCurrentIndex(i);
    pumpEvents(RunMs);

    if (!window.grab().save(file))
        return fail(QStringLiteral("cannot write %1").arg(file));
    app.requestStop();
    QTextStream(stdout) << file << "\n";
    return 0;
}
