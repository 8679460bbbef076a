#include "zboxsettings.h"

#include "zchannelsettings.h"
#include "zsettings.h"

#include "device/zrealbox.h"

namespace {

template<class Settings, class Channel>
void attachAll(ZSettings &owner, const std::vector<Channel *> &channels,
               std::vector<std::unique_ptr<Settings>> *list)
{
    for (Channel *channel : channels) {
        auto settings = std::make_unique<Settings>(owner);
        settings->attach(channel);
        list->push_back(std::move(settings));
    }
}

template<class Settings> void saveEach(const std::vector<std::unique_ptr<Settings>> &list)
{
    for (const auto &settings : list)
        settings->save();
}

template<class Settings> void loadEach(const std::vector<std::unique_ptr<Settings>> &list)
{
    for (const auto &settings : list)
        settings->load();
}

} // namespace

ZBoxSettings::ZBoxSettings(ZSettings &owner)
    : m_owner(owner)
{ }

ZBoxSettings::~ZBoxSettings()
{
    detach(subject());
    deleteChannelSettings();
}

void ZBoxSettings::saveAll()
{
    const ZRealBox *box = realBox();
    if (!box)
        return;
    const QString group = m_owner.boxGroup();
    const auto writeSize = [&](const char *kind, std::size_t size) {
        if (size > 0)
            m_owner.setValue(group + QLatin1String(kind), int(size));
    };
    writeSize("/AngIn/size", box->analogIns().size());
    writeSize("/DgtIn/size", box->digitIns().size());
    writeSize("/EgeCnt/size", box->edgeCnts().size());
    writeSize("/AngOut/size", box->analogOuts().size());
    writeSize("/DgtOut/size", box->digitOuts().size());
    saveEach(m_angIns);
    saveEach(m_dgtIns);
    saveEach(m_egeCnts);
    saveEach(m_angOuts);
    saveEach(m_dgtOuts);
}

void ZBoxSettings::loadAll()
{
    loadEach(m_angIns);
    loadEach(m_dgtIns);
    loadEach(m_egeCnts);
    loadEach(m_angOuts);
    loadEach(m_dgtOuts);
}

bool ZBoxSettings::update(int code)
{
    Q_UNUSED(code);
    return true;
}

bool ZBoxSettings::onAttached()
{
    ZRealBox *box = realBox();
    if (!box)
        return false;
    attachAll(m_owner, box->analogIns(), &m_angIns);
    attachAll(m_owner, box->digitIns(), &m_dgtIns);
    attachAll(m_owner, box->edgeCnts(), &m_egeCnts);
    attachAll(m_owner, box->analogOuts(), &m_angOuts);
    attachAll(m_owner, box->digitOuts(), &m_dgtOuts);
    return true;
}

bool ZBoxSettings::onDetached()
{
    saveAll();
    // Each one's destruction detaches it, and its onDetached() writes its channel.
    deleteChannelSettings();
    return true;
}

ZRealBox *ZBoxSettings::realBox() const
{
    return dynamic_cast<ZRealBox *>(subject());
}

void ZBoxSettings::deleteChannelSettings()
{
    m_angIns.clear();
    m_dgtIns.clear();
    m_egeCnts.clear();
    m_angOuts.clear();
    m_dgtOuts.clear();
}
