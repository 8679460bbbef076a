#include "zprojectcommands.h"

#include "zdataexporter.h"
#include "zprojectreader.h"
#include "zprojectwriter.h"
#include "zsafefile.h"
#include "zsavedtime.h"

#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"

#include <QCoreApplication>

namespace {

// The texts belong to the main window's commands and are translated in its context.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};

} // namespace

ZProjectCommands::ZProjectCommands(ZAppObservable &app)
    : m_app(app)
    , m_clock([] { return QDateTime::currentDateTime(); })
{ }

ZCommandOutcome ZProjectCommands::saveProject(const QString &fileName) const
{
    const ZRealBox *box = m_app.activeBox();
    if (!box)
        return ZCommandOutcome::failure(Texts::tr("Save Project failed."));
    const QString time = savedTime();
    const ZFileResult result = writeFileSafely(fileName, [&](QIODevice &device) {
        showStatus(Texts::tr("Saving Project to %1...").arg(fileName));
        return writeProject(*box, time, device);
    });
    if (!result.ok) {
        return ZCommandOutcome::warning(
            Texts::tr("Save Project"),
            Texts::tr("Can't Save Project to %1:\n%2.").arg(fileName, result.errorString),
            Texts::tr("Save Project failed."));
    }
    return ZCommandOutcome::success(Texts::tr("Save Project succeeded."));
}

ZCommandOutcome ZProjectCommands::openProject(const QString &fileName)
{
    showStatus(Texts::tr("Reading from %1...").arg(fileName));
    ZProjectReadResult result
        = readProjectFile(fileName, [this] { showStatus(Texts::tr("Reconstructing project...")); });
    switch (result.outcome) {
    case ZProjectReadResult::ReadFailure:
        return ZCommandOutcome::failure(
            Texts::tr("Open Project failed because of reading failure."));
    case ZProjectReadResult::InvalidFormat:
        return ZCommandOutcome::failure(
            Texts::tr("Open Project failed because of file of invalid format."));
    case ZProjectReadResult::UnmatchedVersion: {
        ZCommandOutcome outcome = ZCommandOutcome::failure(
            Texts::tr("Open Project failed because of unmatched version."));
        outcome.message = ZCommandOutcome::PlainMessage;
        outcome.messageText = QCoreApplication::translate(
            "QObject", "Please choose project file saved by Quoravi of the current Version!");
        return outcome;
    }
    case ZProjectReadResult::Opened:
        break;
    }
    // The application model owns the box from here on.
    m_app.addBox(result.box.release());
    return ZCommandOutcome::success(Texts::tr("Open Project succeeded."));
}

ZCommandOutcome ZProjectCommands::saveData(const QString &fileName) const
{
    const ZRealBox *box = m_app.activeBox();
    if (!box)
        return ZCommandOutcome::failure(
            Texts::tr("Save Data failed because of limits of authority."));
    const QString time = savedTime();
    const ZFileResult result = writeFileSafely(fileName, [&](QIODevice &device) {
        showStatus(Texts::tr("Saving Data to %1...").arg(fileName));
        return exportData(*box, time, device);
    });
    if (!result.ok) {
        return ZCommandOutcome::warning(
            Texts::tr("Save Data"),
            Texts::tr("Can't Save Data to %1:\n%2.").arg(fileName, result.errorString),
            Texts::tr("Save Data failed because of limits of authority."));
    }
    return ZCommandOutcome::success(Texts::tr("Save Data succeeded"));
}

void ZProjectCommands::showStatus(const QString &text) const
{
    if (m_statusSink)
        m_statusSink(text);
}

QString ZProjectCommands::savedTime() const
{
    return savedTimeText(m_clock());
}
