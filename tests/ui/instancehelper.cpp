// The window program's entry as the single-instance test starts it: the same
// runQuoravi(), with the lock, the settings and the "already running" box's timer given
// by the test on the command line.
//
// usage: quoravi-instance-helper <folder> <box timeout ms>

#include "ui/zentry.h"
#include "ui/zsingleapplication.h"
#include "ui/zuiresources.h"

#include <QSettings>
#include <QStandardPaths>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QStandardPaths::setTestModeEnabled(true);
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        QSettings::setPath(format, QSettings::UserScope, folder);
    ZSingleApplication application(argc, argv, folder);
    initUiResources();
    ZEntryOptions options;
    options.simulate = true;
    options.alreadyRunningTimeoutMs = QString::fromLocal8Bit(argv[2]).toInt();
    return runQuoravi(application, options);
}
