#include "ui/zseriescurve.h"

#include "ui/zcurvedata.h"

#include <qwt_clipper.h>
#include <qwt_painter.h>
#include <qwt_scale_map.h>

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Rounds as the curve's point mapper does, so that a column holds exactly the samples
// that a plain curve would put on it.
double roundAway(double value)
{
    return value >= 0.0 ? std::floor(value + 0.5) : std::ceil(value - 0.5);
}

class ColumnMapper
{
public:
    ColumnMapper(const ZCurveData &data, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                 bool round)
        : m_data(data)
        , m_xMap(xMap)
        , m_yMap(yMap)
        , m_round(round)
    { }

    double column(std::size_t index) const
    {
        return roundAway(m_xMap.transform(m_data.time(index)));
    }
    QPointF point(std::size_t index) const
    {
        return QPointF(pixelX(m_data.time(index)), pixelY(m_data.value(index)));
    }
    QPointF columnPoint(double column, double value) const
    {
        return QPointF(column, pixelY(value));
    }

    // The first index in [index, last) whose column lies right of the given one; the
    // search starts guess samples on, as neighbouring columns hold similar numbers.
    std::size_t columnEnd(std::size_t index, std::size_t last, double column,
                          std::size_t guess) const
    {
        std::size_t end = lowerBound(index, last, m_xMap.invTransform(column + 0.5),
                                     std::min(index + guess, last));
        // The inverse transform may land a sample off; the forward mapping decides.
        while (end < last && this->column(end) <= column)
            ++end;
        while (end > index + 1 && this->column(end - 1) > column)
            --end;
        return std::max(end, index + 1);
    }

private:
    double pixelX(double x) const
    {
        const double px = m_xMap.transform(x);
        return m_round ? roundAway(px) : px;
    }
    double pixelY(double y) const
    {
        const double py = m_yMap.transform(y);
        return m_round ? roundAway(py) : py;
    }

    // The first index in [from, to) whose time is not below the boundary, or to; gallops
    // out from the guess, so a well guessed column costs a few reads, not a full search.
    std::size_t lowerBound(std::size_t from, std::size_t to, double boundary,
                           std::size_t guess) const
    {
        const ZSeriesView<double> &times = m_data.times();
        std::size_t low = from;
        std::size_t high = to;
        if (guess < to && times[guess] < boundary) {
            low = guess + 1;
            for (std::size_t step = 1;; step *= 2) {
                const std::size_t probe = guess + step;
                if (probe >= to)
                    break;
                if (times[probe] >= boundary) {
                    high = probe;
                    break;
                }
                low = probe + 1;
            }
        } else {
            high = guess;
            for (std::size_t step = 1; step <= guess - from; step *= 2) {
                const std::size_t probe = guess - step;
                if (times[probe] < boundary) {
                    low = probe + 1;
                    break;
                }
                high = probe;
            }
        }
        const auto begin = times.begin();
        return std::size_t(std::lower_bound(begin + low, begin + high, boundary) - begin);
    }

    const ZCurveData &m_data;
    const QwtScaleMap &m_xMap;
    const QwtScaleMap &m_yMap;
    const bool m_round;
};

void appendDistinct(QPolygonF &polyline, const QPointF &point)
{
    if (polyline.isEmpty() || polyline.last() != point)
        polyline.append(point);
}

QRectF clipRectFor(const QRectF &canvasRect, const QPainter *painter)
{
    QRectF clipRect = canvasRect;
    if (painter->hasClipping())
        clipRect &= painter->clipBoundingRect();
    const qreal penWidth = qMax(qreal(1.0), painter->pen().widthF());
    return clipRect.adjusted(-penWidth, -penWidth, penWidth, penWidth);
}

} // namespace

void ZSeriesCurve::drawLines(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                             const QRectF &canvasRect, int from, int to) const
{
    const auto *data = dynamic_cast<const ZCurveData *>(this->data());
    if (!data || from > to || xMap.s1() > xMap.s2() || xMap.p1() > xMap.p2()) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, from, to);
        return;
    }

    // The visible samples, with one neighbour on each side for the lines leaving the canvas.
    const auto begin = data->times().begin();
    const auto end = begin + (to + 1);
    const double left = xMap.invTransform(canvasRect.left());
    const double right = xMap.invTransform(canvasRect.right());
    std::size_t first = std::size_t(std::lower_bound(begin + from, end, left) - begin);
    std::size_t last = std::size_t(std::upper_bound(begin + first, end, right) - begin);
    const double visible = double(last - first);
    first = first > std::size_t(from) ? first - 1 : first;
    last = last <= std::size_t(to) ? last + 1 : last;
    if (last <= first)
        return;

    if (visible <= DenseSamplesPerPixel * canvasRect.width()) {
        QwtPlotCurve::drawLines(painter, xMap, yMap, canvasRect, int(first), int(last - 1));
        return;
    }

    const bool round = QwtPainter::roundingAlignment(painter);
    QPolygonF polyline = columnPolyline(*data, xMap, yMap, first, last, round);
    if (testPaintAttribute(ClipPolygons))
        polyline = QwtClipper::clipPolygonF(clipRectFor(canvasRect, painter), polyline, false);
    QwtPainter::drawPolyline(painter, polyline);
}

QPolygonF ZSeriesCurve::columnPolyline(const ZCurveData &data, const QwtScaleMap &xMap,
                                       const QwtScaleMap &yMap, std::size_t first, std::size_t last,
                                       bool round) const
{
    const ColumnMapper mapper(data, xMap, yMap, round);
    QPolygonF polyline;
    polyline.reserve(int(4 * xMap.pDist()) + 16);
    std::size_t previousWidth = 0;
    for (std::size_t index = first; index < last;) {
        const double column = mapper.column(index);
        const std::size_t next = mapper.columnEnd(index, last, column, previousWidth);
        previousWidth = next - index;
        if (next - index <= 4) {
            for (std::size_t i = index; i < next; ++i)
                appendDistinct(polyline, mapper.point(i));
        } else {
            // Any path through the column's samples covers the span between its extremes;
            // it enters at the first sample and leaves at the last. Head first for the
            // extreme the path turns to, so the joins look alike.
            const ZExtremes extremes = data.extremes(index, next);
            const double entry = data.value(index);
            const bool downFirst = data.value(index + 1) < entry;
            appendDistinct(polyline, mapper.columnPoint(column, entry));
            appendDistinct(polyline,
                           mapper.columnPoint(column, downFirst ? extremes.min : extremes.max));
            appendDistinct(polyline,
                           mapper.columnPoint(column, downFirst ? extremes.max : extremes.min));
            appendDistinct(polyline, mapper.columnPoint(column, data.value(next - 1)));
        }
        index = next;
    }
    return polyline;
}
