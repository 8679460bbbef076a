#include "ui/zinstanceguard.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

const char *const LockName = "quoravi.lock";
const char *const SocketName = "quoravi.socket";

QString readMessage(QLocalSocket &socket)
{
    QDataStream in(&socket);
    QString message;
    in.startTransaction();
    in >> message;
    return in.commitTransaction() ? message : QString();
}

} // namespace

ZInstanceGuard::ZInstanceGuard(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(directory.isEmpty() ? defaultDirectory() : directory)
    , m_socketName(QDir(m_directory).filePath(QLatin1String(SocketName)))
    , m_lock(lockFileName())
{
    QDir().mkpath(m_directory);
    // Never stale by age: a long session keeps its lock. A lock whose process is gone
    // (killed, crashed) is recognised by QLockFile and removed by tryLock.
    m_lock.setStaleLockTime(0);
    m_primary = m_lock.tryLock(0);
    if (m_primary)
        listen();
}

ZInstanceGuard::~ZInstanceGuard()
{
    if (m_server)
        m_server->close();
}

QString ZInstanceGuard::defaultDirectory()
{
    // Per user: the runtime folder belongs to the user and no one else can enter it.
    QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty())
        directory
            = QDir::temp().filePath(QStringLiteral("quoravi-%1").arg(qEnvironmentVariable("USER")));
    return directory;
}

QString ZInstanceGuard::lockFileName() const
{
    return QDir(m_directory).filePath(QLatin1String(LockName));
}

void ZInstanceGuard::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A killed instance leaves its socket file behind; holding the lock, we may remove it.
    QLocalServer::removeServer(m_socketName);
    if (!m_server->listen(m_socketName))
        return;
    connect(m_server, &QLocalServer::newConnection, this, &ZInstanceGuard::acceptConnection);
}

void ZInstanceGuard::acceptConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QString message = readMessage(*socket);
            if (!message.isNull())
                emit messageReceived(message);
        });
    }
}

bool ZInstanceGuard::sendMessage(const QString &message, int timeoutMs) const
{
    if (m_primary)
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_socketName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QDataStream out(&socket);
    out << message;
    const bool written = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written;
}
