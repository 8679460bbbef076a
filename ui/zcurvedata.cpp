#include "ui/zcurvedata.h"

std::size_t ZCurveData::advance()
{
    const std::size_t available = refreshViews();
    if (available <= m_count)
        return 0;
    const std::size_t added = available - m_count;
    m_count = available;
    extendExtremes(m_count);
    return added;
}

QRectF ZCurveData::boundingRect() const
{
    if (m_count == 0)
        return QRectF(1.0, 1.0, -2.0, -2.0); // Qwt's invalid rectangle
    const ZExtremes values = extremes(0, m_count);
    const double first = time(0);
    return QRectF(first, values.min, time(m_count - 1) - first, values.max - values.min);
}
