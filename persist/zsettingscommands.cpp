#include "zsettingscommands.h"

#include "zsettings.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
};

} // namespace

ZSettingsCommands::ZSettingsCommands(ZSettings &settings)
    : m_settings(settings)
{ }

ZCommandOutcome ZSettingsCommands::saveSettings(const QString &fileName)
{
    const auto refused = [&] {
        return ZCommandOutcome::warning(Texts::tr("Save Settings"),
                                        Texts::tr("Can't Save Settings to %1.").arg(fileName),
                                        Texts::tr("Save Settings failed."));
    };
    QSettings file(fileName, QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        return refused();
    m_settings.saveTo(file);
    // The file is written here, not when it goes out of scope, so a failure is seen.
    file.sync();
    if (file.status() != QSettings::NoError)
        return refused();
    ZCommandOutcome outcome;
    outcome.succeeded = true;
    outcome.statusText = Texts::tr("Save Settings succeeded.");
    return outcome;
}

ZCommandOutcome ZSettingsCommands::loadSettings(const QString &fileName)
{
    // QSettings reads a missing file as an empty one: that would "succeed" at nothing.
    const QFileInfo info(fileName);
    QSettings file(fileName, QSettings::IniFormat);
    if (!info.isFile() || !info.isReadable() || file.status() != QSettings::NoError) {
        return ZCommandOutcome::warning(Texts::tr("Load Settings"),
                                        Texts::tr("Can't Load Settings from %1.").arg(fileName),
                                        Texts::tr("Load Settings failed."));
    }
    m_settings.loadFrom(file);
    ZCommandOutcome outcome;
    outcome.succeeded = true;
    outcome.statusText = Texts::tr("Load Settings succeeded.");
    return outcome;
}
