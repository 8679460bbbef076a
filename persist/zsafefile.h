#ifndef ZSAFEFILE_H
#define ZSAFEFILE_H

#include <QString>

#include <functional>

class QIODevice;

// The outcome of writing one file: success, or the system's description of the error.
struct ZFileResult
{
    bool ok = false;
    QString errorString;
};

// Writes a file in text mode through QSaveFile: an existing file is replaced only once
// the new content is completely written, and a failure at any point (opening, a write,
// the final rename) is a failure with the system's error text. `write` returns false when
// a write to the device failed.
ZFileResult writeFileSafely(const QString &fileName, const std::function<bool(QIODevice &)> &write);

#endif // ZSAFEFILE_H
