#include "zsafefile.h"

#include <QSaveFile>

ZFileResult writeFileSafely(const QString &fileName, const std::function<bool(QIODevice &)> &write)
{
    ZFileResult result;
    QSaveFile file(fileName);
    // Unbuffered: through QFileDevice's own buffer a short write at the final flush (a
    // full disk) goes unreported and commit() keeps the truncated file. The writers
    // buffer themselves and see every short write.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered)) {
        result.errorString = file.errorString();
        return result;
    }
    if (!write(file)) {
        result.errorString = file.errorString();
        file.cancelWriting();
        file.commit();
        return result;
    }
    if (!file.commit()) {
        result.errorString = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}
