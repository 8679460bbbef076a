// quoravi-screenshots: builds the navigation area for one device type on the simulated
// box and saves offscreen pictures of the settings tab, the display tab during a run and
// a playback page, so the layout can be looked at without a display.
//
//   quoravi-screenshots [type] [folder]     (type 1..10, default 10; folder default ".")

#include "zscreenshotsession.h"

#include "app/zeventdispatcher.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    // Pictures need no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    useQtEventDispatcher();
    QApplication application(argc, argv);

    const QStringList arguments = QApplication::arguments();
    bool typeOk = true;
    const int boxType = arguments.size() > 1 ? arguments[1].toInt(&typeOk) : 10;
    const QString folder = arguments.size() > 2 ? arguments[2] : QStringLiteral(".");
    if (!typeOk || boxType < 1 || boxType > 10) {
        QTextStream(stderr) << "usage: quoravi-screenshots [type 1..10] [folder]\n";
        return 2;
    }
    ZScreenshotSession session(boxType, folder);
    const bool ok = session.run();
    for (const QString &line : session.report())
        QTextStream(ok ? stdout : stderr) << line << "\n";
    return ok ? 0 : 1;
}
