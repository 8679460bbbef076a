#ifndef DEVICETESTUTIL_H
#define DEVICETESTUTIL_H

#include "device/zclock.h"
#include "device/zsamplerecord.h"
#include "device/zsimulatedbox.h"
#include "device/zsimulatedbridge.h"
#include "device/zusblink.h"
#include "model/zsmartarray.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <sys/syscall.h>
#include <unistd.h>

#include <memory>
#include <vector>

// The bytes of a frame; an incomplete frame gives an empty array, so a builder that leaves its
// frame short fails the comparison.
inline QByteArray bytesOf(const ZByteArray &frame)
{
    if (!frame.isComplete())
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.length()));
}

inline QByteArray hexOf(const ZByteArray &frame)
{
    return bytesOf(frame).toHex();
}

inline std::vector<unsigned char> hexBytes(const char *hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

inline ZByteArray frameOf(const QByteArray &bytes)
{
    ZByteArray frame(bytes.isEmpty() ? 1u : unsigned(bytes.size()));
    for (char byte : bytes)
        frame.append(static_cast<unsigned char>(byte));
    return frame;
}

// Records as "kind:channel=value", or "none" when the frame answers no sample request.
inline QString recordsOf(const ZByteArray &answer)
{
    ZSampleRecordReader reader(answer);
    if (!reader.isSampleAnswer())
        return QStringLiteral("none");
    QStringList records;
    ZSampleRecord record;
    while (reader.next(&record))
        records << QString::asprintf("%02x:%d=%lld", int(record.kind), record.channel,
                                     static_cast<long long>(record.value));
    return records.join(' ');
}

inline long threadId()
{
    return syscall(SYS_gettid);
}

// True while the thread sleeps in the kernel, as in a condition wait. A thread that spins stays
// running or runnable however loaded the machine is, where its share of CPU time may not show it.
inline bool isAsleep(long tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (tid == 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "S";
}

// A simulated box of one type behind a link, on a clock the test moves.
struct BoxSession
{
    explicit BoxSession(int type = 8, const ZSimulatedBox::Faults &faults = {}, double nowMs = 0)
        : clock(nowMs)
        , box(std::make_shared<ZSimulatedBox>(type, clock))
        , bridge(std::make_shared<ZSimulatedBridge>(box))
    {
        box->setFaults(faults);
        link = std::make_unique<ZUsbLink>(bridge, 0, box->expectedBaudRate());
    }

    // The answer to `command`, or an incomplete frame when none came.
    ZByteArray ask(const ZByteArray &command, int limitMs = 2000)
    {
        ZByteArray answer(1);
        if (!link->transact(command, &answer, limitMs))
            return ZByteArray(1);
        return answer;
    }

    ZManualClock clock;
    std::shared_ptr<ZSimulatedBox> box;
    std::shared_ptr<ZSimulatedBridge> bridge;
    std::unique_ptr<ZUsbLink> link;
};

#endif // DEVICETESTUTIL_H
