#ifndef ZSERIESCURVE_H
#define ZSERIESCURVE_H

#include <qwt_plot_curve.h>

class ZCurveData;

// A line curve whose cost is bound by the pixels it covers, not by the samples it holds.
// Over curve data (ZCurveData), where more samples fall into the visible x range than
// about twice the canvas width, it draws per pixel column the first sample, the
// extremes and the last sample of the column: the polyline through every sample covers
// exactly these pixels. Zoomed in further, and for any other data, it draws the visible
// samples themselves as a plain curve would.
class ZSeriesCurve : public QwtPlotCurve
{
public:
    // Samples per pixel of canvas width above which columns are drawn.
    static constexpr double DenseSamplesPerPixel = 2.0;

    using QwtPlotCurve::QwtPlotCurve;

protected:
    void drawLines(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                   const QRectF &canvasRect, int from, int to) const override;

private:
    QPolygonF columnPolyline(const ZCurveData &data, const QwtScaleMap &xMap,
                             const QwtScaleMap &yMap, std::size_t first, std::size_t last,
                             bool round) const;
};

#endif // ZSERIESCURVE_H
