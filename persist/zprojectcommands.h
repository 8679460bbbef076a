#ifndef ZPROJECTCOMMANDS_H
#define ZPROJECTCOMMANDS_H

#include "zcommandoutcome.h"
#include "zsafefile.h"

#include <QDateTime>

#include <memory>

class ZAppObservable;
class ZFileProgress;
class ZImgyBox;

// A project read from its file but not yet handed to the application model: the box, or
// the outcome that tells why there is none.
struct ZOpenedProject
{
    ZOpenedProject();
    ZOpenedProject(ZOpenedProject &&) noexcept;
    ZOpenedProject &operator=(ZOpenedProject &&) noexcept;
    ~ZOpenedProject();

    std::unique_ptr<ZImgyBox> box;
    ZCommandOutcome outcome;
};

// The headless part of the Save Project, Open Project and Save Data commands: the window
// asks for the file name and shows the outcome; a tool calls the same operations.
//
// Saving always takes the application model's device box, never a playback box, and may
// run while a run appends: each channel's sample count is taken once at the start.
// Opening adds a new playback box to the application model, and changes nothing there
// when it fails.
//
// The saves and the reading of a project may run on a worker thread while the model's
// thread waits (the status sink is then called on the worker). Given a progress, they
// count the bytes and stop when it is cancelled: a cancelled save leaves an existing file
// as it was, a cancelled reading gives no box.
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
    ZCommandOutcome saveProject(const QString &fileName, ZFileProgress *progress = nullptr) const;
    // "Open Project succeeded."; "Open Project failed because of reading failure.",
    // "... of file of invalid format." or, after the plain message "Please choose project
    // file saved by Quoravi of the current Version!", "... of unmatched version.".
    ZCommandOutcome openProject(const QString &fileName);
    // The two halves of openProject: reading touches nothing of the application model,
    // adding hands the box over on the model's thread.
    ZOpenedProject readProject(const QString &fileName, ZFileProgress *progress = nullptr) const;
    ZCommandOutcome addProject(ZOpenedProject project);
    // "Save Data succeeded" or the warning "Can't Save Data to %1:\n%2." and "Save Data
    // failed because of limits of authority.".
    ZCommandOutcome saveData(const QString &fileName, ZFileProgress *progress = nullptr) const;

private:
    ZFileResult writeFile(const QString &fileName, ZFileProgress *progress,
                          const std::function<bool(QIODevice &)> &write) const;
    void showStatus(const QString &text) const;
    QString savedTime() const;

    ZAppObservable &m_app;
    ZStatusSink m_statusSink;
    Clock m_clock;
};

#endif // ZPROJECTCOMMANDS_H
