#ifndef PERSISTTESTUTIL_H
#define PERSISTTESTUTIL_H

#include "app/zappobservable.h"
#include "device/zusbbridge.h"
#include "model/zanalogin.h"
#include "persist/zcommandoutcome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

#include <sys/resource.h>

// An application model that never reaches a device: these tests only configure boxes.
inline ZAppObservable::BridgeFactory noBridge()
{
    return [](int) {
        return std::unique_ptr<ZUsbBridge>();
    };
}

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

// Samples one by one, as the acquisition appends them (times move forward on the way).
inline void appendVolts(ZAnalogIn *channel,
                        std::initializer_list<std::pair<double, double>> samples)
{
    for (const auto &[t, v] : samples)
        channel->appendVolts(&t, &v, 1);
}

inline void appendRaw(ZInChannel *channel, std::initializer_list<std::pair<double, qint64>> samples)
{
    for (const auto &[t, raw] : samples) {
        const int value = static_cast<int>(quint32(raw));
        channel->append(&t, &value, 1);
    }
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

// While it lives, a write beyond the limit fails as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
        : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        const rlimit limit { bytes, m_saved.rlim_max };
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    Q_DISABLE_COPY(FileSizeLimit)

private:
    void (*m_oldHandler)(int);
    rlimit m_saved {};
};

#endif // PERSISTTESTUTIL_H
