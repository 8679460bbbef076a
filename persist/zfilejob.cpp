#include "zfilejob.h"

#include "app/zappobservable.h"

#include <QThread>

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
    m_thread = QThread::create([this] { m_outcome = m_work(m_progress); });
    // QThread::finished comes from the worker; the connection queues it to this object.
    connect(m_thread, &QThread::finished, this, &ZFileJob::threadFinished);
    m_thread->start();
}

void ZFileJob::threadFinished()
{
    m_thread->wait();
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
