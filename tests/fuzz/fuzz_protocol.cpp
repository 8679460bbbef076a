// Arbitrary received bytes through the answer assembler (as the link and as the
// communication thread use it), the sample-record reader and the calibration decoder;
// the assembler is checked against a plain model of its rules.

#include "device/zanswerassembler.h"
#include "device/zprotocol.h"
#include "device/zsamplerecord.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using Frame = std::vector<unsigned char>;

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The assembly rules written as plainly as possible, for comparison.
std::vector<Frame> referenceFrames(const std::uint8_t *data, std::size_t size)
{
    std::vector<Frame> frames;
    Frame current;
    std::size_t total = 0;
    for (std::size_t i = 0; i < size; ++i) {
        current.push_back(data[i]);
        if (current.size() == 1 && current[0] != 0xAA) {
            current.clear();
        } else if (current.size() == 4) {
            total = 4 + ((std::size_t(current[1]) << 16) | (current[2] << 8) | current[3]);
            if (total == 4 || total > ZProtocol::MaxAnswerPayload + 4)
                current.clear();
        } else if (current.size() > 4 && current.size() == total) {
            frames.push_back(current);
            current.clear();
        }
    }
    return frames;
}

// Every record lies within the bytes read, with a value its kind can hold, and reading ends.
void checkRecords(ZSampleRecordReader reader, unsigned payloadLength)
{
    ZSampleRecord record;
    unsigned records = 0;
    while (reader.next(&record)) {
        const bool analog = record.kind == ZRecordKind::AnalogIn;
        const std::int64_t high = analog          ? 8388607
            : record.kind == ZRecordKind::DigitIn ? 255
            : record.kind == ZRecordKind::EdgeCnt ? 4294967295LL
                                                  : -1;
        require(++records * 2 <= payloadLength && record.channel >= 0 && record.channel < 64
                && record.value >= (analog ? -8388608 : 0) && record.value <= high);
    }
    require(reader.remaining() == 0);
}

void checkCalibration(const unsigned char *bytes, unsigned length)
{
    ZProtocol::Calibration c;
    if (ZProtocol::decodeCalibration(bytes, length, &c))
        require(length == ZProtocol::CalibrationAnswerLength && c.gain >= -128.0 && c.gain < 128.0
                && c.offset >= -32768.0 && c.offset < 32768.0);
}

// A completed frame, checked and decoded as every reader would.
Frame checkedFrame(const ZByteArray &frame)
{
    require(frame.isComplete() && frame.length() >= 5 && frame[0] == ZProtocol::StartByte);
    const unsigned len = (unsigned(frame[1]) << 16) | (unsigned(frame[2]) << 8) | frame[3];
    require(len + 4 == frame.length() && len <= ZProtocol::MaxAnswerPayload);
    checkRecords(ZSampleRecordReader(frame), len);
    checkCalibration(frame.data(), frame.length());
    return Frame(frame.data(), frame.data() + frame.length());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::vector<Frame> expected = referenceFrames(data, size);

    // As the communication thread: in input-sized pieces, into an assembler that may start small.
    const unsigned piece = 1 + data[0] % 97;
    ZAnswerAssembler thread(data[0] & 1 ? 5 : 257);
    std::vector<Frame> threadFrames;
    for (std::size_t pos = 0; pos < size; pos += piece)
        thread.feedAll(
            data + pos, unsigned(std::min<std::size_t>(size - pos, piece)),
            [&](const ZByteArray &frame) { threadFrames.push_back(checkedFrame(frame)); });
    require(threadFrames == expected);

    // The link: stop at each frame, then go on with the bytes behind it.
    ZAnswerAssembler link;
    std::vector<Frame> linkFrames;
    for (std::size_t pos = 0; pos < size;) {
        pos += link.feedUntilFrame(data + pos, unsigned(size - pos));
        if (link.isComplete())
            linkFrames.push_back(checkedFrame(link.frame()));
    }
    require(linkFrames == expected);

    // The decoders on raw bytes, as if they were a payload or a whole frame.
    checkRecords(ZSampleRecordReader(data, unsigned(size)), unsigned(size));
    checkCalibration(data, unsigned(size));
    return 0;
}
