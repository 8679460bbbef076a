#include "zdataexporter.h"

#include "znumbertext.h"
#include "zoutputbuffer.h"

#include "device/zbox.h"
#include "model/zglobal.h"

#include <QTextCodec>

namespace {

using namespace ZNumberText;

constexpr int TimeDigits = 6;
constexpr int ValueDecimals = 8;

void writeTitle(ZOutputBuffer &out, std::string_view title, const ZInChannel &channel,
                std::string_view columns)
{
    out.append(title);
    out.commit(signedDecimal(channelOf(channel.id()) + 1, out.reserve(Capacity)));
    out.append('\n');
    out.append(columns);
}

void writeAnalog(ZOutputBuffer &out, const ZAnalogIn &channel)
{
    const std::size_t count = channel.sampleCount();
    if (count == 0)
        return;
    writeTitle(out, "analogChannel\t", channel, "time(seconds)\tvoltage(volts)\tfuncValue\n");
    const auto times = channel.times();
    const auto volts = channel.volts();
    const auto values = channel.functionValues();
    for (std::size_t i = 0; i < count; ++i) {
        char *p = out.reserve(3 * Capacity + 4);
        p = general(times[i], TimeDigits, p);
        *p++ = '\t';
        p = decimal(volts[i], ValueDecimals, p);
        *p++ = '\t';
        p = decimal(values[i], ValueDecimals, p);
        *p++ = '\n';
        out.commit(p);
    }
}

void writeDigital(ZOutputBuffer &out, const ZDigitIn &channel)
{
    const std::size_t count = channel.sampleCount();
    if (count == 0)
        return;
    writeTitle(out, "digitChannel\t", channel, "time(seconds)\tstatus\n");
    const auto times = channel.times();
    const auto statuses = channel.statuses();
    for (std::size_t i = 0; i < count; ++i) {
        char *p = out.reserve(Capacity + 4);
        p = general(times[i], TimeDigits, p);
        *p++ = '\t';
        *p++ = statuses[i] ? '1' : '0';
        *p++ = '\n';
        out.commit(p);
    }
}

void writeCounter(ZOutputBuffer &out, const ZEdgeCnt &channel)
{
    const std::size_t count = channel.sampleCount();
    if (count == 0)
        return;
    writeTitle(out, "edgeCounter\t", channel, "time(seconds)\tcounted\n");
    const auto times = channel.times();
    const auto counts = channel.counts();
    for (std::size_t i = 0; i < count; ++i) {
        char *p = out.reserve(2 * Capacity + 4);
        p = general(times[i], TimeDigits, p);
        *p++ = '\t';
        p = unsignedDecimal(counts[i], p);
        *p++ = '\n';
        out.commit(p);
    }
}

} // namespace

bool exportData(const ZBox &box, const QString &dateLine, QIODevice &device)
{
    ZOutputBuffer out(device);
    out.append(QTextCodec::codecForLocale()->fromUnicode(dateLine));
    out.append('\n');
    for (const ZAnalogIn *channel : box.analogIns())
        writeAnalog(out, *channel);
    for (const ZDigitIn *channel : box.digitIns())
        writeDigital(out, *channel);
    for (const ZEdgeCnt *channel : box.edgeCnts())
        writeCounter(out, *channel);
    return out.finish();
}
