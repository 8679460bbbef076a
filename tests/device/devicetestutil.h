#ifndef DEVICETESTUTIL_H
#define DEVICETESTUTIL_H

#include "model/zsmartarray.h"

#include <QByteArray>

// The bytes of a frame; an incomplete frame gives an empty array, so a builder that leaves its
// frame short fails the comparison.
inline QByteArray bytesOf(const ZByteArray &frame)
{
    if (!frame.isComplete())
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.length()));
}

#endif // DEVICETESTUTIL_H
