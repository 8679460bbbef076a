#ifndef ZDATAEXPORTER_H
#define ZDATAEXPORTER_H

#include <QString>

class QIODevice;
class ZBox;

// Writes the samples of a box as tab-separated text for other programs: the date line,
// then one block per input channel that holds samples (analog inputs, digital inputs,
// edge counters, each kind in channel order), each block a title line, a column line and
// one row per sample. The date line is given in the system's text encoding; the rest is
// ASCII.
//
// Each channel's sample count is taken once at the start and only that prefix is written.
// Function values are read as they stand, so call this on the thread that changes
// coefficients. Returns false when a write to the device failed.
bool exportData(const ZBox &box, const QString &dateLine, QIODevice &device);

#endif // ZDATAEXPORTER_H
