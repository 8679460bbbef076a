#ifndef ZCOMMANDOUTCOME_H
#define ZCOMMANDOUTCOME_H

#include <QString>

#include <functional>

// What one of the main window's file commands reports: whether it succeeded, the modal
// message box the window shows first (if any) and the status-bar text that follows it
// (shown for 3000 ms). The texts are translated already.
struct ZCommandOutcome
{
    enum Message {
        NoMessage,
        // A warning box with the window as parent, the command's name as title and one
        // OK button.
        WarningMessage,
        // A plain message box without parent and with the standard OK button.
        PlainMessage
    };

    bool succeeded = false;
    // The user stopped the work: nothing was written or added.
    bool cancelled = false;
    Message message = NoMessage;
    QString messageTitle;
    QString messageText;
    QString statusText;

    static ZCommandOutcome success(const QString &status)
    {
        ZCommandOutcome outcome;
        outcome.succeeded = true;
        outcome.statusText = status;
        return outcome;
    }
    static ZCommandOutcome failure(const QString &status)
    {
        ZCommandOutcome outcome;
        outcome.statusText = status;
        return outcome;
    }
    static ZCommandOutcome canceled(const QString &status)
    {
        ZCommandOutcome outcome = failure(status);
        outcome.cancelled = true;
        return outcome;
    }
    static ZCommandOutcome warning(const QString &title, const QString &text, const QString &status)
    {
        ZCommandOutcome outcome = failure(status);
        outcome.message = WarningMessage;
        outcome.messageTitle = title;
        outcome.messageText = text;
        return outcome;
    }
};

// Receives the status-bar texts a command shows while it works ("Saving Project to
// %1..."), before its outcome.
using ZStatusSink = std::function<void(const QString &text)>;

#endif // ZCOMMANDOUTCOME_H
