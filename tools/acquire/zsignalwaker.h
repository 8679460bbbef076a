#ifndef ZSIGNALWAKER_H
#define ZSIGNALWAKER_H

#include <QObject>

class QSocketNotifier;

// Answers SIGINT and SIGTERM from the moment it is made until the process ends, so that
// a signal during the save cannot kill the tool and lose the run.
//
// The first signal asks for a stop: the handler writes one byte into a socket pair and
// the event loop emits stopRequested(). Later signals are answered by the handler itself,
// since the loop is not running while the files are written: the second prints "saving,
// please wait", the third ends the process at once with AbortExitStatus. A file being
// saved then keeps its old content: the new one takes its place only at the very end.
//
// One waker per process. Its handlers stay installed after it is destroyed, and a signal
// then counts as a later one.
class ZSignalWaker : public QObject
{
    Q_OBJECT

public:
    static constexpr int AbortExitStatus = 130;

    explicit ZSignalWaker(QObject *parent = nullptr);
    ~ZSignalWaker() override;

    bool isValid() const { return m_notifier != nullptr; }
    // The run is over: the next signal counts as a later one.
    static void markStopped();

signals:
    void stopRequested(int signalNumber);

private:
    static void handle(int signalNumber);
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

#endif // ZSIGNALWAKER_H
