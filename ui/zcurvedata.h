#ifndef ZCURVEDATA_H
#define ZCURVEDATA_H

#include "model/zextremespyramid.h"
#include "model/zseries.h"

#include <qwt_series_data.h>

#include <functional>

// The points a graph plots, read in place from its channel's series: sample times against
// one series of values, bounded by the graph's own count, which only advance() moves.
// Keeps the block extremes of the plotted values beside the series, so that a curve can
// draw the extremes of each pixel column without reading every sample.
class ZCurveData : public QwtSeriesData<QPointF>
{
public:
    std::size_t count() const { return m_count; }
    double time(std::size_t index) const { return m_times[index]; }
    const ZSeriesView<double> &times() const { return m_times; }
    virtual double value(std::size_t index) const = 0;
    // The extremes of the values with indexes in [first, last), last at most count().
    virtual ZExtremes extremes(std::size_t first, std::size_t last) const = 0;

    // Takes the samples the channel published since the last call and summarises them;
    // returns how many were added.
    std::size_t advance();
    // After the plotted values were rewritten in place.
    virtual void rebuildExtremes() = 0;
    virtual std::size_t extremesBytes() const = 0;

    size_t size() const override { return m_count; }
    QPointF sample(size_t index) const override { return QPointF(time(index), value(index)); }
    QRectF boundingRect() const override;

protected:
    explicit ZCurveData(ZSeriesView<double> times)
        : m_times(times)
    { }
    // Retakes the views of the channel's series; returns the samples all of them hold.
    virtual std::size_t refreshViews() = 0;
    // Summarises the values up to count.
    virtual void extendExtremes(std::size_t count) = 0;
    void setTimes(ZSeriesView<double> times) { m_times = times; }

private:
    ZSeriesView<double> m_times;
    std::size_t m_count = 0;
};

// Curve data over a series of T, plotted as double (a level as 0 or 1, a count as is).
// The extremes read the series directly: a column's edges cost a hundred reads or so.
template<class T> class ZSeriesCurveData final : public ZCurveData
{
public:
    using TimesView = std::function<ZSeriesView<double>()>;
    using ValuesView = std::function<ZSeriesView<T>()>;

    ZSeriesCurveData(TimesView times, ValuesView values)
        : ZCurveData(times())
        , m_timesView(std::move(times))
        , m_valuesView(std::move(values))
        , m_values(m_valuesView())
    { }

    double value(std::size_t index) const override { return double(m_values[index]); }
    ZExtremes extremes(std::size_t first, std::size_t last) const override
    {
        return m_pyramid.extremes(first, last, valueAt());
    }
    void rebuildExtremes() override
    {
        m_pyramid.clear();
        m_pyramid.extend(count(), valueAt());
    }
    std::size_t extremesBytes() const override { return m_pyramid.allocatedBytes(); }

protected:
    std::size_t refreshViews() override
    {
        // Times first: the values view, taken later, is never shorter.
        setTimes(m_timesView());
        m_values = m_valuesView();
        return std::min(times().size(), m_values.size());
    }
    void extendExtremes(std::size_t count) override { m_pyramid.extend(count, valueAt()); }

private:
    auto valueAt() const
    {
        return [this](std::size_t index) {
            return double(m_values[index]);
        };
    }

    TimesView m_timesView;
    ValuesView m_valuesView;
    ZSeriesView<T> m_values;
    ZExtremesPyramid m_pyramid;
};

#endif // ZCURVEDATA_H
