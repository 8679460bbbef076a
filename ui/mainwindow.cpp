#include "ui/mainwindow.h"

#include "ui/zaboutdialog.h"
#include "ui/zappobserver.h"
#include "ui/zfilechooser.h"
#include "ui/zmessenger.h"

#include "app/zappobservable.h"
#include "device/zusbbackend.h"
#include "model/zglobal.h"
#include "persist/zprojectcommands.h"
#include "persist/zsettings.h"
#include "persist/zsettingscommands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cassert>

namespace {

constexpr int StatusTimeoutMs = 3000;
constexpr int ProgressRefreshMs = 100;
constexpr int ProgressSteps = 1000;

const char *const DeviceSentence
    = "Please make sure the device is connected and matched with the device type, then try again.";

} // namespace

MainWindow::MainWindow(bool simulate, QWidget *parent)
    : QMainWindow(parent)
    , m_fileChooser(std::make_unique<ZDialogFileChooser>())
    , m_messenger(std::make_unique<ZDialogMessenger>())
{
    m_appObservable = new ZAppObservable(
        [simulate](int boxType) { return createUsbBridge(simulate, boxType); }, this);
    m_settings = new ZSettings(QStringLiteral("Tebor"), QStringLiteral("Quoravi"), this);
    m_settings->attach(m_appObservable);
    m_appObserver = new ZAppObserver(this);
    m_appObserver->attach(m_appObservable);
    setCentralWidget(m_appObserver);
    setStatusBar(new QStatusBar(this));
    buildToolBar();

    m_projectCommands = std::make_unique<ZProjectCommands>(*m_appObservable);
    // The file work calls this on its worker thread.
    m_projectCommands->setStatusSink([this](const QString &text) {
        QMetaObject::invokeMethod(
            this, [this, text] { showStatus(text); }, Qt::QueuedConnection);
    });
    m_settingsCommands = std::make_unique<ZSettingsCommands>(*m_settings);

    attach(m_appObservable);
    m_unsaved.attach(m_appObservable);

    setMinimumSize(800, 600);
    setWindowState(Qt::WindowMaximized);
    setWindowTitle(tr("Quoravi-") + appVersion());
}

MainWindow::~MainWindow()
{
    // File work runs inside a command of this window, which cannot return into a window
    // that is gone.
    assert(!m_fileJob && "!m_fileJob");
    m_unsaved.detach(m_appObservable);
    detach(m_appObservable);
}

void MainWindow::setFileChooser(std::unique_ptr<ZFileChooser> chooser)
{
    m_fileChooser = std::move(chooser);
}

void MainWindow::setMessenger(std::unique_ptr<ZMessenger> messenger)
{
    m_messenger = std::move(messenger);
}

void MainWindow::buildToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setAllowedAreas(Qt::TopToolBarArea);
    m_toolBar->setMovable(false);
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    QAction *exitAction = addCommand("Exit", "exit.png");
    connect(exitAction, &QAction::triggered, qApp, &QApplication::closeAllWindows);
    connect(addCommand("Open Project", "openProj.png"), &QAction::triggered, this,
            &MainWindow::openProject);
    m_saveProjectAction = addCommand("Save Project", "saveProject.png");
    connect(m_saveProjectAction, &QAction::triggered, this, &MainWindow::saveProject);
    m_saveDataAction = addCommand("Save Data", "saveData.png");
    connect(m_saveDataAction, &QAction::triggered, this, &MainWindow::saveData);
    m_loadSettingsAction = addCommand("Load Settings", "loadSettings.png");
    connect(m_loadSettingsAction, &QAction::triggered, this, &MainWindow::loadSettings);
    m_saveSettingsAction = addCommand("Save Settings", "saveSettings.png");
    connect(m_saveSettingsAction, &QAction::triggered, this, &MainWindow::saveSettings);
    m_startAction = addCommand("Start", "start.png");
    connect(m_startAction, &QAction::triggered, this, &MainWindow::startRun);
    m_stopAction = addCommand("Stop", "stop.png");
    connect(m_stopAction, &QAction::triggered, this, &MainWindow::stopRun);
    connect(addCommand("About", "about.png"), &QAction::triggered, this, &MainWindow::about);

    enableSaveCommands(false);
    m_stopAction->setEnabled(false);
}

QAction *MainWindow::addCommand(const char *text, const char *icon)
{
    return m_toolBar->addAction(QIcon(QStringLiteral(":/images/") + QLatin1String(icon)), tr(text));
}

