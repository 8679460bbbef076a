#ifndef ZANSWERASSEMBLER_H
#define ZANSWERASSEMBLER_H

#include "model/zsmartarray.h"

#include <cstdint>

// Assembles answer frames (0xAA, 24-bit LEN, payload) from received bytes, one byte at
// a time, resynchronising on garbage:
//  - a first byte other than 0xAA is dropped;
//  - a header announcing LEN 0, or more than ZProtocol::MaxAnswerPayload bytes, is
//    discarded, so one corrupted header cannot swallow minutes of samples;
//  - the frame grows to the announced length and is complete when it reaches it.
//
// The link stops at the first completed frame (feedUntilFrame); the communication
// thread goes on with the bytes behind it (feedAll). A completed frame stays readable
// until the next byte is fed or clear() is called; feeding a byte after completion
// starts a new frame.
class ZAnswerAssembler
{
public:
    // The frame's initial maximum size; longer frames grow it.
    explicit ZAnswerAssembler(unsigned initialSize = 257);

    // Feeds one byte; true when this byte completed a frame.
    bool feed(unsigned char byte);

    // Feeds bytes until one completes a frame. Returns how many bytes were consumed:
    // `count` when no frame completed, otherwise the position just behind the frame.
    unsigned feedUntilFrame(const unsigned char *bytes, unsigned count);

    // Feeds every byte; for each completed frame calls onFrame(const ZByteArray &)
    // before the next byte is fed. Returns the number of frames completed.
    template<class OnFrame>
    unsigned feedAll(const unsigned char *bytes, unsigned count, OnFrame &&onFrame)
    {
        unsigned frames = 0;
        for (unsigned i = 0; i < count; ++i) {
            if (feed(bytes[i])) {
                ++frames;
                onFrame(static_cast<const ZByteArray &>(m_frame));
            }
        }
        return frames;
    }

    bool isComplete() const { return m_complete; }
    // The frame being assembled, or the completed frame.
    const ZByteArray &frame() const { return m_frame; }
    // Drops a partial or completed frame; the next byte must be 0xAA again.
    void clear();

private:
    ZByteArray m_frame;
    std::uint32_t m_length = 0; // accumulates the announced LEN
    bool m_complete = false;
};

#endif // ZANSWERASSEMBLER_H
