#ifndef ZFILEPROGRESS_H
#define ZFILEPROGRESS_H

#include <QIODevice>

#include <atomic>

// How far one piece of file work has come and whether the user asked it to stop. The
// thread doing the work advances it; any other thread reads it and may cancel.
class ZFileProgress
{
public:
    // Bytes expected, or 0 when the amount is not known beforehand.
    void setTotal(qint64 bytes) { m_total.store(bytes, std::memory_order_relaxed); }
    qint64 total() const { return m_total.load(std::memory_order_relaxed); }
    void advance(qint64 bytes) { m_done.fetch_add(bytes, std::memory_order_relaxed); }
    // A reading that starts again from an earlier place has come only that far.
    void rewind(qint64 bytes) { m_done.store(bytes, std::memory_order_relaxed); }
    qint64 done() const { return m_done.load(std::memory_order_relaxed); }

    void cancel() { m_cancelled.store(true, std::memory_order_release); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

private:
    std::atomic<qint64> m_total { 0 };
    std::atomic<qint64> m_done { 0 };
    std::atomic<bool> m_cancelled { false };
};

// Passes reads and writes through to another device, counting them in a progress; once
// the progress is cancelled every further read or write fails, so the reader or writer
// using it stops at its next access as after an I/O error. A seek moves the count to the
// new position, so a file read again from the start is not counted twice.
class ZProgressDevice : public QIODevice
{
public:
    ZProgressDevice(QIODevice &device, ZFileProgress &progress);

    bool isSequential() const override { return m_device.isSequential(); }
    qint64 size() const override { return m_device.size(); }
    bool seek(qint64 pos) override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    bool cancelled();

    QIODevice &m_device;
    ZFileProgress &m_progress;
};

#endif // ZFILEPROGRESS_H
