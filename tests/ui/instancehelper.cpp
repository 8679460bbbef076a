// The window program's entry, with the lock and settings folder and the timer of the
// "already running" box given on the command line: quoravi-instance-helper <folder> <ms>

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
