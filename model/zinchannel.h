#ifndef ZINCHANNEL_H
#define ZINCHANNEL_H

#include "zcomponent.h"
#include "zseries.h"

#include <QObject>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <mutex>

// An input channel: a component that records samples during a run.
//
// Threads. The communication thread appends while the GUI thread reads, changes settings
// and attaches observers. Every series of the channel is append-only storage whose
// elements never move; the channel publishes one sample count (release) after all of its
// series have stored the new samples, and every view is sized by that count (acquire), so
// a reader always sees a consistent prefix without taking a lock. The series mutex
// serialises an append with the settings it reads (coefficients, range, calibration);
// it is never held while notifying or emitting. Clearing happens only while no
// acquisition thread runs.
class ZInChannel : public QObject, public ZComponent
{
    Q_OBJECT

public:
    ~ZInChannel() override = 0;

    // Read by the communication thread to decide which channels a run records.
    bool isSelected() const { return m_selected.load(std::memory_order_relaxed); }
    bool setSelected(bool on);
    bool isGraphShown() const { return m_graphShown; }
    bool setGraphShown(bool on);

    // Switching on clears the series first, so every run starts from empty series.
    void setSampling(bool on) override;

    double intervalRate(double value) const override;
    QString rateName() const override;
    QString rateUnit() const override;

    // Appends n samples: times in seconds since the start of sampling, raws as the device
    // reports them. A time that is not finite drops its sample from every series; a time
    // not after the last stored one is stored as last + 0.001, so times strictly increase.
    // Announces DataAppended, then emits dataAppended() with the number of samples
    // stored, once per call and only if something was stored.
    virtual void append(const double *times, const int *raws, int n) = 0;

    // Empties every series; announces DataCleared and hides the graph when there were
    // samples. Only while no acquisition thread appends.
    void clear();

    std::size_t sampleCount() const { return m_count.load(std::memory_order_acquire); }
    ZSeriesView<double> times() const { return ZSeriesView<double>(m_times, sampleCount()); }

    // Heap memory held by the channel's series.
    std::size_t seriesBytes() const;

signals:
    void dataAppended(int count);

protected:
    explicit ZInChannel(int id);

    // The skeleton of every append: under the series mutex, for each sample with a finite
    // time, storeValue(i) stores the values of sample i and the channel stores its time;
    // then the count is published and, outside the lock, the samples are announced.
    template<class StoreValue>
    void appendSamples(const double *times, int n, StoreValue storeValue);

    // Called with the series mutex held.
    virtual void clearValues() = 0;
    virtual std::size_t valueBytes() const = 0;

    std::mutex &seriesMutex() const { return m_seriesMutex; }

private:
    bool hasRoom() const { return m_times.storedSize() < ZSeries<double>::MaxSize; }
    void appendTime(double time);
    void publish(std::size_t appended);
    void announce(std::size_t appended);

    std::atomic<bool> m_selected { false };
    bool m_graphShown = false;
    ZSeries<double> m_times;
    double m_lastTime = 0.0;
    std::atomic<std::size_t> m_count { 0 };
    mutable std::mutex m_seriesMutex;
};

template<class StoreValue>
void ZInChannel::appendSamples(const double *times, int n, StoreValue storeValue)
{
    if (n < 1 || !times)
        return;
    std::size_t appended = 0;
    {
        std::lock_guard<std::mutex> lock(m_seriesMutex);
        for (int i = 0; i < n && hasRoom(); ++i) {
            if (!std::isfinite(times[i]))
                continue;
            storeValue(i);
            appendTime(times[i]);
            ++appended;
        }
        publish(appended);
    }
    announce(appended);
}

#endif // ZINCHANNEL_H
