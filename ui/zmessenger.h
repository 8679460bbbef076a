#ifndef ZMESSENGER_H
#define ZMESSENGER_H

#include <QString>

class QWidget;

// The message boxes of the window's commands. The program shows modal boxes; tests record
// what would have been shown and give the answers.
class ZMessenger
{
public:
    // The answers to the question asked before closing with unsaved samples.
    enum CloseChoice { SaveProject, Discard, CancelClose };

    virtual ~ZMessenger() = default;

    // A modal warning box with one OK button.
    virtual void warning(QWidget *parent, const QString &title, const QString &text) = 0;
    // A plain modal box without parent and with the standard OK button.
    virtual void message(const QString &text) = 0;
    // "Save Project", "Discard" or "Cancel" for samples that would be lost by closing.
    virtual CloseChoice askBeforeClosing(QWidget *parent) = 0;
};

// Real QMessageBox dialogs.
class ZDialogMessenger : public ZMessenger
{
public:
    void warning(QWidget *parent, const QString &title, const QString &text) override;
    void message(const QString &text) override;
    CloseChoice askBeforeClosing(QWidget *parent) override;
};

#endif // ZMESSENGER_H
