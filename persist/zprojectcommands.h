#ifndef ZPROJECTCOMMANDS_H
#define ZPROJECTCOMMANDS_H

#include "zcommandoutcome.h"

#include <QDateTime>

class ZAppObservable;

// The headless part of the Save Project, Open Project and Save Data commands: the window
// asks for the file name and shows the outcome; a tool calls the same operations.
//
// Saving always takes the application model's device box, never a playback box, and may
// run while a run appends: each channel's sample count is taken once at the start.
// Opening adds a new playback box to the application model, and changes nothing there
// when it fails.
class ZProjectCommands
{
public:
    using Clock = std::function<QDateTime()>;

    explicit ZProjectCommands(ZAppObservable &app);

    // Intermediate status texts go here; none by default.
    void setStatusSink(ZStatusSink sink) { m_statusSink = std::move(sink); }
    // The moment of saving written into files; the current local time by default.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // "Save Project succeeded." or the warning "Can't Save Project to %1:\n%2." and
    // "Save Project failed.".
    ZCommandOutcome saveProject(const QString &fileName) const;
    // "Open Project succeeded."; "Open Project failed because of reading failure.",
    // "... of file of invalid format." or, after the plain message "Please choose project
    // file saved by Quoravi of the current Version!", "... of unmatched version.".
    ZCommandOutcome openProject(const QString &fileName);
    // "Save Data succeeded" or the warning "Can't Save Data to %1:\n%2." and "Save Data
    // failed because of limits of authority.".
    ZCommandOutcome saveData(const QString &fileName) const;

private:
    void showStatus(const QString &text) const;
    QString savedTime() const;

    ZAppObservable &m_app;
    ZStatusSink m_statusSink;
    Clock m_clock;
};

#endif // ZPROJECTCOMMANDS_H
