#ifndef ZRUNCONFIG_H
#define ZRUNCONFIG_H

#include "model/zsmartarray.h"

#include <QVector>

class ZRealBox;

// The command frames that configure the box for a run, in the order they are queued:
// 0x03; 0x0B for the types that have an input-mode command; 0x13 for every analog input;
// 0x1B with the rate of the fastest selected analog input (1 when none is selected);
// 0x23 for every edge counter; 0x02 for every analog output; 0x0A for every digital
// output. Each list in channel order.
QVector<ZByteArray> runConfiguration(const ZRealBox &box);

// The 0x1B rate of a box: that of the selected analog input with the smallest interval
// (the first in channel order among equals), or 1 when none is selected.
unsigned runRate(const ZRealBox &box);

#endif // ZRUNCONFIG_H
