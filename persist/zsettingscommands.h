#ifndef ZSETTINGSCOMMANDS_H
#define ZSETTINGSCOMMANDS_H

#include "zcommandoutcome.h"

class ZSettings;

// The headless part of the Save Settings and Load Settings commands: the window asks for
// the INI file name and shows the outcome; a tool calls the same operations.
class ZSettingsCommands
{
public:
    explicit ZSettingsCommands(ZSettings &settings);

    // Exports the store into the INI file. A file that reports an error when opened, or
    // whose final write fails, gives the warning "Can't Save Settings to %1." and "Save
    // Settings failed."; otherwise "Save Settings succeeded.".
    ZCommandOutcome saveSettings(const QString &fileName);
    // Imports the INI file into the store and applies it. A file that does not exist or
    // reports an error when opened gives the warning "Can't Load Settings from %1." and
    // "Load Settings failed.", and changes nothing; otherwise "Load Settings succeeded.".
    ZCommandOutcome loadSettings(const QString &fileName);

private:
    ZSettings &m_settings;
};

#endif // ZSETTINGSCOMMANDS_H