// ---------------------------------------------------------------------------------------
// Following the application model

bool MainWindow::update(int code)
{
    switch (code) {
    case SamplingChanged: {
        const bool running = m_appObservable->isSampling();
        m_startAction->setEnabled(!running);
        m_stopAction->setEnabled(running);
        m_loadSettingsAction->setEnabled(!running);
        if (!running)
            enableSaveCommands(m_appObservable->hasSamples());
        return true;
    }
    case BoxTypeChanged:
        enableSaveCommands(false);
        enableBoxCommands();
        return true;
    case SampleStarted:
        showStatus(tr("Sampling started."));
        return true;
    case SampleFinished:
        showStatus(tr("Sampling finished."));
        return true;
    case SampleCanceled:
        showStatus(tr("Sampling canceled."));
        return true;
    case BoxLost:
        // After "Sampling finished.": why the run ended.
        showStatus(m_appObservable->boxLostMessage());
        return true;
    default:
        return false;
    }
}

bool MainWindow::onAttached()
{
    enableBoxCommands();
    return true;
}

bool MainWindow::onDetached()
{
    return true;
}

void MainWindow::enableBoxCommands()
{
    const bool hasBox = m_appObservable->activeBox() != nullptr;
    m_startAction->setEnabled(hasBox);
    m_saveSettingsAction->setEnabled(hasBox);
    m_loadSettingsAction->setEnabled(hasBox);
}

void MainWindow::enableSaveCommands(bool enabled)
{
    m_saveProjectAction->setEnabled(enabled);
    m_saveDataAction->setEnabled(enabled);
}

void MainWindow::showStatus(const QString &text)
{
    statusBar()->showMessage(text, StatusTimeoutMs);
}

void MainWindow::showOutcome(const ZCommandOutcome &outcome)
{
    if (outcome.message == ZCommandOutcome::WarningMessage)
        m_messenger->warning(this, outcome.messageTitle, outcome.messageText);
    else if (outcome.message == ZCommandOutcome::PlainMessage)
        m_messenger->message(outcome.messageText);
    showStatus(outcome.statusText);
}

// ---------------------------------------------------------------------------------------
// Runs

void MainWindow::startRun()
{
    if (m_appObservable->connectBox())
        return;
    // The sentence stays as users know it; the reason, when the link knows one, tells
    // them which of its causes to look at.
    QString text = tr(DeviceSentence);
    const QString reason = m_appObservable->connectFailureReason();
    if (!reason.isEmpty())
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    showStatus(text);
}

void MainWindow::stopRun()
{
    m_appObservable->requestStop();
}

// ---------------------------------------------------------------------------------------
// Files

QString MainWindow::chooseSaveName(const QString &caption, const QString &filter)
{
    return m_fileChooser->saveFileName(this, caption, QDir::currentPath(), filter);
}

QString MainWindow::chooseOpenName(const QString &caption, const QString &filter)
{
    return m_fileChooser->openFileName(this, caption, QDir::currentPath(), filter);
}

void MainWindow::openProject()
{
    const QString fileName = chooseOpenName(tr("Open Project"), tr("Quoravi Project (*.xml)"));
    if (fileName.isEmpty())
        return;
    ZOpenedProject opened;
    ZCommandOutcome outcome = runFileWork(
        tr("Open Project"),
        [this, fileName, &opened](ZFileProgress &progress) {
            opened = m_projectCommands->readProject(fileName, &progress);
            return opened.outcome;
        },
        [this, &opened](const ZCommandOutcome &) {
            m_projectCommands->addProject(std::move(opened));
        });
    showOutcome(outcome);
}

void MainWindow::saveProject()
{
    const QString fileName = chooseSaveName(tr("Save"), tr("Quoravi Project (*.xml)"));
    if (!fileName.isEmpty())
        saveProjectTo(fileName);
}

bool MainWindow::saveProjectTo(const QString &fileName)
{
    const ZUnsavedSamples::Save save = m_unsaved.saveBegins();
    const ZCommandOutcome outcome = runFileWork(
        tr("Save Project"),
        [this, fileName](ZFileProgress &progress) {
            return m_projectCommands->saveProject(fileName, &progress);
        },
        [this, save](const ZCommandOutcome &result) {
            if (result.succeeded)
                m_unsaved.saveSucceeded(save);
        });
    showOutcome(outcome);
    return outcome.succeeded;
}

