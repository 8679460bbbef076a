#ifndef ZTHREADFENCE_H
#define ZTHREADFENCE_H

#include <atomic>

// QThread::wait() synchronises through Qt's own futex-based primitives, which
// ThreadSanitizer cannot see, so everything a finished thread wrote would look racy to
// it. The thread marks its end with a release store as the last thing run() does; the
// waiter reads it (acquire) after wait() returns. The edge is the same one wait()
// already guarantees, stated in a form the sanitizer understands.
class ZThreadFence
{
public:
    void markFinished() { m_finished.store(true, std::memory_order_release); }
    void afterWait() const { static_cast<void>(m_finished.load(std::memory_order_acquire)); }
    void rearm() { m_finished.store(false, std::memory_order_relaxed); }

private:
    std::atomic<bool> m_finished { false };
};

// Marks the end of run() however it is left.
class ZThreadFenceGuard
{
public:
    explicit ZThreadFenceGuard(ZThreadFence &fence)
        : m_fence(fence)
    { }
    ~ZThreadFenceGuard() { m_fence.markFinished(); }
    ZThreadFenceGuard(const ZThreadFenceGuard &) = delete;
    ZThreadFenceGuard &operator=(const ZThreadFenceGuard &) = delete;

private:
    ZThreadFence &m_fence;
};

#endif // ZTHREADFENCE_H
