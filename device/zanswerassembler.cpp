#include "zanswerassembler.h"

#include "zprotocol.h"

ZAnswerAssembler::ZAnswerAssembler(unsigned initialSize)
    : m_frame(initialSize < ZProtocol::AnswerHeaderLength + 1 ? ZProtocol::AnswerHeaderLength + 1
                                                              : initialSize)
{ }

bool ZAnswerAssembler::feed(unsigned char byte)
{
    if (m_complete)
        clear();
    m_frame.append(byte);
    switch (m_frame.length()) {
    case 1:
        if (byte == ZProtocol::StartByte)
            m_length = 0;
        else
            m_frame.clear();
        return false;
    case 2:
        m_length |= std::uint32_t(byte) << 16;
        return false;
    case 3:
        m_length |= std::uint32_t(byte) << 8;
        return false;
    case 4: {
        m_length |= byte;
        if (m_length == 0 || m_length > ZProtocol::MaxAnswerPayload) {
            m_frame.clear();
            return false;
        }
        m_frame.setMaxSize(m_length + ZProtocol::AnswerHeaderLength);
        return false;
    }
    default:
        m_complete = m_frame.isComplete();
        return m_complete;
    }
}

unsigned ZAnswerAssembler::feedUntilFrame(const unsigned char *bytes, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        if (feed(bytes[i]))
            return i + 1;
    }
    return count;
}

void ZAnswerAssembler::clear()
{
    m_frame.clear();
    m_length = 0;
    m_complete = false;
}
