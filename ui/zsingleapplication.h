#ifndef ZSINGLEAPPLICATION_H
#define ZSINGLEAPPLICATION_H

#include "ui/zinstanceguard.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

// The application object of the window program, allowing one instance per user: the
// second start learns from isRunning() that another instance holds the lock. Messages
// sent by later starts raise the activation window when asked to.
class ZSingleApplication : public QApplication
{
    Q_OBJECT

public:
    // `lockDirectory` holds the lock file and the socket; the user's runtime folder by
    // default.
    ZSingleApplication(int &argc, char **argv, const QString &lockDirectory = QString());
    ~ZSingleApplication() override;

    bool isRunning() const { return m_guard.isRunning(); }
    bool sendMessage(const QString &message, int timeoutMs = 1000) const;

    void setActivationWindow(QWidget *window, bool activateOnMessage = true);
    QWidget *activationWindow() const { return m_window; }

public slots:
    void activateWindow();

signals:
    void messageReceived(const QString &message);

private:
    ZInstanceGuard m_guard;
    QPointer<QWidget> m_window;
    QMetaObject::Connection m_activation;
};

#endif // ZSINGLEAPPLICATION_H
