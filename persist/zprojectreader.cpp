#include "zprojectreader.h"

#include "zprojectbuilder.h"
#include "zxmlfastscanner.h"
#include "zxmlstreamscanner.h"

#include "device/zimgybox.h"

#include <QFile>

ZProjectReadResult readProject(QIODevice &device, const std::function<void()> &versionAccepted)
{
    ZProjectBuilder builder(versionAccepted);
    bool wellFormed = false;
    if (device.isSequential()) {
        wellFormed = scanXmlWithStreamReader(device, builder);
    } else {
        // Files this program wrote take the fast path; anything it does not know is read
        // again from the start by QXmlStreamReader, which has the last word.
        const qint64 start = device.pos();
        ZXmlFastScanner scanner;
        wellFormed = scanner.scan(device, builder) == ZXmlFastScanner::WellFormed;
        if (!wellFormed) {
            builder.reset();
            wellFormed = device.seek(start) && scanXmlWithStreamReader(device, builder);
        }
    }

    ZProjectReadResult result;
    if (!wellFormed)
        result.outcome = ZProjectReadResult::InvalidFormat;
    else if (!builder.versionAccepted())
        result.outcome = ZProjectReadResult::UnmatchedVersion;
    else {
        result.outcome = ZProjectReadResult::Opened;
        result.box = builder.takeBox();
    }
    return result;
}

ZProjectReadResult readProjectFile(const QString &fileName,
                                   const std::function<void()> &versionAccepted)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readProject(file, versionAccepted);
}
