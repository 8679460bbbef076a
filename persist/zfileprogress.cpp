#include "zfileprogress.h"

#include <QCoreApplication>

ZProgressDevice::ZProgressDevice(QIODevice &device, ZFileProgress &progress)
    : m_device(device)
    , m_progress(progress)
{
    // Unbuffered: every access reaches readData or writeData, so a cancel is seen at once
    // and the count is what the device really saw.
    open((device.openMode() & QIODevice::ReadWrite) | QIODevice::Unbuffered);
}

bool ZProgressDevice::seek(qint64 pos)
{
    if (!QIODevice::seek(pos) || !m_device.seek(pos))
        return false;
    m_progress.rewind(pos);
    return true;
}

qint64 ZProgressDevice::readData(char *data, qint64 maxSize)
{
    if (cancelled())
        return -1;
    const qint64 n = m_device.read(data, maxSize);
    if (n > 0)
        m_progress.advance(n);
    return n;
}

qint64 ZProgressDevice::writeData(const char *data, qint64 maxSize)
{
    if (cancelled())
        return -1;
    const qint64 n = m_device.write(data, maxSize);
    if (n > 0)
        m_progress.advance(n);
    return n;
}

bool ZProgressDevice::cancelled()
{
    if (!m_progress.isCancelled())
        return false;
    setErrorString(QCoreApplication::translate("MainWindow", "Canceled"));
    return true;
}
