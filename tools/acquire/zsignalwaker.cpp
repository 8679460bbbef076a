#include "zsignalwaker.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler reaches these without any object. The socket pair lives as long as the
// process: a handler that runs while a waker is destroyed never writes into a closed,
// perhaps reused, descriptor.
int g_sockets[2] = { -1, -1 };
std::atomic<int> g_signals { 0 };
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free count");

constexpr char PatienceText[] = "saving, please wait\n";

} // namespace

ZSignalWaker::ZSignalWaker(QObject *parent)
    : QObject(parent)
{
    if (g_sockets[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_sockets) != 0) {
        g_sockets[0] = g_sockets[1] = -1;
        return;
    }
    g_signals.store(0);
    m_notifier = new QSocketNotifier(g_sockets[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ZSignalWaker::readSignal);

    struct sigaction action
    {
    };
    action.sa_handler = &ZSignalWaker::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

ZSignalWaker::~ZSignalWaker()
{
    markStopped();
}

void ZSignalWaker::markStopped()
{
    int expected = 0;
    g_signals.compare_exchange_strong(expected, 1);
}

void ZSignalWaker::handle(int signalNumber)
{
    const int savedErrno = errno;
    const int count = g_signals.fetch_add(1) + 1;
    if (count == 1) {
        const char byte = static_cast<char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(g_sockets[0], &byte, 1);
    } else if (count == 2) {
        [[maybe_unused]] const ssize_t written
            = ::write(STDERR_FILENO, PatienceText, sizeof PatienceText - 1);
    } else {
        ::_exit(AbortExitStatus);
    }
    errno = savedErrno;
}

void ZSignalWaker::readSignal()
{
    char byte = 0;
    if (::read(g_sockets[1], &byte, 1) == 1)
        emit stopRequested(static_cast<unsigned char>(byte));
}
