#ifndef ZEDGECNT_H
#define ZEDGECNT_H

#include "zinchannel.h"

// An edge counter: the device's running count of edges, one per sample.
class ZEdgeCnt : public ZInChannel
{
public:
    explicit ZEdgeCnt(int id);
    ~ZEdgeCnt() override;

    QString rateName() const override;
    QString rateUnit() const override;

    // Raw values are the device's unsigned 32-bit counts carried in an int.
    void append(const double *times, const int *raws, int n) override;

    ZSeriesView<quint32> counts() const { return ZSeriesView<quint32>(m_counts, sampleCount()); }

protected:
    void clearValues() override;
    std::size_t valueBytes() const override;

private:
    ZSeries<quint32> m_counts;
};

#endif // ZEDGECNT_H
