#include "zprojectwriter.h"

#include "znumbertext.h"
#include "zoutputbuffer.h"

#include "device/zbox.h"
#include "model/zglobal.h"

#include <vector>

namespace {

using namespace ZNumberText;

constexpr int VoltageDecimals = 8;

// A channel with the number of samples it had when the writing began.
template<class Channel> struct Snapshot
{
    const Channel *channel;
    std::size_t count;
};

template<class Channel>
std::vector<Snapshot<Channel>> takeSnapshots(const std::vector<Channel *> &channels)
{
    std::vector<Snapshot<Channel>> used;
    for (const Channel *channel : channels) {
        const std::size_t count = channel->sampleCount();
        if (count > 0)
            used.push_back({ channel, count });
    }
    return used;
}

class ProjectWriter
{
public:
    explicit ProjectWriter(QIODevice &device)
        : m_out(device)
    { }

    bool write(const ZBox &box, const QString &savedTime);

private:
    void writeAnalog(const ZBox &box, const std::vector<Snapshot<ZAnalogIn>> &used);
    void writeDigital(const ZBox &box, const std::vector<Snapshot<ZDigitIn>> &used);
    void writeCounters(const ZBox &box, const std::vector<Snapshot<ZEdgeCnt>> &used);
    void openGroup(const char *indentAndName, std::size_t total, std::size_t used, bool volts);
    void openChannel(const char *indentAndName, const ZInChannel &channel);
    void writeEscaped(const QString &text);

    ZOutputBuffer m_out;
};

bool ProjectWriter::write(const ZBox &box, const QString &savedTime)
{
    // Counts first: "used" and the rows written must agree even while samples arrive.
    const auto analog = takeSnapshots(box.analogIns());
    const auto digital = takeSnapshots(box.digitIns());
    const auto counters = takeSnapshots(box.edgeCnts());

    m_out.append("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Quoravi version=\"");
    m_out.append(appVersion().toUtf8());
    m_out.append("\" boxType=\"");
    m_out.commit(signedDecimal(box.boxType(), m_out.reserve(Capacity)));
    m_out.append("\" savedTime=\"");
    writeEscaped(savedTime);
    m_out.append("\">\n");

    if (analog.empty() && digital.empty() && counters.empty()) {
        m_out.append(" <sampledData/>\n");
    } else {
        m_out.append(" <sampledData>\n");
        if (!analog.empty())
            writeAnalog(box, analog);
        if (!digital.empty())
            writeDigital(box, digital);
        if (!counters.empty())
            writeCounters(box, counters);
        m_out.append(" </sampledData>\n");
    }
    m_out.append("</Quoravi>\n");
    return m_out.finish();
}

void ProjectWriter::writeAnalog(const ZBox &box, const std::vector<Snapshot<ZAnalogIn>> &used)
{
    openGroup("  <analogChannels", box.analogIns().size(), used.size(), true);
    for (const auto &[channel, count] : used) {
        openChannel("   <analogChannel", *channel);
        const std::vector<double> coefs = channel->coefs();
        for (std::size_t k = 0; k < coefs.size(); ++k) {
            m_out.append(" coef");
            char *p = unsignedDecimal(k, m_out.reserve(2 * Capacity));
            *p++ = '=';
            *p++ = '"';
            p = shortest(coefs[k], p);
            *p++ = '"';
            m_out.commit(p);
        }
        m_out.append(">\n");
        const auto times = channel->times();
        const auto volts = channel->volts();
        for (std::size_t i = 0; i < count; ++i) {
            char *p = m_out.reserve(2 * Capacity + 64);
            p = std::copy_n("    <data time=\"", 16, p);
            p = shortest(times[i], p);
            p = std::copy_n("\" voltage=\"", 11, p);
            p = decimal(volts[i], VoltageDecimals, p);
            p = std::copy_n("\"/>\n", 4, p);
            m_out.commit(p);
        }
        m_out.append("   </analogChannel>\n");
    }
    m_out.append("  </analogChannels>\n");
}

void ProjectWriter::writeDigital(const ZBox &box, const std::vector<Snapshot<ZDigitIn>> &used)
{
    openGroup("  <digitChannels", box.digitIns().size(), used.size(), false);
    for (const auto &[channel, count] : used) {
        openChannel("   <digitChannel", *channel);
        m_out.append(">\n");
        const auto times = channel->times();
        const auto statuses = channel->statuses();
        for (std::size_t i = 0; i < count; ++i) {
            char *p = m_out.reserve(Capacity + 64);
            p = std::copy_n("    <data time=\"", 16, p);
            p = shortest(times[i], p);
            p = std::copy_n("\" status=\"", 10, p);
            *p++ = statuses[i] ? '1' : '0';
            p = std::copy_n("\"/>\n", 4, p);
            m_out.commit(p);
        }
        m_out.append("   </digitChannel>\n");
    }
    m_out.append("  </digitChannels>\n");
}

void ProjectWriter::writeCounters(const ZBox &box, const std::vector<Snapshot<ZEdgeCnt>> &used)
{
    openGroup("  <edgeCounters", box.edgeCnts().size(), used.size(), false);
    for (const auto &[channel, count] : used) {
        openChannel("   <edgeCounter", *channel);
        m_out.append(">\n");
        const auto times = channel->times();
        const auto counts = channel->counts();
        for (std::size_t i = 0; i < count; ++i) {
            char *p = m_out.reserve(2 * Capacity + 64);
            p = std::copy_n("    <data time=\"", 16, p);
            p = shortest(times[i], p);
            p = std::copy_n("\" counted=\"", 11, p);
            p = unsignedDecimal(counts[i], p);
            p = std::copy_n("\"/>\n", 4, p);
            m_out.commit(p);
        }
        m_out.append("   </edgeCounter>\n");
    }
    m_out.append("  </edgeCounters>\n");
}

void ProjectWriter::openGroup(const char *indentAndName, std::size_t total, std::size_t used,
                              bool volts)
{
    m_out.append(indentAndName);
    m_out.append(" total=\"");
    m_out.commit(unsignedDecimal(total, m_out.reserve(Capacity)));
    m_out.append("\" used=\"");
    m_out.commit(unsignedDecimal(used, m_out.reserve(Capacity)));
    m_out.append(volts ? "\" timeUnit=\"seconds\" voltageUnit=\"volts\">\n"
                       : "\" timeUnit=\"seconds\">\n");
}

void ProjectWriter::openChannel(const char *indentAndName, const ZInChannel &channel)
{
    m_out.append(indentAndName);
    m_out.append(" index=\"");
    m_out.commit(signedDecimal(channelOf(channel.id()) + 1, m_out.reserve(Capacity)));
    m_out.append("\"");
}

// Markup characters and line breaks become references, as in every XML attribute value;
// the other control characters cannot be stored in XML 1.0 and are left out.
void ProjectWriter::writeEscaped(const QString &text)
{
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '&':
            m_out.append("&amp;");
            break;
        case '<':
            m_out.append("&lt;");
            break;
        case '>':
            m_out.append("&gt;");
            break;
        case '"':
            m_out.append("&quot;");
            break;
        case '\t':
            m_out.append("&#x9;");
            break;
        case '\n':
            m_out.append("&#xa;");
            break;
        case '\r':
            m_out.append("&#xd;");
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20)
                m_out.append(c);
        }
    }
}

} // namespace

bool writeProject(const ZBox &box, const QString &savedTime, QIODevice &device)
{
    ProjectWriter writer(device);
    return writer.write(box, savedTime);
}
