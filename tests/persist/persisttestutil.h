#ifndef PERSISTTESTUTIL_H
#define PERSISTTESTUTIL_H

#include "app/zappobservable.h"
#include "device/zusbbridge.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

// An application model that never reaches a device: these tests only configure boxes.
inline ZAppObservable::BridgeFactory noBridge()
{
    return [](int) {
        return std::unique_ptr<ZUsbBridge>();
    };
}

// Keeps every settings file of the process inside a temporary folder, so that no test
// reads or writes the user's configuration even by accident.
inline void redirectUserSettings(const QTemporaryDir &dir)
{
    QStandardPaths::setTestModeEnabled(true);
    for (const auto format : { QSettings::NativeFormat, QSettings::IniFormat })
        QSettings::setPath(format, QSettings::UserScope, dir.path());
}

inline QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#endif // PERSISTTESTUTIL_H
