// quoravi-acquire: one acquisition from the command line, on the same model, device
// layer and file writers as the window program.

#include "zacquireoptions.h"
#include "zacquiresession.h"

#include "app/zeventdispatcher.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    useQtEventDispatcher();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quoravi-acquire"));

    ZAcquireOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), &error)) {
        QTextStream(stderr) << "quoravi-acquire: " << error << "\n"
                            << "Try 'quoravi-acquire --help'.\n";
        return ZAcquireSession::UsageError;
    }
    ZAcquireSession session(std::move(options));
    return session.exec();
}
