#include "ui/zentry.h"

#include "ui/mainwindow.h"
#include "ui/zsingleapplication.h"

#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>

const char *const QuoraviStyleSheet
    = " QGroupBox {font-weight: bold}  QToolBar {background-color: lightBlue}  "
      "QLineEdit:read-only {color: gray}  QPushButton#printGraph { background-color: rgb(46, "
      "172, 203); border-style: outset; border-width: 3px; border-radius: 5px; border-color: "
      "beige; min-width: 3em; padding: 1px}  QPushButton#printGraph:pressed { "
      "background-color: green; border-style: inset}";

void applyQuoraviLook(QApplication &application)
{
    application.setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    application.setStyleSheet(QString::fromLatin1(QuoraviStyleSheet));
}

void showAlreadyRunning(int timeoutMs)
{
    QMessageBox box;
    box.setText(QObject::tr("Quoravi is already running!"));
    if (timeoutMs > 0)
        QTimer::singleShot(timeoutMs, &box, &QMessageBox::accept);
    box.exec();
}

int runQuoravi(ZSingleApplication &application, const ZEntryOptions &options)
{
    applyQuoraviLook(application);
    if (application.isRunning()) {
        showAlreadyRunning(options.alreadyRunningTimeoutMs);
        return 0;
    }
    application.setWindowIcon(QIcon(QStringLiteral(":/images/appLogo.png")));
    MainWindow window(options.simulate);
    application.setActivationWindow(&window, true);
    window.show();
    return application.exec();
}
