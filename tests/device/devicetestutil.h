#ifndef DEVICETESTUTIL_H
#define DEVICETESTUTIL_H

#include "model/zsmartarray.h"

#include <QByteArray>

#include <vector>

// The bytes of a frame; an incomplete frame gives an empty array, so a builder that
// leaves its frame short fails the comparison.
inline QByteArray bytesOf(const ZByteArray &frame)
{
    if (!frame.isComplete())
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(frame.data()), int(frame.length()));
}

inline std::vector<unsigned char> hexBytes(const char *hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

inline ZByteArray frameOf(const QByteArray &bytes)
{
    ZByteArray frame(bytes.isEmpty() ? 1u : unsigned(bytes.size()));
    for (char byte : bytes)
        frame.append(static_cast<unsigned char>(byte));
    return frame;
}

#endif // DEVICETESTUTIL_H
