#include "zsignalwaker.h"

#include <QSocketNotifier>

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One waker per process: the handler needs the descriptor without any object.
int g_sockets[2] = { -1, -1 };

} // namespace

ZSignalWaker::ZSignalWaker(QObject *parent)
    : QObject(parent)
{
    if (g_sockets[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0)
        return;
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ZSignalWaker::readSignal);

    struct sigaction action
    {
    };
    action.sa_handler = &ZSignalWaker::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &m_oldInt);
    sigaction(SIGTERM, &action, &m_oldTerm);
}

ZSignalWaker::~ZSignalWaker()
{
    if (!m_notifier)
        return;
    sigaction(SIGINT, &m_oldInt, nullptr);
    sigaction(SIGTERM, &m_oldTerm, nullptr);
    delete m_notifier;
    ::close(g_sockets[0]);
    ::close(g_sockets[1]);
    g_sockets[0] = g_sockets[1] = -1;
}

void ZSignalWaker::handle(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
    errno = savedErrno;
}

void ZSignalWaker::readSignal()
{
    char byte = 0;
    if (::read(g_sockets[1], &byte, 1) == 1)
        emit stopRequested(static_cast<unsigned char>(byte));
}
