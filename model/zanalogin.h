#ifndef ZANALOGIN_H
#define ZANALOGIN_H

#include "zinchannel.h"

#include <array>
#include <vector>

// Input range codes: single bits, the full scale is 10 V divided by the code.
enum ZRange : int { Range10V = 1, Range5V = 2, Range2V5 = 4, Range1V25 = 8 };

// An analog input: voltages converted from the device's signed 24-bit codes with the
// selected range and the box's calibration, and a polynomial of each voltage (the
// function Y) that the user defines with six coefficients.
class ZAnalogIn : public ZInChannel
{
public:
    static constexpr int CoefCount = 6;
    static constexpr quint8 AllRanges = Range10V | Range5V | Range2V5 | Range1V25;
    static constexpr double CoefTolerance = 1e-9;

    explicit ZAnalogIn(int id);
    ~ZAnalogIn() override;

    quint8 rangeMask() const { return m_rangeMask; }
    // Refuses a mask without any range; moves the range to the narrowest one supported
    // when the mask excludes it.
    bool setRangeMask(quint8 mask);
    int range() const { return m_range.load(std::memory_order_relaxed); }
    // Only a single supported range code; applies to samples appended later.
    bool setRange(int code);

    // 0: the voltage is shown, 1: the function Y.
    int showType() const { return m_showType; }
    bool setShowType(int type);

    std::vector<double> coefs() const;
    // Updates the coefficients given (at most six, from c0) that differ by more than the
    // tolerance and recomputes every stored function value. Refuses the whole list when
    // one of them is not finite.
    bool setCoefs(const std::vector<double> &values);
    double evaluate(double volts) const;

    // Gain and offset (microvolts) that the device reports; no notification.
    bool setCalibration(double gain, double offset);
    double toVolts(int raw) const;

    void append(const double *times, const int *raws, int n) override;
    // Already converted voltages, as a project file holds them.
    void appendVolts(const double *times, const double *volts, int n);

    ZSeriesView<double> volts() const { return ZSeriesView<double>(m_volts, sampleCount()); }
    // Rewritten in place by setCoefs() on the GUI thread: read it there.
    ZSeriesView<double> functionValues() const
    {
        return ZSeriesView<double>(m_functionValues, sampleCount());
    }

protected:
    void clearValues() override;
    std::size_t valueBytes() const override;

private:
    using Coefs = std::array<double, CoefCount>;

    static double horner(const Coefs &coefs, double volts);
    // These need the series mutex held.
    double voltsOf(int raw) const;
    void storeVolts(double volts);

    quint8 m_rangeMask = AllRanges;
    std::atomic<int> m_range { Range1V25 };
    int m_showType = 0;
    Coefs m_coefs { { 0.0, 1.0, 0.0, 0.0, 0.0, 0.0 } };
    ZSeries<double> m_volts;
    ZSeries<double> m_functionValues;
    double m_gain = 1.0;
    double m_offset = 0.0;
};

#endif // ZANALOGIN_H
