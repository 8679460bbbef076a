#ifndef ZEXTREMESPYRAMID_H
#define ZEXTREMESPYRAMID_H

#include <algorithm>
#include <cstddef>
#include <limits>
#include <vector>

// The smallest and largest of a set of values; empty until a value is added. Values
// that are not numbers are never added.
struct ZExtremes
{
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();

    bool isEmpty() const { return !(min <= max); }
    void add(double value)
    {
        if (value < min)
            min = value;
        if (value > max)
            max = value;
    }
    void add(const ZExtremes &other)
    {
        add(other.min);
        add(other.max);
    }
};

// Block extremes of a growing series, so that the extremes of any index range cost a few
// hundred reads instead of one per sample: level 0 summarises complete blocks of
// BaseBlock samples, every level above complete groups of Fanout blocks of the level
// below. The series itself is read through a callable valueAt(index); the pyramid only
// covers complete blocks and reads the rest of a range from the series. It takes about
// 0.3 bytes per sample.
class ZExtremesPyramid
{
public:
    static constexpr std::size_t BaseBlock = 64;
    static constexpr std::size_t Fanout = 8;

    // Samples summarised by complete base blocks.
    std::size_t coveredCount() const;
    void clear();

    // Summarises the complete blocks among the first count values; the values already
    // summarised must not have changed since (rebuild with clear() when they do).
    template<class ValueAt> void extend(std::size_t count, ValueAt valueAt);

    // The extremes of the values with indexes in [first, last); last must not exceed the
    // count the series had at the latest extend().
    template<class ValueAt>
    ZExtremes extremes(std::size_t first, std::size_t last, ValueAt valueAt) const;

    std::size_t allocatedBytes() const;

private:
    using Level = std::vector<ZExtremes>;

    void extendUpperLevels();
    // Extremes of the blocks [first, last) of a level, climbing where whole groups allow.
    void addBlocks(std::size_t level, std::size_t first, std::size_t last, ZExtremes &result) const;

    std::vector<Level> m_levels;
};

template<class ValueAt> void ZExtremesPyramid::extend(std::size_t count, ValueAt valueAt)
{
    if (m_levels.empty())
        m_levels.emplace_back();
    Level &base = m_levels.front();
    for (std::size_t start = base.size() * BaseBlock; start + BaseBlock <= count;
         start += BaseBlock) {
        ZExtremes block;
        for (std::size_t i = start; i < start + BaseBlock; ++i)
            block.add(double(valueAt(i)));
        base.push_back(block);
    }
    extendUpperLevels();
}

template<class ValueAt>
ZExtremes ZExtremesPyramid::extremes(std::size_t first, std::size_t last, ValueAt valueAt) const
{
    ZExtremes result;
    if (first >= last)
        return result;
    const std::size_t firstBlock = (first + BaseBlock - 1) / BaseBlock;
    const std::size_t lastBlock = std::min(last, coveredCount()) / BaseBlock;
    if (firstBlock >= lastBlock) {
        for (std::size_t i = first; i < last; ++i)
            result.add(double(valueAt(i)));
        return result;
    }
    for (std::size_t i = first; i < firstBlock * BaseBlock; ++i)
        result.add(double(valueAt(i)));
    addBlocks(0, firstBlock, lastBlock, result);
    for (std::size_t i = lastBlock * BaseBlock; i < last; ++i)
        result.add(double(valueAt(i)));
    return result;
}

#endif // ZEXTREMESPYRAMID_H
