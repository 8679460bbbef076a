#ifndef ZDIGITIN_H
#define ZDIGITIN_H

#include "zinchannel.h"

// A digital input: one level per sample. Levels are stored one per byte, so the writer
// never shares a word with the readers of earlier samples.
class ZDigitIn : public ZInChannel
{
public:
    explicit ZDigitIn(int id);
    ~ZDigitIn() override;

    // A non-zero raw value is a high level.
    void append(const double *times, const int *raws, int n) override;

    ZSeriesView<bool> statuses() const { return ZSeriesView<bool>(m_statuses, sampleCount()); }

protected:
    void clearValues() override;
    std::size_t valueBytes() const override;

private:
    ZSeries<bool> m_statuses;
};

#endif // ZDIGITIN_H
