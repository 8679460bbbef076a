#include "zsamplerecord.h"

#include "zprotocol.h"

namespace {

constexpr unsigned char KindMask = 0xC0;
constexpr unsigned char ChannelMask = 0x3F;
constexpr unsigned char InvalidKind = 0xC0;

unsigned dataBytesOf(unsigned char kind)
{
    switch (kind) {
    case 0x00:
        return 3;
    case 0x40:
        return 1;
    case 0x80:
        return 4;
    default:
        return 0;
    }
}

} // namespace

ZSampleRecordReader::ZSampleRecordReader(const unsigned char *payload, unsigned length)
    : m_payload(payload)
    , m_pos(length ? 1 : 0)
    , m_end(length)
{ }

ZSampleRecordReader::ZSampleRecordReader(const ZByteArray &answerFrame)
    : ZSampleRecordReader(answerFrame.data() + ZProtocol::AnswerHeaderLength,
                          answerFrame.length() > ZProtocol::AnswerHeaderLength
                              ? answerFrame.length() - ZProtocol::AnswerHeaderLength
                              : 0)
{ }

bool ZSampleRecordReader::isSampleAnswer() const
{
    return m_end > 1 && (m_payload[0] & 0xF8) == ZProtocol::OpSamples;
}

bool ZSampleRecordReader::next(ZSampleRecord *record)
{
    if (m_pos >= m_end)
        return false;
    const unsigned char descriptor = m_payload[m_pos];
    const unsigned char kind = descriptor & KindMask;
    const unsigned size = dataBytesOf(kind);
    if (kind == InvalidKind || m_end - m_pos - 1 < size) {
        m_pos = m_end;
        return false;
    }
    const unsigned char *data = m_payload + m_pos + 1;
    std::int64_t value = 0;
    switch (kind) {
    case 0x00: {
        const std::uint32_t raw
            = (std::uint32_t(data[0]) << 16) | (std::uint32_t(data[1]) << 8) | data[2];
        value = (raw & 0x800000) ? std::int64_t(raw) - 0x1000000 : std::int64_t(raw);
        break;
    }
    case 0x40:
        value = data[0];
        break;
    default:
        value = (std::int64_t(data[0]) << 24) | (std::int64_t(data[1]) << 16)
            | (std::int64_t(data[2]) << 8) | data[3];
        break;
    }
    record->kind = static_cast<ZRecordKind>(kind);
    record->channel = descriptor & ChannelMask;
    record->value = value;
    m_pos += 1 + size;
    return true;
}
