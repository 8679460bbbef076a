#ifndef ZPROJECTWRITER_H
#define ZPROJECTWRITER_H

#include <QString>

class QIODevice;
class ZBox;

// Writes the samples of a box as a project document: the XML declaration, the root
// "Quoravi" with version, box type and saving time, then per kind of input the channels
// that hold samples with one "data" element per sample. One element per line, indented by
// one space per level, attributes in a fixed order, so files are reproducible.
//
// Each channel's sample count is taken once at the start and only that prefix is written,
// so a box that is still being sampled gives a consistent file.
//
// Returns false when a write to the device failed.
bool writeProject(const ZBox &box, const QString &savedTime, QIODevice &device);

#endif // ZPROJECTWRITER_H
