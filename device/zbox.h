#ifndef ZBOX_H
#define ZBOX_H

#include "zchannellist.h"

#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"
#include "model/zobservable.h"

#include <memory>
#include <vector>

// One data-acquisition module: its box type and the input channels it owns, each list in
// device channel order. Observable, so that panels can follow its sampling flag.
class ZBox : public ZObservable<ZBox>
{
public:
    ~ZBox() override = 0;

    int boxType() const { return m_boxType; }

    const std::vector<ZAnalogIn *> &analogIns() const { return m_analogIns.items(); }
    const std::vector<ZDigitIn *> &digitIns() const { return m_digitIns.items(); }
    const std::vector<ZEdgeCnt *> &edgeCnts() const { return m_edgeCnts.items(); }

    // The box takes ownership; a null channel or one already in the list is refused.
    bool addAnalogIn(std::unique_ptr<ZAnalogIn> channel);
    bool addDigitIn(std::unique_ptr<ZDigitIn> channel);
    bool addEdgeCnt(std::unique_ptr<ZEdgeCnt> channel);

    // Whether any input channel holds a sample.
    bool hasSamples() const;

    // Passes the flag to the input channels (which clear their series when switched on)
    // before taking it.
    void setSampling(bool on) override;
    bool startSampling();
    bool stopSampling();

protected:
    ZBox(int boxType, int id);

private:
    const int m_boxType;
    ZChannelList<ZAnalogIn> m_analogIns;
    ZChannelList<ZDigitIn> m_digitIns;
    ZChannelList<ZEdgeCnt> m_edgeCnts;
};

#endif // ZBOX_H
