#ifndef ZOUTPUTBUFFER_H
#define ZOUTPUTBUFFER_H

#include <QByteArray>

#include <cstddef>
#include <string_view>
#include <vector>

class QIODevice;

// Collects the bytes of a file and hands them to the device in large writes, so that the
// writers can put out one number at a time. After a failed write it drops whatever
// follows; finish() tells whether everything reached the device.
class ZOutputBuffer
{
public:
    explicit ZOutputBuffer(QIODevice &device, std::size_t capacity = std::size_t(1) << 18);
    ZOutputBuffer(const ZOutputBuffer &) = delete;
    ZOutputBuffer &operator=(const ZOutputBuffer &) = delete;

    void append(char c)
    {
        if (m_used == m_bytes.size())
            flush();
        m_bytes[m_used++] = c;
    }
    void append(std::string_view text);
    void append(const char *text) { append(std::string_view(text)); }
    void append(const QByteArray &bytes)
    {
        append(std::string_view(bytes.constData(), bytes.size()));
    }

    // Room for at least n bytes at the returned pointer; commit() takes what was written.
    char *reserve(std::size_t n);
    void commit(const char *end) { m_used = std::size_t(end - m_bytes.data()); }

    // Writes what is left; false when any write failed.
    bool finish();
    bool failed() const { return m_failed; }

private:
    void flush();

    QIODevice &m_device;
    std::vector<char> m_bytes;
    std::size_t m_used = 0;
    bool m_failed = false;
};

#endif // ZOUTPUTBUFFER_H
