#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "model/zobservable.h"
#include "persist/zcommandoutcome.h"
#include "persist/zfilejob.h"
#include "persist/zunsavedsamples.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QEventLoop;
class QToolBar;
class ZAppObservable;
class ZAppObserver;
class ZFileChooser;
class ZMessenger;
class ZProjectCommands;
class ZSettings;
class ZSettingsCommands;

// The application's only top-level window: it owns the application model and the
// settings store, offers the nine commands on its tool bar and keeps their availability
// and the status bar in step with the model.
//
// File names come from a file chooser and messages go to a messenger (the standard
// dialogs unless a test sets its own). File work runs on a worker thread; work that
// lasts longer than the progress delay shows a modal progress dialog with Cancel.
// Closing while the device box holds samples not saved since they were taken asks
// first.
class MainWindow : public QMainWindow, public ZObserver<ZAppObservable>
{
    Q_OBJECT

public:
    // `simulate` puts the simulated box of the chosen type in place of the USB bridge.
    explicit MainWindow(bool simulate = false, QWidget *parent = nullptr);
    ~MainWindow() override;

    void setFileChooser(std::unique_ptr<ZFileChooser> chooser);
    void setMessenger(std::unique_ptr<ZMessenger> messenger);
    // How long file work may run before the progress dialog shows (ms).
    void setProgressDelay(int milliseconds) { m_progressDelayMs = milliseconds; }

    ZAppObservable *appObservable() const { return m_appObservable; }
    ZSettings *settings() const { return m_settings; }
    ZAppObserver *appObserver() const { return m_appObserver; }
    QToolBar *toolBar() const { return m_toolBar; }
    bool hasUnsavedSamples() const { return m_unsaved.hasUnsavedSamples(); }

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void openProject();
    void saveProject();
    void saveData();
    void loadSettings();
    void saveSettings();
    void startRun();
    void stopRun();
    void about();

private:
    void buildToolBar();
    QAction *addCommand(const char *text, const char *icon);
    void enableBoxCommands();
    void enableSaveCommands(bool enabled);
    void showStatus(const QString &text);
    void showOutcome(const ZCommandOutcome &outcome);
    QString chooseSaveName(const QString &caption, const QString &filter);
    QString chooseOpenName(const QString &caption, const QString &filter);
    bool saveProjectTo(const QString &fileName);
    bool saveDataTo(const QString &fileName);
    // Runs file work on a worker thread while the window waits; `done` acts on the
    // outcome before a start that waited for the work may clear the series.
    ZCommandOutcome runFileWork(const QString &title, ZFileJob::Work work,
                                const std::function<void(const ZCommandOutcome &)> &done);
    void waitWithProgress(ZFileJob &job, QEventLoop &loop, const QString &title);

    ZAppObservable *m_appObservable = nullptr;
    ZSettings *m_settings = nullptr;
    ZAppObserver *m_appObserver = nullptr;
    QToolBar *m_toolBar = nullptr;
    QAction *m_saveProjectAction = nullptr;
    QAction *m_saveDataAction = nullptr;
    QAction *m_loadSettingsAction = nullptr;
    QAction *m_saveSettingsAction = nullptr;
    QAction *m_startAction = nullptr;
    QAction *m_stopAction = nullptr;

    std::unique_ptr<ZFileChooser> m_fileChooser;
    std::unique_ptr<ZMessenger> m_messenger;
    std::unique_ptr<ZProjectCommands> m_projectCommands;
    std::unique_ptr<ZSettingsCommands> m_settingsCommands;
    ZUnsavedSamples m_unsaved;
    ZFileJob *m_fileJob = nullptr;
    int m_progressDelayMs = 500;
};

#endif // MAINWINDOW_H
