#ifndef ZINSTANCEGUARD_H
#define ZINSTANCEGUARD_H

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

// Keeps the program to one instance per user. The first instance holds a lock file and
// listens on a local socket beside it; a later one finds the lock taken and may send the
// first a message through the socket. A lock left by an instance that was killed names a
// process that no longer exists and is taken over.
class ZInstanceGuard : public QObject
{
    Q_OBJECT

public:
    // `directory` holds the lock file and the socket; the user's runtime folder by default.
    explicit ZInstanceGuard(const QString &directory = QString(), QObject *parent = nullptr);
    ~ZInstanceGuard() override;

    static QString defaultDirectory();

    // True when another instance holds the lock.
    bool isRunning() const { return !m_primary; }
    // Sends a message to the running instance; false when none took it within the time.
    bool sendMessage(const QString &message, int timeoutMs = 1000) const;

    QString lockFileName() const;
    QString socketName() const { return m_socketName; }

signals:
    void messageReceived(const QString &message);

private:
    void listen();
    void acceptConnection();

    QString m_directory;
    QString m_socketName;
    QLockFile m_lock;
    bool m_primary = false;
    QLocalServer *m_server = nullptr;
};

#endif // ZINSTANCEGUARD_H
