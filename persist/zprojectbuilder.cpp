#include "zprojectbuilder.h"

#include "znumbertext.h"

#include "device/zimgybox.h"
#include "model/zglobal.h"

#include <QString>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Samples are appended in batches of this many; the result is the same as one by one.
constexpr std::size_t BatchSize = 4096;

const char *const CoefNames[ZAnalogIn::CoefCount]
    = { "coef0", "coef1", "coef2", "coef3", "coef4", "coef5" };

double doubleAttribute(const std::vector<ZXmlAttribute> &attributes, std::string_view name)
{
    const std::string_view *text = findAttribute(attributes, name);
    bool ok = false;
    return text ? ZNumberText::parseDouble(*text, &ok) : 0.0;
}

quint32 unsignedAttribute(const std::vector<ZXmlAttribute> &attributes, std::string_view name)
{
    const std::string_view *text = findAttribute(attributes, name);
    bool ok = false;
    return text ? ZNumberText::parseUnsigned(*text, &ok) : 0;
}

QString textAttribute(const std::vector<ZXmlAttribute> &attributes, std::string_view name)
{
    const std::string_view *text = findAttribute(attributes, name);
    return text ? QString::fromUtf8(text->data(), int(text->size())) : QString();
}

} // namespace

ZProjectBuilder::ZProjectBuilder(std::function<void()> versionAccepted)
    : m_versionAcceptedCallback(std::move(versionAccepted))
{
    m_times.reserve(BatchSize);
    m_volts.reserve(BatchSize);
    m_raws.reserve(BatchSize);
}

ZProjectBuilder::~ZProjectBuilder() = default;

void ZProjectBuilder::reset()
{
    m_accepted = false;
    m_boxType = 0;
    m_savedTime.clear();
    m_analogIns.clear();
    m_digitIns.clear();
    m_edgeCnts.clear();
    m_depth = 0;
    m_sampledDataSeen = false;
    m_inSampledData = false;
    std::fill(std::begin(m_groupsSeen), std::end(m_groupsSeen), false);
    for (auto &indexes : m_indexesSeen)
        indexes.reset();
    m_group = NoGroup;
    m_analogIn.reset();
    m_digitIn.reset();
    m_edgeCnt.reset();
    m_times.clear();
    m_volts.clear();
    m_raws.clear();
}

std::unique_ptr<ZImgyBox> ZProjectBuilder::takeBox()
{
    if (!m_accepted)
        return nullptr;
    auto box = std::make_unique<ZImgyBox>(m_boxType);
    box->setSavedTime(m_savedTime);
    for (auto &channel : m_analogIns)
        box->addAnalogIn(std::move(channel));
    for (auto &channel : m_digitIns)
        box->addDigitIn(std::move(channel));
    for (auto &channel : m_edgeCnts)
        box->addEdgeCnt(std::move(channel));
    reset();
    return box;
}

bool ZProjectBuilder::isReadableVersion(std::string_view rootName, const QString &version)
{
    if (rootName != "Quoravi" || version.isEmpty())
        return false;
    const int point = version.indexOf(QLatin1Char('.'));
    if (point < 0)
        return false;
    bool ok = false;
    const int major = version.left(point).toInt(&ok, 10);
    return ok && major == appVersion().section(QLatin1Char('.'), 0, 0).toInt();
}

void ZProjectBuilder::startElement(std::string_view name,
                                   const std::vector<ZXmlAttribute> &attributes)
{
    const std::size_t level = m_depth++;
    if (level == 0) {
        startRoot(name, attributes);
        return;
    }
    if (!m_accepted)
        return;
    if (level == 1) {
        // The first child element holds the samples, whatever its name.
        m_inSampledData = !m_sampledDataSeen;
        m_sampledDataSeen = true;
    } else if (level == 2 && m_inSampledData) {
        startGroup(name);
    } else if (level == 3 && m_group != NoGroup) {
        startChannel(attributes);
    } else if (level == 4 && (m_analogIn || m_digitIn || m_edgeCnt)) {
        addSample(attributes);
    }
}

