#ifndef ZGRAPHDSPR_H
#define ZGRAPHDSPR_H

#include "model/zcomponent.h"
#include "ui/zprintchooser.h"

#include <QColor>
#include <QWidget>

#include <memory>
#include <optional>

class QHBoxLayout;
class QPrinter;
class QwtPlot;
class QwtPlotCurve;
class QwtPlotZoomer;
class ZClock;
class ZCurveData;
class ZInChannel;

// The graph of one input channel's samples against time. Shown while the channel's graph
// flag is set; grows live while samples arrive, redrawing at most once per RefreshMs
// (a hidden graph only notes that it is behind); offers rubber-band zooming while the
// channel is not sampling; rebuilt when the series are cleared or the analog show type
// changes. The curve reads the channel's series in place (see ZCurveData).
class ZGraphDspr : public QWidget, public ZObserver<ZComponent>
{
    Q_OBJECT

public:
    static constexpr double RefreshMs = 100.0;

    ~ZGraphDspr() override;

    bool update(int hint) override;
    bool onAttached() override;
    bool onDetached() override;

    // The throttle's time source: the steady clock unless a test drives it.
    void setClock(const ZClock &clock);
    // How printGraph() asks for the printer: the standard print dialog by default.
    void setPrintChooser(ZPrintChooser chooser);
    // Renders the plot as printGraph() does, onto a printer already set up.
    bool renderTo(QPrinter &printer) const;

    QwtPlot *plot() const { return m_plot; }
    QwtPlotCurve *curve() const { return m_curve; }
    QwtPlotZoomer *zoomer() const { return m_zoomer; }
    // Null while the placeholder point is plotted.
    const ZCurveData *curveData() const { return m_curveData; }
    bool isPending() const { return m_pending; }

public slots:
    bool printGraph();

protected slots:
    void onDataAppended(int count);

protected:
    explicit ZGraphDspr(QWidget *parent);

    // Takes the channel as the kind's own (null on detaching); false for another kind.
    virtual bool setKindChannel(ZInChannel *channel) = 0;
    // The kind's curve data over the channel's current series.
    virtual std::unique_ptr<ZCurveData> createCurveData() const = 0;
    // Fills the title and returns the curve colour.
    virtual QColor curveStyle(QString &title) const = 0;
    virtual void applyYAxis();

    ZInChannel *channel() const { return m_channel; }
    // Redraws the samples already plotted after their values were rewritten in place.
    void redrawInPlace();

private:
    void setupCurve(bool withSamples);
    void showCurveData(std::unique_ptr<ZCurveData> data);
    void appendNewSamples();
    void refreshGraph();
    void enableZoomer();
    void disableZoomer();
    void onZoomed();
    bool refreshDue() const;
    void restartRefreshClock();
    void rebuild();

    QHBoxLayout *m_layout = nullptr;
    const ZClock *m_clock = nullptr;
    std::optional<double> m_refreshStartMs;
    QwtPlot *m_plot = nullptr;
    QwtPlotCurve *m_curve = nullptr;
    QwtPlotZoomer *m_zoomer = nullptr;
    ZCurveData *m_curveData = nullptr; // owned by the curve
    bool m_pending = false;
    ZInChannel *m_channel = nullptr;
    ZPrintChooser m_printChooser;
};

// A new graph of the channel's kind, attached to it; null for no channel or another kind.
ZGraphDspr *createGraphDspr(ZInChannel *channel, QWidget *parent);

#endif // ZGRAPHDSPR_H
