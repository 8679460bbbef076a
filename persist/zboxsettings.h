#ifndef ZBOXSETTINGS_H
#define ZBOXSETTINGS_H

#include "device/zbox.h"
#include "model/zobservable.h"

#include <memory>
#include <vector>

class ZAngInSettings;
class ZAngOutSettings;
class ZDgtInSettings;
class ZDgtOutSettings;
class ZEgeCntSettings;
class ZRealBox;
class ZSettings;

// The settings of the device box: one channel settings object per channel, which loads
// its channel when attached and writes it when detached. A playback box has no settings:
// nothing is read or written for it.
class ZBoxSettings : public ZObserver<ZBox>
{
public:
    explicit ZBoxSettings(ZSettings &owner);
    ~ZBoxSettings() override;

    // Writes the channel count of each kind that has channels, then every channel.
    void saveAll();
    // Applies the stored keys to every channel.
    void loadAll();

    bool update(int code) override;
    bool onAttached() override;
    bool onDetached() override;

private:
    ZRealBox *realBox() const;
    void deleteChannelSettings();

    ZSettings &m_owner;
    std::vector<std::unique_ptr<ZAngInSettings>> m_angIns;
    std::vector<std::unique_ptr<ZDgtInSettings>> m_dgtIns;
    std::vector<std::unique_ptr<ZEgeCntSettings>> m_egeCnts;
    std::vector<std::unique_ptr<ZAngOutSettings>> m_angOuts;
    std::vector<std::unique_ptr<ZDgtOutSettings>> m_dgtOuts;
};

#endif // ZBOXSETTINGS_H
