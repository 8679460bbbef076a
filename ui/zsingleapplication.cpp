#include "ui/zsingleapplication.h"

#include <QWidget>

ZSingleApplication::ZSingleApplication(int &argc, char **argv, const QString &lockDirectory)
    : QApplication(argc, argv)
    , m_guard(lockDirectory)
{
    connect(&m_guard, &ZInstanceGuard::messageReceived, this, &ZSingleApplication::messageReceived);
}

ZSingleApplication::~ZSingleApplication() = default;

bool ZSingleApplication::sendMessage(const QString &message, int timeoutMs) const
{
    return m_guard.sendMessage(message, timeoutMs);
}

void ZSingleApplication::setActivationWindow(QWidget *window, bool activateOnMessage)
{
    m_window = window;
    disconnect(m_activation);
    if (activateOnMessage)
        m_activation = connect(this, &ZSingleApplication::messageReceived, this,
                               &ZSingleApplication::activateWindow);
}

void ZSingleApplication::activateWindow()
{
    if (!m_window)
        return;
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    m_window->activateWindow();
}
