#ifndef WHOLEFILE_H
#define WHOLEFILE_H

#include <QByteArray>
#include <QFile>
#include <QString>

// A file's whole content, or nothing when it cannot be read.
inline QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces a file's content; false unless every byte was written.
inline bool writeAll(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#endif // WHOLEFILE_H
