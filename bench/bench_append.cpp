// Append throughput of an analog input as the communication thread drives it (one sample
// per call, one observer attached), with and without a queued receiver of
// dataAppended(int), against bare std::vector storage; and series memory per sample.

#include "app/zeventdispatcher.h"
#include "model/zanalogin.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Repetitions = 5;
constexpr std::size_t MemorySamples = 10000000;

double timeOf(std::size_t i)
{
    return double(i) * 0.001;
}

int rawOf(std::size_t i)
{
    return int((i * 7919u) % 16777215u) - 8388607;
}

// The floor of a queued hand-over: a bare Qt signal, one per sample, nothing stored.
class BareEmitter : public QObject
{
    Q_OBJECT

public:
    void emitAll(std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            emit dataAppended(1);
    }

signals:
    void dataAppended(int count);
};

class CountingObserver : public ZObserver<ZComponent>
{
public:
    ~CountingObserver() override { detach(subject()); }
    bool update(int code) override
    {
        if (code == DataAppended)
            ++appended;
        return true;
    }
    std::size_t appended = 0;
};

double seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void appendAll(ZAnalogIn &channel, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const double t = timeOf(i);
        const int raw = rawOf(i);
        channel.append(&t, &raw, 1);
    }
}

// Samples per second of the bare storage the series replace: two vectors, one push each.
double vectorRate(std::size_t n)
{
    std::vector<double> times, values;
    const double scale = 1.25 / 8388607.0;
    const auto start = Clock::now();
    for (std::size_t i = 0; i < n; ++i) {
        times.push_back(timeOf(i));
        values.push_back(rawOf(i) * scale);
    }
    const double elapsed = seconds(start);
    asm volatile("" : : "r"(times.data()), "r"(values.data()) : "memory");
    return double(n) / elapsed;
}

double withoutReceiver(std::size_t n)
{
    ZAnalogIn channel(0);
    CountingObserver observer;
    observer.attach(&channel);
    const auto start = Clock::now();
    appendAll(channel, n);
    const double elapsed = seconds(start);
    if (observer.appended != n || channel.sampleCount() != n)
        std::fprintf(stderr, "lost notifications or samples\n");
    return double(n) / elapsed;
}

// Timed until a receiver living in another thread has handled every signal of the sender.
template<class Sender>
double untilReceived(std::size_t n, Sender &sender, const std::function<void()> &emitAll)
{
    QThread thread;
    thread.start();
    QObject receiver;
    receiver.moveToThread(&thread);

    std::size_t handled = 0;
    QSemaphore done;
    QObject::connect(&sender, &Sender::dataAppended, &receiver, [&](int count) {
        handled += std::size_t(count);
        if (handled == n)
            done.release();
    });

    const auto start = Clock::now();
    emitAll();
    done.acquire();
    const double elapsed = seconds(start);

    thread.quit();
    thread.wait();
    return double(n) / elapsed;
}

double withQueuedReceiver(std::size_t n)
{
    ZAnalogIn channel(0);
    CountingObserver observer;
    observer.attach(&channel);
    return untilReceived(n, static_cast<ZInChannel &>(channel), [&] { appendAll(channel, n); });
}

double bareQueuedSignal(std::size_t n)
{
    BareEmitter emitter;
    return untilReceived(n, emitter, [&] { emitter.emitAll(n); });
}

struct Figures
{
    double best;
    double median;
};

Figures measure(const std::function<double()> &run)
{
    std::vector<double> rates;
    for (int i = 0; i < Repetitions; ++i)
        rates.push_back(run());
    std::sort(rates.begin(), rates.end());
    return { rates.back(), rates[rates.size() / 2] };
}

void report(const char *what, std::size_t n, Figures rate, Figures vector, double target)
{
    std::printf("%s (%zu appends, %d runs)\n", what, n, Repetitions);
    std::printf("  median %.2f M appends/s, best %.2f M/s; target %.1f M/s: %s\n",
                rate.median / 1e6, rate.best / 1e6, target / 1e6,
                rate.median >= target ? "met" : "MISSED");
    std::printf("  vector push_back median %.1f M/s; ratio append / push_back %.3f\n",
                vector.median / 1e6, rate.median / vector.median);
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void reportMemory()
{
    const std::size_t before = heapInUse();
    auto channel = std::make_unique<ZAnalogIn>(0);
    appendAll(*channel, MemorySamples);
    const double perSample = double(channel->seriesBytes()) / MemorySamples;
    const double heapPerSample = double(heapInUse() - before) / MemorySamples;
    std::printf("series memory over %zu analog samples: %.2f bytes per sample "
                "(heap in use: %.2f); target 25: %s\n",
                MemorySamples, perSample, heapPerSample, perSample <= 25.0 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char *argv[])
{
    useQtEventDispatcher(); // as the programs do
    QCoreApplication app(argc, argv);
    // Queued hand-overs cost what the receiving thread's event dispatcher makes them cost.
    std::printf("event dispatcher: %s\n",
                QCoreApplication::eventDispatcher()->metaObject()->className());

    const std::size_t plainCount = 4000000;
    const Figures plain = measure([&] { return withoutReceiver(plainCount); });
    const Figures plainVector = measure([&] { return vectorRate(plainCount); });
    report("append, no Qt receiver", plainCount, plain, plainVector, 5e6);

    const std::size_t queuedCount = 1000000;
    const Figures queued = measure([&] { return withQueuedReceiver(queuedCount); });
    const Figures queuedVector = measure([&] { return vectorRate(queuedCount); });
    report("append, one queued receiver in another thread", queuedCount, queued, queuedVector, 1e6);
    const Figures bare = measure([&] { return bareQueuedSignal(queuedCount); });
    std::printf("  bare Qt queued signal to the same receiver: median %.2f M/s; ratio append / "
                "bare signal %.3f\n",
                bare.median / 1e6, queued.median / bare.median);

    reportMemory();
    return 0;
}

#include "bench_append.moc"
