#ifndef ZREALBOX_H
#define ZREALBOX_H

#include "zbox.h"

#include "model/zanalogout.h"
#include "model/zdigitout.h"

class ZOutputWriter;

// The box attached over USB, built from the device type table: its input channels and
// its output channels, which write immediate values through the owner.
class ZRealBox : public ZBox
{
public:
    // A type outside the table gives a box without channels.
    ZRealBox(ZOutputWriter *owner, int boxType);
    ~ZRealBox() override;

    ZOutputWriter *owner() const { return m_owner; }
    const std::vector<ZAnalogOut *> &analogOuts() const { return m_analogOuts.items(); }
    const std::vector<ZDigitOut *> &digitOuts() const { return m_digitOuts.items(); }

    // The output channels take the flag first, then the input channels and the box.
    void setSampling(bool on) override;

private:
    void createChannels();

    ZOutputWriter *const m_owner;
    ZChannelList<ZAnalogOut> m_analogOuts;
    ZChannelList<ZDigitOut> m_digitOuts;
};

#endif // ZREALBOX_H
