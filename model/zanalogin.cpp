#include "zanalogin.h"

#include <algorithm>

namespace {

constexpr double FullScaleCode = 8388607.0; // 2^23 - 1, signed 24-bit converter

bool isSingleRange(int code)
{
    return code == Range10V || code == Range5V || code == Range2V5 || code == Range1V25;
}

} // namespace

ZAnalogIn::ZAnalogIn(int id)
    : ZInChannel(id)
{ }

ZAnalogIn::~ZAnalogIn()
{
    detachAll();
}

bool ZAnalogIn::setRangeMask(quint8 mask)
{
    mask &= AllRanges;
    if (mask == 0 || mask == m_rangeMask)
        return false;
    m_rangeMask = mask;
    notify(RangeMaskChanged);
    if (!(range() & mask)) {
        // The narrowest supported range wins.
        for (const int code : { Range1V25, Range2V5, Range5V, Range10V }) {
            if (mask & code) {
                setRange(code);
                break;
            }
        }
    }
    return true;
}

bool ZAnalogIn::setRange(int code)
{
    // Only a single bit names a range: anything else would scale the voltages wrongly.
    if (code == range() || !isSingleRange(code) || !(code & m_rangeMask))
        return false;
    {
        std::lock_guard<std::mutex> lock(seriesMutex());
        m_range.store(code, std::memory_order_relaxed);
    }
    notify(RangeChanged);
    return true;
}

bool ZAnalogIn::setShowType(int type)
{
    if (type == m_showType || (type != 0 && type != 1))
        return false;
    m_showType = type;
    notify(ShowTypeChanged);
    return true;
}

std::vector<double> ZAnalogIn::coefs() const
{
    std::lock_guard<std::mutex> lock(seriesMutex());
    return std::vector<double>(m_coefs.begin(), m_coefs.end());
}

bool ZAnalogIn::setCoefs(const std::vector<double> &values)
{
    const std::size_t given = std::min<std::size_t>(values.size(), CoefCount);
    for (std::size_t i = 0; i < given; ++i) {
        if (!std::isfinite(values[i]))
            return false;
    }

    bool changed = false;
    bool recomputed = false;
    {
        std::lock_guard<std::mutex> lock(seriesMutex());
        for (std::size_t i = 0; i < given; ++i) {
            if (std::abs(m_coefs[i] - values[i]) > CoefTolerance) {
                m_coefs[i] = values[i];
                changed = true;
            }
        }
        if (changed) {
            // The writer is held off, so every sample gets one consistent set.
            const std::size_t stored = m_volts.storedSize();
            for (std::size_t i = 0; i < stored; ++i)
                m_functionValues.mutableAt(i) = horner(m_coefs, m_volts.at(i));
            recomputed = stored > 0;
        }
    }
    if (!changed)
        return false;
    notify(CoefsChanged);
    if (recomputed)
        notify(FunctionValuesChanged);
    return true;
}

double ZAnalogIn::evaluate(double volts) const
{
    std::lock_guard<std::mutex> lock(seriesMutex());
    return horner(m_coefs, volts);
}

bool ZAnalogIn::setCalibration(double gain, double offset)
{
    if (!std::isfinite(gain) || !std::isfinite(offset))
        return false;
    std::lock_guard<std::mutex> lock(seriesMutex());
    m_gain = gain;
    m_offset = offset;
    return true;
}

double ZAnalogIn::toVolts(int raw) const
{
    std::lock_guard<std::mutex> lock(seriesMutex());
    return voltsOf(raw);
}

void ZAnalogIn::append(const double *times, const int *raws, int n)
{
    if (!raws)
        return;
    appendSamples(times, n, [this, raws](int i) { storeVolts(voltsOf(raws[i])); });
}

void ZAnalogIn::appendVolts(const double *times, const double *volts, int n)
{
    if (!volts)
        return;
    appendSamples(times, n, [this, volts](int i) { storeVolts(volts[i]); });
}

void ZAnalogIn::clearValues()
{
    m_volts.clear();
    m_functionValues.clear();
}

std::size_t ZAnalogIn::valueBytes() const
{
    return m_volts.allocatedBytes() + m_functionValues.allocatedBytes();
}

double ZAnalogIn::horner(const Coefs &coefs, double volts)
{
    double y = coefs[CoefCount - 1];
    for (int k = CoefCount - 2; k >= 0; --k)
        y = y * volts + coefs[k];
    return y;
}

double ZAnalogIn::voltsOf(int raw) const
{
    const double fullScale = 10.0 / range();
    return (fullScale * m_gain * raw) / FullScaleCode + 1e-6 * m_offset;
}

void ZAnalogIn::storeVolts(double volts)
{
    m_volts.push(volts);
    m_functionValues.push(horner(m_coefs, volts));
}
