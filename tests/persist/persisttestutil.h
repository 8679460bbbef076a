#ifndef PERSISTTESTUTIL_H
#define PERSISTTESTUTIL_H

#include "persist/zcommandoutcome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

// No test reads or writes the user's configuration, even by accident.
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

// An outcome in one comparable line: how it ended, the kind of message box if any, and the
// texts it carries.
inline QString summary(const ZCommandOutcome &outcome)
{
    QStringList parts { QLatin1String(outcome.succeeded ? "succeeded" : "failed")
                        + QLatin1String(outcome.cancelled ? ", cancelled" : "") };
    if (outcome.message != ZCommandOutcome::NoMessage)
        parts << QLatin1String(outcome.message == ZCommandOutcome::WarningMessage ? "warning"
                                                                                  : "plain");
    for (const QString &text : { outcome.messageTitle, outcome.messageText, outcome.statusText }) {
        if (!text.isEmpty())
            parts << text;
    }
    return parts.join(QLatin1String(" | "));
}

#endif // PERSISTTESTUTIL_H
