#include "zedgecnt.h"

#include <QCoreApplication>

ZEdgeCnt::ZEdgeCnt(int id)
    : ZInChannel(id)
{ }

ZEdgeCnt::~ZEdgeCnt()
{
    detachAll();
}

QString ZEdgeCnt::rateName() const
{
    return QCoreApplication::translate("ZEdgeCnt", "Refresh Rate");
}

QString ZEdgeCnt::rateUnit() const
{
    return QCoreApplication::translate("ZEdgeCnt", "Hz");
}

void ZEdgeCnt::append(const double *times, const int *raws, int n)
{
    if (!raws)
        return;
    appendSamples(times, n, [this, raws](int i) { m_counts.push(quint32(raws[i])); });
}

void ZEdgeCnt::clearValues()
{
    m_counts.clear();
}

std::size_t ZEdgeCnt::valueBytes() const
{
    return m_counts.allocatedBytes();
}
