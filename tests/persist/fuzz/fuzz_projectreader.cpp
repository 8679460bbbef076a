// Feeds arbitrary bytes to the project reader. Besides crashes, hangs, leaks and undefined
// behaviour it checks what the reader promises:
// - a box comes with the outcome Opened and only with it;
// - every channel of that box holds strictly increasing, finite times and finite voltages;
// - a document the fast scanner accepts is well-formed for QXmlStreamReader too, and
//   both report the same elements with the same attributes.
// Each input is read as it is, and poured into a project template (the pieces between NUL
// bytes fill its attribute values and the gaps between its elements), so that many
// documents are well-formed and get past the version check.

#include "device/zimgybox.h"
#include "persist/zprojectreader.h"
#include "persist/zxmlfastscanner.h"
#include "persist/zxmlstreamscanner.h"

#include <QBuffer>
#include <QByteArrayList>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

class Recorder : public ZXmlHandler
{
public:
    void startElement(std::string_view name, const std::vector<ZXmlAttribute> &attributes) override
    {
        QByteArray event = "<" + QByteArray(name.data(), int(name.size()));
        for (const ZXmlAttribute &a : attributes)
            event += ' ' + QByteArray(a.name.data(), int(a.name.size())) + '='
                + QByteArray(a.value.data(), int(a.value.size())).toHex();
        events << event;
    }
    void endElement() override { events << ">"; }

    QByteArrayList events;
};

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

void checkTimes(const ZInChannel &channel)
{
    const auto times = channel.times();
    for (std::size_t i = 0; i < times.size(); ++i) {
        check(std::isfinite(times[i]), "finite times");
        check(i == 0 || times[i] > times[i - 1], "increasing times");
    }
}

void checkDocument(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const ZProjectReadResult result = readProject(buffer);
    check((result.outcome == ZProjectReadResult::Opened) == (result.box != nullptr),
          "a box with Opened only");
    if (result.box) {
        for (const ZAnalogIn *channel : result.box->analogIns()) {
            checkTimes(*channel);
            for (const double v : channel->volts())
                check(std::isfinite(v), "finite voltages");
        }
        for (const ZDigitIn *channel : result.box->digitIns())
            checkTimes(*channel);
        for (const ZEdgeCnt *channel : result.box->edgeCnts())
            checkTimes(*channel);
    }

    buffer.seek(0);
    Recorder fast;
    // A small buffer, so that tags straddle refills.
    ZXmlFastScanner scanner(64);
    if (scanner.scan(buffer, fast) == ZXmlFastScanner::WellFormed) {
        buffer.seek(0);
        Recorder qt;
        check(scanXmlWithStreamReader(buffer, qt), "accepted documents are well-formed");
        check(fast.events == qt.events, "the same elements as QXmlStreamReader");
    }
}

QByteArray project(const QByteArray &input)
{
    // The pieces go where the bars are.
    static const QList<QByteArray> Template
        = QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Quoravi version=\"2.2.1\" "
                     "boxType=\"|\" savedTime=\"|\">\n|<sampledData>|<analogChannels>"
                     "<analogChannel index=\"|\" coef0=\"|\" coef5=\"|\">|<data time=\"|\" "
                     "voltage=\"|\"/>|</analogChannel></analogChannels><edgeCounters><edgeCounter "
                     "index=\"|\"><data time=\"|\" counted=\"|\"/></edgeCounter></edgeCounters>"
                     "<digitChannels><digitChannel index=\"|\">|<data time=\"|\" status=\"|\"/>"
                     "</digitChannel></digitChannels></sampledData>|</Quoravi>\n")
              .split('|');
    const QList<QByteArray> pieces = input.split('\0');
    QByteArray document;
    for (int i = 0; i < Template.size(); ++i) {
        document += Template[i];
        if (i < pieces.size() && i + 1 < Template.size())
            document += pieces[i];
    }
    return document;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    checkDocument(bytes);
    checkDocument(project(bytes));
    return 0;
}
