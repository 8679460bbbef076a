#include "ui/zgraphdspr.h"

#include "device/zclock.h"
#include "model/zinchannel.h"
#include "ui/zcurvedata.h"
#include "ui/zseriescurve.h"

#include <qwt_plot.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_zoomer.h>

#include <QHBoxLayout>
#include <QPrinter>

ZGraphDspr::ZGraphDspr(QWidget *parent)
    : QWidget(parent)
    , m_layout(new QHBoxLayout(this))
    , m_clock(&ZClock::steady())
    , m_printChooser(standardPrintDialog())
{
    m_layout->setSpacing(20);
    m_layout->setContentsMargins(0, 0, 0, 0);
}

// The concrete kinds detach, while their own teardown can still run.
ZGraphDspr::~ZGraphDspr() = default;

void ZGraphDspr::setClock(const ZClock &clock)
{
    m_clock = &clock;
}

void ZGraphDspr::setPrintChooser(ZPrintChooser chooser)
{
    m_printChooser = std::move(chooser);
}

bool ZGraphDspr::update(int hint)
{
    if (!m_channel)
        return false;
    switch (hint) {
    case GraphShownChanged:
        if (m_channel->isGraphShown() && m_pending)
            refreshGraph();
        setVisible(m_channel->isGraphShown());
        return true;
    case DataCleared:
    case ShowTypeChanged:
        if (!m_curveData)
            return false;
        rebuild();
        return true;
    case SamplingChanged:
        if (!m_curveData)
            return false;
        if (m_channel->isSampling()) {
            disableZoomer();
        } else {
            enableZoomer();
            if (m_channel->isGraphShown() && m_pending)
                refreshGraph();
        }
        return true;
    default:
        return false;
    }
}

bool ZGraphDspr::onAttached()
{
    m_channel = dynamic_cast<ZInChannel *>(subject());
    if (!m_channel)
        return false;
    setVisible(m_channel->isGraphShown());

    m_plot = new QwtPlot(this);
    m_layout->addWidget(m_plot);
    m_plot->setAutoReplot(false);
    m_plot->setCanvasBackground(QBrush(Qt::white));
    // A channel of another kind gets the plot with its placeholder point, and nothing else.
    const bool ofKind = setKindChannel(m_channel);
    setupCurve(ofKind && !m_channel->times().isEmpty());
    if (!ofKind)
        return false;
    if (!m_channel->isSampling() && !m_channel->times().isEmpty())
        enableZoomer();
    connect(m_channel, &ZInChannel::dataAppended, this, &ZGraphDspr::onDataAppended);
    return true;
}

bool ZGraphDspr::onDetached()
{
    setKindChannel(nullptr);
    if (m_channel)
        disconnect(m_channel, &ZInChannel::dataAppended, this, &ZGraphDspr::onDataAppended);
    disableZoomer();
    delete m_curve; // with its data
    m_curve = nullptr;
    m_curveData = nullptr;
    delete m_plot;
    m_plot = nullptr;
    while (QLayoutItem *item = m_layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_channel = nullptr;
    m_pending = false;
    m_refreshStartMs.reset();
    return true;
}

void ZGraphDspr::setupCurve(bool withSamples)
{
    m_curve = new ZSeriesCurve();
    if (!withSamples) {
        // A plot without points would have no scales to show.
        m_curve->setSamples(QVector<QPointF> { QPointF(0.0, 0.0) });
    } else {
        auto data = createCurveData();
        data->advance();
        m_curveData = data.get();
        m_curve->setData(data.release());
    }
    applyYAxis();
    QString title;
    const QColor colour = curveStyle(title);
    m_plot->setTitle(title);
    m_curve->setPen(colour, 3.0);
    m_curve->attach(m_plot);
    m_plot->replot();
}

void ZGraphDspr::applyYAxis()
{
    m_plot->setAxisAutoScale(QwtPlot::yLeft, true);
}

void ZGraphDspr::onDataAppended(int count)
{
    Q_UNUSED(count);
    // A signal queued before the series were cleared finds nothing to plot.
    if (!m_channel || !m_plot || m_channel->times().isEmpty())
        return;
    if (!m_curveData) {
        auto data = createCurveData();
        data->advance();
        m_curveData = data.get();
        m_curve->setData(data.release());
        m_plot->replot();
        restartRefreshClock();
    } else if (m_channel->isGraphShown() && refreshDue()) {
        refreshGraph();
        restartRefreshClock();
    } else {
        m_pending = true;
    }
}

void ZGraphDspr::appendNewSamples()
{
    if (m_curveData)
        m_curveData->advance();
}

void ZGraphDspr::refreshGraph()
{
    const bool idle = !m_channel->isSampling();
    if (idle)
        disableZoomer();
    appendNewSamples();
    m_plot->replot();
    m_pending = false;
    if (idle)
        enableZoomer(); // the zoom history starts again from the full view
}

void ZGraphDspr::redrawInPlace()
{
    if (!m_curveData)
        return;
    disableZoomer();
    m_curveData->rebuildExtremes();
    m_plot->replot();
    if (!m_channel->isSampling())
        enableZoomer();
}

void ZGraphDspr::enableZoomer()
{
    disableZoomer();
    m_zoomer = new QwtPlotZoomer(m_plot->canvas(), true);
    connect(m_zoomer, &QwtPlotZoomer::zoomed, this, &ZGraphDspr::onZoomed);
}

void ZGraphDspr::disableZoomer()
{
    if (!m_zoomer)
        return;
    delete m_zoomer;
    m_zoomer = nullptr;
    m_plot->setAxisAutoScale(QwtPlot::xBottom, true);
    applyYAxis();
}

void ZGraphDspr::onZoomed()
{
    // Back at the full view the y axis is the kind's own again (a level axis keeps its
    // single step instead of the zoomer's generic one).
    if (m_zoomer && m_zoomer->zoomRectIndex() == 0) {
        applyYAxis();
        m_plot->replot();
    }
}

bool ZGraphDspr::refreshDue() const
{
    return !m_refreshStartMs || m_clock->nowMs() - *m_refreshStartMs > RefreshMs;
}

void ZGraphDspr::restartRefreshClock()
{
    m_refreshStartMs = m_clock->nowMs();
}

void ZGraphDspr::rebuild()
{
    onDetached();
    onAttached();
}

bool ZGraphDspr::printGraph()
{
    if (!m_plot)
        return false;
    QPrinter printer(QPrinter::HighResolution);
    if (!printer.isValid())
        return false;
    printer.setDocName(tr("Print Graph").replace(QLatin1Char('\n'), tr(" -- ")));
    printer.setCreator(tr("Quoravi"));
    printer.setPageOrientation(QPageLayout::Landscape);
    if (m_printChooser && m_printChooser(printer))
        renderTo(printer);
    return true;
}

bool ZGraphDspr::renderTo(QPrinter &printer) const
{
    if (!m_plot)
        return false;
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasBackground, true);
    renderer.setLayoutFlag(QwtPlotRenderer::FrameWithScales, true);
    renderer.renderTo(m_plot, printer);
    return true;
}
