#ifndef ZPROJECTREADER_H
#define ZPROJECTREADER_H

#include "device/zimgybox.h"

#include <QString>

#include <functional>
#include <memory>

class QIODevice;

// The outcome of reading a project file, in the order the checks are made: a file that
// cannot be opened, then a document that is not well-formed XML (wherever the error is),
// then a root that is not a project of the current major version. Only Opened comes with
// a box.
struct ZProjectReadResult
{
    enum Outcome { Opened, ReadFailure, InvalidFormat, UnmatchedVersion };

    Outcome outcome = ReadFailure;
    std::unique_ptr<ZImgyBox> box;
};

// Reads a project document into a new playback box in one pass; memory grows with the
// samples only. `versionAccepted`, if given, is called when the root has passed the
// version check and the channels are about to be built.
ZProjectReadResult readProject(QIODevice &device,
                               const std::function<void()> &versionAccepted = {});
ZProjectReadResult readProjectFile(const QString &fileName,
                                   const std::function<void()> &versionAccepted = {});

#endif // ZPROJECTREADER_H
