#include "zinchannel.h"

ZInChannel::ZInChannel(int id)
    : ZComponent(1000.0, 1.0, 1000000.0, id)
{ }

ZInChannel::~ZInChannel() = default;

bool ZInChannel::setSelected(bool on)
{
    if (on == isSelected())
        return false;
    m_selected.store(on, std::memory_order_relaxed);
    notify(SelectedChanged);
    return true;
}

bool ZInChannel::setGraphShown(bool on)
{
    if (on == m_graphShown)
        return false;
    m_graphShown = on;
    notify(GraphShownChanged);
    return true;
}

void ZInChannel::setSampling(bool on)
{
    if (on == isSampling())
        return;
    if (on)
        clear();
    if (on != isSampling()) {
        storeSampling(on);
        notify(SamplingChanged);
    }
}

double ZInChannel::intervalRate(double value) const
{
    return 1000.0 / value;
}

QString ZInChannel::rateName() const
{
    return tr("Sample Rate");
}

QString ZInChannel::rateUnit() const
{
    return tr("SPS");
}

void ZInChannel::clear()
{
    bool hadSamples = false;
    {
        std::lock_guard<std::mutex> lock(m_seriesMutex);
        clearValues();
        hadSamples = m_times.storedSize() > 0;
        m_times.clear();
        m_lastTime = 0.0;
        m_count.store(0, std::memory_order_release);
    }
    if (hadSamples) {
        notify(DataCleared);
        setGraphShown(false);
    }
}

std::size_t ZInChannel::seriesBytes() const
{
    std::lock_guard<std::mutex> lock(m_seriesMutex);
    return m_times.allocatedBytes() + valueBytes();
}

void ZInChannel::appendTime(double time)
{
    // A stalled or backward clock still gives strictly increasing times, 1 ms apart.
    if (m_times.storedSize() > 0 && m_lastTime >= time)
        time = m_lastTime + 0.001;
    m_times.push(time);
    m_lastTime = time;
}

void ZInChannel::publish(std::size_t appended)
{
    if (appended > 0)
        m_count.store(m_count.load(std::memory_order_relaxed) + appended,
                      std::memory_order_release);
}

void ZInChannel::announce(std::size_t appended)
{
    if (appended == 0)
        return;
    notify(DataAppended);
    emit dataAppended(int(appended));
}
