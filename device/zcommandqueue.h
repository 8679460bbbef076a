#ifndef ZCOMMANDQUEUE_H
#define ZCOMMANDQUEUE_H

#include "model/zsmartarray.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

// The command frames waiting for the communication thread, highest priority first.
// Priority comes from the opcode: a larger (opcode & 7) first, then a smaller
// (opcode / 8). Frames of equal priority leave in the order they came, so two quick
// output changes reach the box in the order they were made.
//
// Pushed from the GUI thread, popped by the communication thread, which may sleep in
// waitForWork() until a frame arrives, a deadline passes or it is woken.
class ZCommandQueue
{
public:
    // Refuses (false) a frame that is not complete.
    bool push(const ZByteArray &frame);
    // Takes the top frame; false when the queue is empty.
    bool pop(ZByteArray *frame);
    std::size_t size() const;
    void clear();

    // Sleeps until a frame is queued, `timeoutMs` has passed or wake() was called.
    void waitForWork(double timeoutMs);
    // Ends a current waitForWork() and the next one, once.
    void wake();

    // True when frame a leaves the queue before frame b of the same sequence number.
    static bool before(unsigned char opcodeA, unsigned char opcodeB);

private:
    struct Entry
    {
        ZByteArray frame;
        std::uint64_t sequence;
    };
    struct Later
    {
        bool operator()(const Entry &a, const Entry &b) const;
    };

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Entry> m_heap;
    std::uint64_t m_nextSequence = 0;
    bool m_woken = false;
};

#endif // ZCOMMANDQUEUE_H
