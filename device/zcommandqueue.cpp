#include "zcommandqueue.h"

#include <algorithm>
#include <chrono>

namespace {

unsigned char opcodeOf(const ZByteArray &frame)
{
    return frame.length() > 2 ? frame[2] : 0;
}

} // namespace

bool ZCommandQueue::before(unsigned char opcodeA, unsigned char opcodeB)
{
    if ((opcodeA & 7) != (opcodeB & 7))
        return (opcodeA & 7) > (opcodeB & 7);
    return (opcodeA / 8) < (opcodeB / 8);
}

// The heap's "less": true when a leaves after b.
bool ZCommandQueue::Later::operator()(const Entry &a, const Entry &b) const
{
    const unsigned char opA = opcodeOf(a.frame);
    const unsigned char opB = opcodeOf(b.frame);
    if (before(opA, opB))
        return false;
    if (before(opB, opA))
        return true;
    return a.sequence > b.sequence;
}

bool ZCommandQueue::push(const ZByteArray &frame)
{
    if (!frame.isComplete())
        return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_heap.push_back(Entry { frame, m_nextSequence++ });
        std::push_heap(m_heap.begin(), m_heap.end(), Later());
    }
    m_changed.notify_one();
    return true;
}

bool ZCommandQueue::pop(ZByteArray *frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_heap.empty())
        return false;
    std::pop_heap(m_heap.begin(), m_heap.end(), Later());
    *frame = m_heap.back().frame;
    m_heap.pop_back();
    return true;
}

std::size_t ZCommandQueue::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_heap.size();
}

void ZCommandQueue::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_heap.clear();
}

void ZCommandQueue::waitForWork(double timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto timeout
        = std::chrono::microseconds(static_cast<long long>(std::max(0.0, timeoutMs) * 1000.0));
    m_changed.wait_for(lock, timeout, [this] { return m_woken || !m_heap.empty(); });
    m_woken = false;
}

void ZCommandQueue::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}
