#include "ui/zgraphkinds.h"

#include "model/zanalogin.h"
#include "model/zdigitin.h"
#include "model/zedgecnt.h"
#include "model/zinchannel.h"
#include "ui/zcurvedata.h"

#include <qwt_plot.h>

#include <iterator>

namespace {

struct NamedColour
{
    const char *name;
    Qt::GlobalColor colour;
};

constexpr NamedColour AnalogColours[] = {
    { "darkGreen", Qt::darkGreen }, { "red", Qt::red },
    { "darkRed", Qt::darkRed },     { "black", Qt::black },
    { "yellow", Qt::yellow },       { "darkMagenta", Qt::darkMagenta },
    { "darkCyan", Qt::darkCyan },   { "darkGray", Qt::darkGray },
};

constexpr NamedColour DigitalColours[] = {
    { "blue", Qt::blue }, { "green", Qt::green },     { "darkBlue", Qt::darkBlue },
    { "cyan", Qt::cyan }, { "magenta", Qt::magenta },
};

// Beyond its table a channel is titled in black and drawn in one of the global colours
// from black onwards.
template<std::size_t N>
QColor titleAndColour(const NamedColour (&table)[N], int componentId, const QString &text,
                      QString &title)
{
    const int i = channelOf(componentId);
    const bool inTable = std::size_t(i) < N;
    const QString name = QLatin1String(inTable ? table[i].name : "black");
    title = QStringLiteral("<font size=4 color=%1>").arg(name) + text.arg(i + 1)
        + QStringLiteral("</font>");
    return QColor(inTable ? table[i].colour : Qt::GlobalColor(i % 18 + 2));
}

template<class Channel, class T>
std::unique_ptr<ZCurveData> seriesCurveData(const Channel *channel,
                                            ZSeriesView<T> (Channel::*values)() const)
{
    return std::make_unique<ZSeriesCurveData<T>>(
        [channel] { return channel->times(); }, [channel, values] { return (channel->*values)(); });
}

} // namespace

ZGraphVolt::ZGraphVolt(QWidget *parent)
    : ZGraphDspr(parent)
{
    setMinimumHeight(400);
}

ZGraphVolt::~ZGraphVolt()
{
    detach(subject());
}

bool ZGraphVolt::update(int hint)
{
    if (hint == FunctionValuesChanged) {
        if (!m_analogIn || m_analogIn->showType() != 1 || !curveData())
            return false;
        redrawInPlace();
        return true;
    }
    return ZGraphDspr::update(hint);
}

bool ZGraphVolt::setKindChannel(ZInChannel *channel)
{
    m_analogIn = dynamic_cast<ZAnalogIn *>(channel);
    return m_analogIn != nullptr;
}

std::unique_ptr<ZCurveData> ZGraphVolt::createCurveData() const
{
    if (m_analogIn->showType() == 1)
        return seriesCurveData(m_analogIn, &ZAnalogIn::functionValues);
    return seriesCurveData(m_analogIn, &ZAnalogIn::volts);
}

QColor ZGraphVolt::curveStyle(QString &title) const
{
    return titleAndColour(AnalogColours, channel()->id(), tr("Analog Input Channel %2"), title);
}

ZGraphStat::ZGraphStat(QWidget *parent)
    : ZGraphDspr(parent)
{
    setMinimumHeight(200);
}

ZGraphStat::~ZGraphStat()
{
    detach(subject());
}

bool ZGraphStat::setKindChannel(ZInChannel *channel)
{
    m_digitIn = dynamic_cast<ZDigitIn *>(channel);
    return m_digitIn != nullptr;
}

std::unique_ptr<ZCurveData> ZGraphStat::createCurveData() const
{
    return seriesCurveData(m_digitIn, &ZDigitIn::statuses);
}

QColor ZGraphStat::curveStyle(QString &title) const
{
    return titleAndColour(DigitalColours, channel()->id(), tr("Digit Input Channel %2"), title);
}

void ZGraphStat::applyYAxis()
{
    plot()->setAxisScale(QwtPlot::yLeft, 0.0, 1.0, 1.0);
}

ZGraphCntd::ZGraphCntd(QWidget *parent)
    : ZGraphDspr(parent)
{
    setMinimumHeight(400);
}

ZGraphCntd::~ZGraphCntd()
{
    detach(subject());
}

bool ZGraphCntd::setKindChannel(ZInChannel *channel)
{
    m_edgeCnt = dynamic_cast<ZEdgeCnt *>(channel);
    return m_edgeCnt != nullptr;
}

std::unique_ptr<ZCurveData> ZGraphCntd::createCurveData() const
{
    return seriesCurveData(m_edgeCnt, &ZEdgeCnt::counts);
}

QColor ZGraphCntd::curveStyle(QString &title) const
{
    return titleAndColour(AnalogColours, channel()->id(), tr("Counter %2"), title);
}

ZGraphDspr *createGraphDspr(ZInChannel *channel, QWidget *parent)
{
    ZGraphDspr *graph = nullptr;
    if (dynamic_cast<ZAnalogIn *>(channel))
        graph = new ZGraphVolt(parent);
    else if (dynamic_cast<ZDigitIn *>(channel))
        graph = new ZGraphStat(parent);
    else if (dynamic_cast<ZEdgeCnt *>(channel))
        graph = new ZGraphCntd(parent);
    if (graph)
        graph->attach(channel);
    return graph;
}
