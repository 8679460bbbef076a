#include "zfilejob.h"

#include "app/zappobservable.h"

#include <QThread>

#include <cassert>

ZFileJob::ZFileJob(ZAppObservable &app, Work work, QObject *parent)
    : QObject(parent)
    , m_app(app)
    , m_work(std::move(work))
{ }

ZFileJob::~ZFileJob()
{
    if (m_thread) {
        m_progress.cancel();
        m_thread->wait();
        delete m_thread;
    }
    release();
}

void ZFileJob::start()
{
    if (m_thread)
        return;
    m_app.holdSampling();
    m_holding = true;
    m_running = true;
    m_thread = QThread::create([this] {
        m_outcome = m_work(m_progress);
        m_workDone.store(true, std::memory_order_release);
    });
    // QThread::finished comes from the worker; the connection queues it to this object.
    connect(m_thread, &QThread::finished, this, &ZFileJob::threadFinished);
    m_thread->start();
}

void ZFileJob::threadFinished()
{
    m_thread->wait();
    // Always true after wait(); the load orders the outcome before its use.
    [[maybe_unused]] const bool done = m_workDone.load(std::memory_order_acquire);
    assert(done && "m_workDone");
    m_running = false;
    emit finished();
}

void ZFileJob::release()
{
    if (!m_holding)
        return;
    m_holding = false;
    m_app.releaseSampling();
}
