#include "zsettings.h"

#include "zboxsettings.h"

#include "app/zappobservable.h"
#include "device/zrealbox.h"

namespace {

const QString BoxTypeKey = QStringLiteral("boxType");
const QString StartTriggerKey = QStringLiteral("startTrigger");
const QString StopTriggerKey = QStringLiteral("stopTrigger");
const QString DurationKey = QStringLiteral("duration");

} // namespace

ZSettings::ZSettings(const QString &organization, const QString &application, QObject *parent)
    : QSettings(organization, application, parent)
{ }

ZSettings::ZSettings(const QString &fileName, QSettings::Format format, QObject *parent)
    : QSettings(fileName, format, parent)
{ }

ZSettings::~ZSettings()
{
    detach(subject());
    m_boxSettings.reset();
}

void ZSettings::saveTo(QSettings &file)
{
    saveAll();
    file.remove(QString());
    for (const QString &key : allKeys())
        file.setValue(key, value(key));
}

void ZSettings::loadFrom(QSettings &file)
{
    for (const QString &key : file.allKeys()) {
        if (key != BoxTypeKey)
            setValue(key, file.value(key));
    }
    loadAll();
}

void ZSettings::saveAll()
{
    const ZAppObservable *app = subject();
    if (!app)
        return;
    setValue(BoxTypeKey, app->boxType());
    setValue(StartTriggerKey, app->startTrigger());
    setValue(StopTriggerKey, app->stopTrigger());
    setValue(DurationKey, app->duration());
    if (m_boxSettings)
        m_boxSettings->saveAll();
}

void ZSettings::loadAll()
{
    ZAppObservable *app = subject();
    if (!app)
        return;
    // A different box type replaces the box, and through BoxTypeChanged the box settings.
    app->setBoxType(int(value(BoxTypeKey, app->boxType()).toUInt()));
    app->setStartTrigger(int(value(StartTriggerKey, app->startTrigger()).toUInt()));
    app->setStopTrigger(int(value(StopTriggerKey, app->stopTrigger()).toUInt()));
    app->setDuration(value(DurationKey, app->duration()).toDouble());
    if (m_boxSettings)
        m_boxSettings->loadAll();
}

bool ZSettings::update(int code)
{
    const ZAppObservable *app = subject();
    switch (code) {
    case BoxTypeChanged:
        setValue(BoxTypeKey, app->boxType());
        m_boxGroup = ZAppObservable::boxTypeName(app->boxType());
        replaceBoxSettings();
        return true;
    case StartTriggerChanged:
        setValue(StartTriggerKey, app->startTrigger());
        return true;
    case StopTriggerChanged:
        setValue(StopTriggerKey, app->stopTrigger());
        return true;
    case DurationChanged:
        setValue(DurationKey, app->duration());
        return true;
    default:
        return false;
    }
}

bool ZSettings::onAttached()
{
    m_boxGroup = ZAppObservable::boxTypeName(subject()->boxType());
    replaceBoxSettings();
    loadAll();
    return true;
}

bool ZSettings::onDetached()
{
    saveAll();
    m_boxSettings.reset();
    return true;
}

void ZSettings::replaceBoxSettings()
{
    m_boxSettings.reset();
    m_boxSettings = std::make_unique<ZBoxSettings>(*this);
    // Attaching loads every channel of the box from the current group.
    if (ZBox *box = subject()->activeBox())
        m_boxSettings->attach(box);
}
