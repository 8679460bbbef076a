#ifndef ZSIGNALWAKER_H
#define ZSIGNALWAKER_H

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal in the event loop. The handler only writes
// one byte into a socket pair; everything else happens in the loop, where it is safe.
class ZSignalWaker : public QObject
{
    Q_OBJECT

public:
    explicit ZSignalWaker(QObject *parent = nullptr);
    ~ZSignalWaker() override;

    bool isValid() const { return m_notifier != nullptr; }

signals:
    void stopRequested(int signalNumber);

private:
    static void handle(int signalNumber);
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_oldInt
    {
    };
    struct sigaction m_oldTerm
    {
    };
};

#endif // ZSIGNALWAKER_H
