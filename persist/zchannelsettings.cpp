#include "zchannelsettings.h"

#include "zsettings.h"

#include "model/zanalogin.h"
#include "model/zanalogout.h"
#include "model/zdigitin.h"
#include "model/zdigitout.h"
#include "model/zedgecnt.h"

#include <algorithm>
#include <cmath>

namespace {

const char *const CoefKeys[ZAnalogIn::CoefCount]
    = { "coef0", "coef1", "coef2", "coef3", "coef4", "coef5" };

} // namespace

template<class Channel> QString ZChannelSettings<Channel>::key(const char *property) const
{
    return m_owner.boxGroup() + QLatin1String(m_kindPath)
        + QString::number(channelOf(subject()->id()) + 1) + QLatin1Char('/')
        + QLatin1String(property);
}

template<class Channel>
QVariant ZChannelSettings<Channel>::stored(const char *property, const QVariant &current) const
{
    return m_owner.value(key(property), current);
}

template<class Channel>
void ZChannelSettings<Channel>::store(const char *property, const QVariant &value)
{
    m_owner.setValue(key(property), value);
}

template class ZChannelSettings<ZAnalogIn>;
template class ZChannelSettings<ZDigitIn>;
template class ZChannelSettings<ZEdgeCnt>;
template class ZChannelSettings<ZAnalogOut>;
template class ZChannelSettings<ZDigitOut>;

// ---------------------------------------------------------------------------------------

template<class Channel> ZInputSettings<Channel>::~ZInputSettings()
{
    // While the object is still an input settings, so that its own save() runs.
    this->detach(this->subject());
}

template<class Channel> void ZInputSettings<Channel>::loadInput(Channel &channel)
{
    channel.setSelected(this->stored("selected", channel.isSelected()).toBool());
    channel.setInterval(this->stored("interval", channel.interval()).toDouble());
}

template<class Channel> void ZInputSettings<Channel>::saveInput(const Channel &channel)
{
    this->store("selected", channel.isSelected());
    this->store("interval", channel.interval());
}

template<class Channel> bool ZInputSettings<Channel>::storeInput(int code, const Channel &channel)
{
    switch (code) {
    case IntervalChanged:
        this->store("interval", channel.interval());
        return true;
    case SelectedChanged:
        this->store("selected", channel.isSelected());
        return true;
    default:
        return false;
    }
}

template<class Channel> bool ZInputSettings<Channel>::load()
{
    Channel *c = this->channel();
    if (!c)
        return false;
    loadInput(*c);
    return true;
}

template<class Channel> bool ZInputSettings<Channel>::save()
{
    const Channel *c = this->channel();
    if (!c)
        return false;
    saveInput(*c);
    return true;
}

template<class Channel> bool ZInputSettings<Channel>::update(int code)
{
    // DataAppended comes from the communication thread: never touch the store for it.
    if (code == DataAppended)
        return false;
    const Channel *c = this->channel();
    return c && storeInput(code, *c);
}

template class ZInputSettings<ZAnalogIn>;
template class ZInputSettings<ZDigitIn>;
template class ZInputSettings<ZEdgeCnt>;

// ---------------------------------------------------------------------------------------

ZAngInSettings::ZAngInSettings(ZSettings &owner)
    : ZInputSettings(owner, "/AngIn/")
{ }

ZAngInSettings::~ZAngInSettings()
{
    detach(subject());
}

bool ZAngInSettings::load()
{
    ZAnalogIn *c = channel();
    if (!c)
        return false;
    loadInput(*c);
    c->setRange(int(stored("range", c->range()).toUInt()));
    c->setShowType(int(stored("showType", c->showType()).toUInt()));
    std::vector<double> coefs = c->coefs();
    for (std::size_t k = 0; k < coefs.size(); ++k) {
        const double value = stored(CoefKeys[k], coefs[k]).toDouble();
        // One coefficient that is not finite would make the channel refuse all six.
        if (std::isfinite(value))
            coefs[k] = value;
    }
    c->setCoefs(coefs);
    return true;
}

