#ifndef ZSAMPLERECORD_H
#define ZSAMPLERECORD_H

#include "model/zsmartarray.h"

#include <cstdint>

// Sample records of an answer to 0x20: back to back behind the opcode, each a
// descriptor byte (kind = descriptor & 0xC0, channel = descriptor & 0x3F) and the data
// bytes of its kind.
enum class ZRecordKind : unsigned char {
    AnalogIn = 0x00, // 3 bytes, signed 24-bit raw converter code
    DigitIn = 0x40, // 1 byte, level
    EdgeCnt = 0x80 // 4 bytes, unsigned 32-bit count
    // 0xC0 is invalid and ends the records
};

struct ZSampleRecord
{
    ZRecordKind kind = ZRecordKind::AnalogIn;
    int channel = 0;
    // The value with its sign: -8388608..8388607 for analog inputs, 0..255 for digital
    // inputs, 0..4294967295 for edge counters.
    std::int64_t value = 0;
};

// Walks the records of one answer, in order. Reading ends at an invalid descriptor or
// at a record whose data bytes are cut off; the records before it are still yielded.
//
//   ZSampleRecordReader reader(frame);
//   ZSampleRecord record;
//   while (reader.next(&record)) ...
class ZSampleRecordReader
{
public:
    // `payload` points at the opcode byte of the answer, `length` counts from there.
    ZSampleRecordReader(const unsigned char *payload, unsigned length);
    // A whole answer frame, header included.
    explicit ZSampleRecordReader(const ZByteArray &answerFrame);

    // True when the payload answers a sample request (opcode & 0xF8 == 0x20) and has at
    // least one byte behind the opcode.
    bool isSampleAnswer() const;

    // Yields the next record; false at the end (no record written).
    bool next(ZSampleRecord *record);

    // Bytes of the payload not yet consumed (0 once reading ended).
    unsigned remaining() const { return m_end - m_pos; }

private:
    const unsigned char *m_payload;
    unsigned m_pos;
    unsigned m_end;
};

#endif // ZSAMPLERECORD_H
