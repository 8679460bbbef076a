#ifndef ZSETTINGS_H
#define ZSETTINGS_H

#include "model/zobservable.h"

#include <QSettings>

#include <memory>

class ZAppObservable;
class ZBoxSettings;

// The continuous settings store: it mirrors the whole configuration (box type, triggers,
// duration and every channel property of every box type ever used) and writes each
// property the moment it changes. Attached to the application model it first applies
// what it holds, so the last configuration comes back; detached, it writes the complete
// state. General keys stand at the top level, channel keys under the box type's name:
// "UX-100/AngIn/1/interval".
//
// Everything here runs on the GUI thread.
class ZSettings : public QSettings, public ZObserver<ZAppObservable>
{
public:
    // The platform's native store of the organization's application.
    ZSettings(const QString &organization, const QString &application, QObject *parent = nullptr);
    // A store in a file of its own, for tests and headless tools that must leave the
    // user's configuration alone.
    ZSettings(const QString &fileName, QSettings::Format format, QObject *parent = nullptr);
    ~ZSettings() override;

    // The first path element of every channel key: the current box type's name.
    QString boxGroup() const { return m_boxGroup; }

    // Export: the complete current state, then every key of the store, replaces the
    // content of the file.
    void saveTo(QSettings &file);
    // Import: every key of the file except "boxType" is copied into the store, then the
    // store is applied; the box type never changes this way.
    void loadFrom(QSettings &file);

    void saveAll();
    void loadAll();

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

private:
    void replaceBoxSettings();

    std::unique_ptr<ZBoxSettings> m_boxSettings;
    QString m_boxGroup;
};

#endif // ZSETTINGS_H
