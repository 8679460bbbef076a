#ifndef ZCHANNELSETTINGS_H
#define ZCHANNELSETTINGS_H

#include "model/zcomponent.h"
#include "model/zobservable.h"

#include <QString>
#include <QVariant>

class ZAnalogIn;
class ZAnalogOut;
class ZDigitIn;
class ZDigitOut;
class ZEdgeCnt;
class ZSettings;

// The settings of one channel: its keys under "<box type>/<kind>/<number>/", loaded into
// the channel when attached, written back when detached, and each written again when the
// property it holds changes. A subject of another class than the settings' own is left
// alone. DataAppended arrives on the communication thread during a run and is ignored
// without touching the store.
template<class Channel> class ZChannelSettings : public ZObserver<ZComponent>
{
public:
    // Applies the stored keys through the channel's setters, the current values being
    // the defaults; false without a channel of the right class.
    virtual bool load() = 0;
    // Writes every key of the channel.
    virtual bool save() = 0;

    bool onAttached() override { return load(); }
    bool onDetached() override { return save(); }

protected:
    ZChannelSettings(ZSettings &owner, const char *kindPath)
        : m_owner(owner)
        , m_kindPath(kindPath)
    { }

    Channel *channel() const { return dynamic_cast<Channel *>(subject()); }
    QString key(const char *property) const;
    QVariant stored(const char *property, const QVariant &current) const;
    void store(const char *property, const QVariant &value);

private:
    ZSettings &m_owner;
    const char *const m_kindPath;
};

// The keys every input channel has: "selected" and "interval".
template<class Channel> class ZInputSettings : public ZChannelSettings<Channel>
{
public:
    ~ZInputSettings() override;

    bool load() override;
    bool save() override;
    bool update(int code) override;

protected:
    ZInputSettings(ZSettings &owner, const char *kindPath)
        : ZChannelSettings<Channel>(owner, kindPath)
    { }

    void loadInput(Channel &channel);
    void saveInput(const Channel &channel);
    // Writes the key of an input code; false for any other code.
    bool storeInput(int code, const Channel &channel);
};

class ZAngInSettings : public ZInputSettings<ZAnalogIn>
{
public:
    explicit ZAngInSettings(ZSettings &owner);
    ~ZAngInSettings() override;

    bool load() override;
    bool save() override;
    bool update(int code) override;

private:
    void saveCoefs(const ZAnalogIn &channel);
};

class ZDgtInSettings : public ZInputSettings<ZDigitIn>
{
public:
    explicit ZDgtInSettings(ZSettings &owner);
};

class ZEgeCntSettings : public ZInputSettings<ZEdgeCnt>
{
public:
    explicit ZEgeCntSettings(ZSettings &owner);
};

class ZAngOutSettings : public ZChannelSettings<ZAnalogOut>
{
public:
    explicit ZAngOutSettings(ZSettings &owner);
    ~ZAngOutSettings() override;

    bool load() override;
    bool save() override;
    bool update(int code) override;
};

class ZDgtOutSettings : public ZChannelSettings<ZDigitOut>
{
public:
    explicit ZDgtOutSettings(ZSettings &owner);
    ~ZDgtOutSettings() override;

    bool load() override;
    bool save() override;
    bool update(int code) override;
};

#endif // ZCHANNELSETTINGS_H
