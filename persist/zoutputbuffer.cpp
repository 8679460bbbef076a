#include "zoutputbuffer.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

ZOutputBuffer::ZOutputBuffer(QIODevice &device, std::size_t capacity)
    : m_device(device)
    , m_bytes(std::max<std::size_t>(capacity, 1024))
{ }

void ZOutputBuffer::append(std::string_view text)
{
    while (!text.empty()) {
        if (m_used == m_bytes.size())
            flush();
        const std::size_t n = std::min(text.size(), m_bytes.size() - m_used);
        std::memcpy(m_bytes.data() + m_used, text.data(), n);
        m_used += n;
        text.remove_prefix(n);
    }
}

char *ZOutputBuffer::reserve(std::size_t n)
{
    if (m_bytes.size() - m_used < n)
        flush();
    if (m_bytes.size() < n)
        m_bytes.resize(n);
    return m_bytes.data() + m_used;
}

bool ZOutputBuffer::finish()
{
    flush();
    return !m_failed;
}

void ZOutputBuffer::flush()
{
    // A short count is no error to Qt (QSaveFile would commit the truncated file); writing
    // the rest makes the device fail with the system's reason.
    std::size_t done = 0;
    while (done < m_used && !m_failed) {
        const qint64 written = m_device.write(m_bytes.data() + done, qint64(m_used - done));
        if (written <= 0)
            m_failed = true;
        else
            done += std::size_t(written);
    }
    m_used = 0;
}
