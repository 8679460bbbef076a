#ifndef ZACQUIRESESSION_H
#define ZACQUIRESESSION_H

#include "zacquireoptions.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

class QTimer;
class ZAppObservable;
class ZSettings;

// One headless acquisition: configure, run until the stop trigger or a signal, write the
// files, report. Exit codes as the tool documents them.
class ZAcquireSession : public QObject
{
    Q_OBJECT

public:
    enum ExitCode { Success = 0, DeviceFailed = 1, UsageError = 2, FileFailed = 3 };

    explicit ZAcquireSession(ZAcquireOptions options, QObject *parent = nullptr);
    ~ZAcquireSession() override;

    int exec();

private:
    int configure();
    bool checkOutputs();
    void warnAboutTheLine();
    int acquire();
    int writeFiles();
    void printSummary();
    void showProgress();
    void stop(int signalNumber);

    const ZAcquireOptions m_options;
    QTextStream m_out;
    QTextStream m_err;
    QTemporaryDir m_settingsDir;
    std::unique_ptr<ZAppObservable> m_app;
    std::unique_ptr<ZSettings> m_settings;
    QElapsedTimer m_elapsed; // since the run was started
    bool m_progressShown = false;
};

#endif // ZACQUIRESESSION_H