bool ZAngInSettings::save()
{
    const ZAnalogIn *c = channel();
    if (!c)
        return false;
    saveInput(*c);
    store("range", c->range());
    store("showType", c->showType());
    saveCoefs(*c);
    return true;
}

bool ZAngInSettings::update(int code)
{
    if (code == DataAppended)
        return false;
    const ZAnalogIn *c = channel();
    if (!c)
        return false;
    if (storeInput(code, *c))
        return true;
    switch (code) {
    case RangeChanged:
        store("range", c->range());
        return true;
    case ShowTypeChanged:
        store("showType", c->showType());
        return true;
    case CoefsChanged:
        saveCoefs(*c);
        return true;
    default:
        return false;
    }
}

void ZAngInSettings::saveCoefs(const ZAnalogIn &channel)
{
    const std::vector<double> coefs = channel.coefs();
    for (std::size_t k = 0; k < coefs.size(); ++k)
        store(CoefKeys[k], coefs[k]);
}

// ---------------------------------------------------------------------------------------

ZDgtInSettings::ZDgtInSettings(ZSettings &owner)
    : ZInputSettings(owner, "/DgtIn/")
{ }

ZEgeCntSettings::ZEgeCntSettings(ZSettings &owner)
    : ZInputSettings(owner, "/EgeCnt/")
{ }

// ---------------------------------------------------------------------------------------

ZAngOutSettings::ZAngOutSettings(ZSettings &owner)
    : ZChannelSettings(owner, "/AngOut/")
{ }

ZAngOutSettings::~ZAngOutSettings()
{
    detach(subject());
}

bool ZAngOutSettings::load()
{
    ZAnalogOut *c = channel();
    if (!c)
        return false;
    c->setOutMode(int(stored("outMode", c->outMode()).toUInt()));
    c->setVoltage(stored("voltage", c->voltage()).toDouble());
    c->setInterval(stored("interval", c->interval()).toDouble());
    return true;
}

bool ZAngOutSettings::save()
{
    const ZAnalogOut *c = channel();
    if (!c)
        return false;
    store("outMode", c->outMode());
    store("voltage", c->voltage());
    store("interval", c->interval());
    return true;
}

bool ZAngOutSettings::update(int code)
{
    const ZAnalogOut *c = channel();
    if (!c)
        return false;
    switch (code) {
    case IntervalChanged:
        store("interval", c->interval());
        return true;
    case OutModeChanged:
        store("outMode", c->outMode());
        return true;
    case OutValueChanged:
        store("voltage", c->voltage());
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------

ZDgtOutSettings::ZDgtOutSettings(ZSettings &owner)
    : ZChannelSettings(owner, "/DgtOut/")
{ }

ZDgtOutSettings::~ZDgtOutSettings()
{
    detach(subject());
}

bool ZDgtOutSettings::load()
{
    ZDigitOut *c = channel();
    if (!c)
        return false;
    c->setOutMode(int(stored("outMode", c->outMode()).toUInt()));
    c->setStatus(stored("status", c->status()).toBool());
    c->setInterval(stored("interval", c->interval()).toDouble());
    // Beyond 16 bits the ratio would wrap instead of being clamped to 99.
    const uint ratio = stored("dutyRatio", uint(c->dutyRatio())).toUInt();
    c->setDutyRatio(quint16(std::min<uint>(ratio, 0xFFFF)));
    return true;
}

bool ZDgtOutSettings::save()
{
    const ZDigitOut *c = channel();
    if (!c)
        return false;
    store("outMode", c->outMode());
    store("status", c->status());
    store("interval", c->interval());
    store("dutyRatio", uint(c->dutyRatio()));
    return true;
}

bool ZDgtOutSettings::update(int code)
{
    const ZDigitOut *c = channel();
    if (!c)
        return false;
    switch (code) {
    case IntervalChanged:
        store("interval", c->interval());
        return true;
    case OutModeChanged:
        store("outMode", c->outMode());
        return true;
    case OutValueChanged:
        store("status", c->status());
        return true;
    case DutyRatioChanged:
        store("dutyRatio", uint(c->dutyRatio()));
        return true;
    default:
        return false;
    }
}