void ZProjectBuilder::endElement()
{
    if (m_depth == 0)
        return;
    const std::size_t level = --m_depth;
    if (!m_accepted)
        return;
    if (level == 3)
        finishChannel();
    else if (level == 2)
        m_group = NoGroup;
    else if (level == 1)
        m_inSampledData = false;
}

void ZProjectBuilder::startRoot(std::string_view name, const std::vector<ZXmlAttribute> &attributes)
{
    m_accepted = isReadableVersion(name, textAttribute(attributes, "version"));
    if (!m_accepted)
        return;
    if (!m_announced && m_versionAcceptedCallback) {
        m_announced = true;
        m_versionAcceptedCallback();
    }
    const quint32 boxType = unsignedAttribute(attributes, "boxType");
    m_boxType = boxType <= quint32(INT_MAX) ? int(boxType) : 0;
    m_savedTime = textAttribute(attributes, "savedTime");
}

void ZProjectBuilder::startGroup(std::string_view name)
{
    Group group = NoGroup;
    if (name == "analogChannels")
        group = AnalogGroup;
    else if (name == "digitChannels")
        group = DigitGroup;
    else if (name == "edgeCounters")
        group = CounterGroup;
    // Only the first group of each kind is read.
    if (group != NoGroup && !m_groupsSeen[group]) {
        m_groupsSeen[group] = true;
        m_group = group;
    }
}

void ZProjectBuilder::startChannel(const std::vector<ZXmlAttribute> &attributes)
{
    const quint32 index = unsignedAttribute(attributes, "index");
    // An index read before in the same kind keeps its first channel; later ones are skipped.
    if (index < 1 || index > MaxChannelIndex || m_indexesSeen[m_group].test(index))
        return;
    m_indexesSeen[m_group].set(index);
    const int channel = int(index) - 1;
    switch (m_group) {
    case AnalogGroup: {
        m_analogIn = std::make_unique<ZAnalogIn>(componentId(AnalogInKind, channel));
        std::vector<double> coefs = m_analogIn->coefs();
        for (int k = 0; k < ZAnalogIn::CoefCount; ++k) {
            const double value = doubleAttribute(attributes, CoefNames[k]);
            // One coefficient that is not finite would make the channel refuse all six.
            coefs[std::size_t(k)] = std::isfinite(value) ? value : 0.0;
        }
        m_analogIn->setCoefs(coefs);
        break;
    }
    case DigitGroup:
        m_digitIn = std::make_unique<ZDigitIn>(componentId(DigitInKind, channel));
        break;
    case CounterGroup:
        m_edgeCnt = std::make_unique<ZEdgeCnt>(componentId(EdgeCntKind, channel));
        break;
    case NoGroup:
        break;
    }
}

void ZProjectBuilder::addSample(const std::vector<ZXmlAttribute> &attributes)
{
    const double time = doubleAttribute(attributes, "time");
    if (!std::isfinite(time))
        return;
    if (m_analogIn) {
        const double volts = doubleAttribute(attributes, "voltage");
        if (!std::isfinite(volts))
            return;
        m_volts.push_back(volts);
    } else if (m_digitIn) {
        const std::string_view *status = findAttribute(attributes, "status");
        m_raws.push_back(status && *status == "1" ? 1 : 0);
    } else {
        m_raws.push_back(static_cast<int>(unsignedAttribute(attributes, "counted")));
    }
    m_times.push_back(time);
    if (m_times.size() == BatchSize)
        flushSamples();
}

void ZProjectBuilder::flushSamples()
{
    const int n = int(m_times.size());
    if (m_analogIn)
        m_analogIn->appendVolts(m_times.data(), m_volts.data(), n);
    else if (m_digitIn)
        m_digitIn->append(m_times.data(), m_raws.data(), n);
    else if (m_edgeCnt)
        m_edgeCnt->append(m_times.data(), m_raws.data(), n);
    m_times.clear();
    m_volts.clear();
    m_raws.clear();
}

void ZProjectBuilder::finishChannel()
{
    flushSamples();
    if (m_analogIn)
        m_analogIns.push_back(std::move(m_analogIn));
    else if (m_digitIn)
        m_digitIns.push_back(std::move(m_digitIn));
    else if (m_edgeCnt)
        m_edgeCnts.push_back(std::move(m_edgeCnt));
}