void MainWindow::saveData()
{
    const QString fileName = chooseSaveName(tr("Save Data"), tr("Quoravi Data (*.txt)"));
    if (!fileName.isEmpty())
        saveDataTo(fileName);
}

bool MainWindow::saveDataTo(const QString &fileName)
{
    const ZUnsavedSamples::Save save = m_unsaved.saveBegins();
    const ZCommandOutcome outcome = runFileWork(
        tr("Save Data"),
        [this, fileName](ZFileProgress &progress) {
            return m_projectCommands->saveData(fileName, &progress);
        },
        [this, save](const ZCommandOutcome &result) {
            if (result.succeeded)
                m_unsaved.saveSucceeded(save);
        });
    showOutcome(outcome);
    return outcome.succeeded;
}

ZCommandOutcome MainWindow::runFileWork(const QString &title, ZFileJob::Work work,
                                        const std::function<void(const ZCommandOutcome &)> &done)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ZFileJob job(*m_appObservable, std::move(work));
    m_fileJob = &job;
    QEventLoop loop;
    connect(&job, &ZFileJob::finished, &loop, &QEventLoop::quit);
    job.start();

    // Short work keeps the window as it is; it only takes no input meanwhile.
    QTimer delay;
    delay.setSingleShot(true);
    connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(m_progressDelayMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (job.isRunning())
        waitWithProgress(job, loop, title);

    m_fileJob = nullptr;
    const ZCommandOutcome outcome = job.outcome();
    done(outcome);
    job.release();
    QApplication::restoreOverrideCursor();
    return outcome;
}

// Long work: a modal dialog with Cancel follows the job until it has finished.
void MainWindow::waitWithProgress(ZFileJob &job, QEventLoop &loop, const QString &title)
{
    QProgressDialog dialog(statusBar()->currentMessage(), tr("Cancel"), 0, 0, this);
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    connect(&dialog, &QProgressDialog::canceled, &job, &ZFileJob::cancel);
    QTimer refresh;
    connect(&refresh, &QTimer::timeout, &dialog, [&dialog, &job, this] {
        const ZFileProgress &progress = job.progress();
        // Without a known total (a save) the bar stays busy.
        if (progress.total() > 0) {
            dialog.setMaximum(ProgressSteps);
            dialog.setValue(int(std::min<qint64>(
                ProgressSteps - 1, progress.done() * ProgressSteps / progress.total())));
        }
        if (!statusBar()->currentMessage().isEmpty())
            dialog.setLabelText(statusBar()->currentMessage());
    });
    refresh.start(ProgressRefreshMs);
    dialog.show();
    // The job may have finished while the dialog was built; its signal came then.
    if (job.isRunning())
        loop.exec();
}

void MainWindow::saveSettings()
{
    const QString fileName = chooseSaveName(tr("Save Settings"), tr("Quoravi Settings (*.ini)"));
    if (!fileName.isEmpty())
        showOutcome(m_settingsCommands->saveSettings(fileName));
}

void MainWindow::loadSettings()
{
    const QString fileName = chooseOpenName(tr("Load Settings"), tr("Quoravi Settings (*.ini)"));
    if (!fileName.isEmpty())
        showOutcome(m_settingsCommands->loadSettings(fileName));
}

// ---------------------------------------------------------------------------------------
// About and closing

void MainWindow::about()
{
    ZAboutDialog dialog(this, Qt::WindowTitleHint | Qt::WindowSystemMenuHint);
    dialog.infoLabel()->setText(tr("Built on ") + tr("May 28, 2016\nVersion: ") + appVersion());
    dialog.exec();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The modal progress dialog normally prevents this; the work reads the model.
    if (m_fileJob) {
        event->ignore();
        return;
    }
    m_appObservable->requestStop();
    if (m_unsaved.hasUnsavedSamples()) {
        switch (m_messenger->askBeforeClosing(this)) {
        case ZMessenger::SaveProject: {
            const QString fileName = chooseSaveName(tr("Save"), tr("Quoravi Project (*.xml)"));
            if (fileName.isEmpty() || !saveProjectTo(fileName)) {
                event->ignore();
                return;
            }
            break;
        }
        case ZMessenger::Discard:
            break;
        case ZMessenger::CancelClose:
            event->ignore();
            return;
        }
    }
    event->accept();
}
