#ifndef ZPROJECTBUILDER_H
#define ZPROJECTBUILDER_H

#include "zxmlhandler.h"

#include <QString>

#include <bitset>
#include <functional>
#include <memory>
#include <vector>

class ZAnalogIn;
class ZDigitIn;
class ZEdgeCnt;
class ZImgyBox;

// Turns the elements of a project document into a playback box while they are read.
//
// The root must be "Quoravi" with a version of the current major number; otherwise
// nothing is built and the rest of the document is only passed through (the caller still
// needs to know whether it is well-formed). The root's first child element holds the
// samples: its first "analogChannels", "digitChannels" and "edgeCounters" children hold
// one channel element each per child element, and each channel element one sample per
// child element. A channel without a valid index (1 to 64), or with an index already
// read in its kind, is skipped, as is a sample whose time or voltage is not a finite
// number; what is missing or unreadable otherwise reads as 0. Coefficients are set before
// the first sample, so the function values use them.
class ZProjectBuilder : public ZXmlHandler
{
public:
    static constexpr unsigned MaxChannelIndex = 64;

    // `versionAccepted` is called once, when the root has passed the version check.
    explicit ZProjectBuilder(std::function<void()> versionAccepted = {});
    ~ZProjectBuilder() override;

    void startElement(std::string_view name, const std::vector<ZXmlAttribute> &attributes) override;
    void endElement() override;

    // Drops everything read so far, for a second reading of the same document.
    void reset();

    bool versionAccepted() const { return m_accepted; }
    // The playback box with the channels read, or null when the version was refused. The
    // box is made only here, so a reading that fails uses up no playback box identifier.
    std::unique_ptr<ZImgyBox> takeBox();

    // Whether the root of a document names a version this program reads.
    static bool isReadableVersion(std::string_view rootName, const QString &version);

private:
    enum Group { NoGroup, AnalogGroup, DigitGroup, CounterGroup };

    void startRoot(std::string_view name, const std::vector<ZXmlAttribute> &attributes);
    void startGroup(std::string_view name);
    void startChannel(const std::vector<ZXmlAttribute> &attributes);
    void addSample(const std::vector<ZXmlAttribute> &attributes);
    void flushSamples();
    void finishChannel();

    std::function<void()> m_versionAcceptedCallback;
    bool m_announced = false;
    bool m_accepted = false;
    int m_boxType = 0;
    QString m_savedTime;
    std::vector<std::unique_ptr<ZAnalogIn>> m_analogIns;
    std::vector<std::unique_ptr<ZDigitIn>> m_digitIns;
    std::vector<std::unique_ptr<ZEdgeCnt>> m_edgeCnts;
    std::size_t m_depth = 0;
    bool m_sampledDataSeen = false;
    bool m_inSampledData = false;
    bool m_groupsSeen[4] = {};
    // Channel indexes read so far per group: a playback box must not get two channels
    // with one identifier.
    std::bitset<MaxChannelIndex + 1> m_indexesSeen[4];
    Group m_group = NoGroup;

    // The channel being read, one of the three, and its samples not yet appended.
    std::unique_ptr<ZAnalogIn> m_analogIn;
    std::unique_ptr<ZDigitIn> m_digitIn;
    std::unique_ptr<ZEdgeCnt> m_edgeCnt;
    std::vector<double> m_times;
    std::vector<double> m_volts;
    std::vector<int> m_raws;
};

#endif // ZPROJECTBUILDER_H
