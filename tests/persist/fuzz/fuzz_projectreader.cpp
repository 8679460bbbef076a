// Feeds arbitrary bytes to the project reader (the corpus and dictionary lead it into
// project documents). Besides crashes, hangs and undefined behaviour it aborts when a box
// comes without the outcome Opened (or the other way round), when a channel holds times
// that are not finite and increasing or voltages that are not finite, and when the fast
// scanner accepts a document that QXmlStreamReader reads differently or refuses.

#include "device/zimgybox.h"
#include "persist/zprojectreader.h"
#include "persist/zxmlfastscanner.h"
#include "persist/zxmlstreamscanner.h"

#include "../xmlrecorder.h"

#include <QBuffer>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

template<class Channels> void checkSeries(const Channels &channels)
{
    for (const ZInChannel *channel : channels) {
        const auto times = channel->times();
        for (std::size_t i = 0; i < times.size(); ++i)
            check(std::isfinite(times[i]) && (i == 0 || times[i] > times[i - 1]), "times");
        if (const auto *analog = dynamic_cast<const ZAnalogIn *>(channel))
            for (const double v : analog->volts())
                check(std::isfinite(v), "finite voltages");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char *>(data), int(size));
    buffer.open(QIODevice::ReadOnly);
    const ZProjectReadResult result = readProject(buffer);
    check((result.outcome == ZProjectReadResult::Opened) == (result.box != nullptr),
          "a box with Opened only");
    if (result.box) {
        checkSeries(result.box->analogIns());
        checkSeries(result.box->digitIns());
        checkSeries(result.box->edgeCnts());
    }
    buffer.seek(0);
    XmlRecorder fast;
    ZXmlFastScanner scanner(64); // small, so that tags straddle refills
    if (scanner.scan(buffer, fast) == ZXmlFastScanner::WellFormed) {
        buffer.seek(0);
        XmlRecorder qt;
        check(scanXmlWithStreamReader(buffer, qt), "accepted documents are well-formed");
        check(fast.events == qt.events, "the same elements as QXmlStreamReader");
    }
    return 0;
}
