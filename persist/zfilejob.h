#ifndef ZFILEJOB_H
#define ZFILEJOB_H

#include "zcommandoutcome.h"
#include "zfileprogress.h"

#include <QObject>

#include <atomic>
#include <functional>

class QThread;
class ZAppObservable;

// One piece of file work (a save, an open, an export) run on a thread of its own, so the
// window stays responsive and can offer Cancel. From start() until release() (or its
// destruction) it holds sampling back on the application model: a run whose start
// trigger fires meanwhile begins sampling, and so clears the series, only afterwards.
// A run already sampling goes on; the writers take each series' count once.
class ZFileJob : public QObject
{
    Q_OBJECT

public:
    using Work = std::function<ZCommandOutcome(ZFileProgress &progress)>;

    ZFileJob(ZAppObservable &app, Work work, QObject *parent = nullptr);
    // Cancels work still running and waits for it, then releases the hold.
    ~ZFileJob() override;

    void start();
    void cancel() { m_progress.cancel(); }
    bool isRunning() const { return m_running; }
    const ZFileProgress &progress() const { return m_progress; }

    // Valid once finished() was emitted.
    const ZCommandOutcome &outcome() const { return m_outcome; }

    // Lets a start that waited for this work begin. Release after acting on the outcome.
    void release();

signals:
    // On the thread that started the job, after the work has returned.
    void finished();

private:
    void threadFinished();

    ZAppObservable &m_app;
    Work m_work;
    ZFileProgress m_progress;
    ZCommandOutcome m_outcome;
    QThread *m_thread = nullptr;
    // Published by the worker after the outcome: the hand-over that the sanitizers see.
    std::atomic<bool> m_workDone { false };
    bool m_running = false;
    bool m_holding = false;
};

#endif // ZFILEJOB_H
