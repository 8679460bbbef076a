#include "zprojectcommands.h"

#include "zdataexporter.h"
#include "zfileprogress.h"
#include "zprojectreader.h"
#include "zprojectwriter.h"
#include "zsafefile.h"
#include "zsavedtime.h"

#include "app/zappobservable.h"
#include "device/zimgybox.h"
#include "device/zrealbox.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// The texts belong to the main window's commands and are translated in its context.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};

} // namespace

ZOpenedProject::ZOpenedProject() = default;
ZOpenedProject::ZOpenedProject(ZOpenedProject &&) noexcept = default;
ZOpenedProject &ZOpenedProject::operator=(ZOpenedProject &&) noexcept = default;
ZOpenedProject::~ZOpenedProject() = default;

ZProjectCommands::ZProjectCommands(ZAppObservable &app)
    : m_app(app)
    , m_clock([] { return QDateTime::currentDateTime(); })
{ }

ZCommandOutcome ZProjectCommands::saveProject(const QString &fileName,
                                              ZFileProgress *progress) const
{
    const ZRealBox *box = m_app.activeBox();
    if (!box)
        return ZCommandOutcome::failure(Texts::tr("Save Project failed."));
    const QString time = savedTime();
    const ZFileResult result = writeFile(fileName, progress, [&](QIODevice &device) {
        showStatus(Texts::tr("Saving Project to %1...").arg(fileName));
        return writeProject(*box, time, device);
    });
    if (progress && progress->isCancelled())
        return ZCommandOutcome::canceled(Texts::tr("Save Project canceled."));
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
    return addProject(readProject(fileName));
}

ZOpenedProject ZProjectCommands::readProject(const QString &fileName, ZFileProgress *progress) const
{
    showStatus(Texts::tr("Reading from %1...").arg(fileName));
    const auto reconstructing = [this] {
        showStatus(Texts::tr("Reconstructing project..."));
    };
    ZProjectReadResult result;
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly)) {
        if (progress) {
            progress->setTotal(file.size());
            ZProgressDevice device(file, *progress);
            result = ::readProject(device, reconstructing);
        } else {
            result = ::readProject(file, reconstructing);
        }
    }

    ZOpenedProject opened;
    if (progress && progress->isCancelled()) {
        opened.outcome = ZCommandOutcome::canceled(Texts::tr("Open Project canceled."));
        return opened;
    }
    switch (result.outcome) {
    case ZProjectReadResult::ReadFailure:
        opened.outcome = ZCommandOutcome::failure(
            Texts::tr("Open Project failed because of reading failure."));
        break;
    case ZProjectReadResult::InvalidFormat:
        opened.outcome = ZCommandOutcome::failure(
            Texts::tr("Open Project failed because of file of invalid format."));
        break;
    case ZProjectReadResult::UnmatchedVersion:
        opened.outcome = ZCommandOutcome::failure(
            Texts::tr("Open Project failed because of unmatched version."));
        opened.outcome.message = ZCommandOutcome::PlainMessage;
        opened.outcome.messageText = QCoreApplication::translate(
            "QObject", "Please choose project file saved by Quoravi of the current Version!");
        break;
    case ZProjectReadResult::Opened:
        opened.box = std::move(result.box);
        opened.outcome = ZCommandOutcome::success(Texts::tr("Open Project succeeded."));
        break;
    }
    return opened;
}

ZCommandOutcome ZProjectCommands::addProject(ZOpenedProject project)
{
    if (!project.box)
        return project.outcome;
    // The application model owns the box from here on.
    m_app.addBox(project.box.release());
    return project.outcome;
}

ZCommandOutcome ZProjectCommands::saveData(const QString &fileName, ZFileProgress *progress) const
{
    const ZRealBox *box = m_app.activeBox();
    if (!box)
        return ZCommandOutcome::failure(
            Texts::tr("Save Data failed because of limits of authority."));
    const QString time = savedTime();
    const ZFileResult result = writeFile(fileName, progress, [&](QIODevice &device) {
        showStatus(Texts::tr("Saving Data to %1...").arg(fileName));
        return exportData(*box, time, device);
    });
    if (progress && progress->isCancelled())
        return ZCommandOutcome::canceled(Texts::tr("Save Data canceled."));
    if (!result.ok) {
        return ZCommandOutcome::warning(
            Texts::tr("Save Data"),
            Texts::tr("Can't Save Data to %1:\n%2.").arg(fileName, result.errorString),
            Texts::tr("Save Data failed because of limits of authority."));
    }
    return ZCommandOutcome::success(Texts::tr("Save Data succeeded"));
}

ZFileResult ZProjectCommands::writeFile(const QString &fileName, ZFileProgress *progress,
                                        const std::function<bool(QIODevice &)> &write) const
{
    if (!progress)
        return writeFileSafely(fileName, write);
    return writeFileSafely(fileName, [&](QIODevice &file) {
        ZProgressDevice device(file, *progress);
        return write(device);
    });
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
