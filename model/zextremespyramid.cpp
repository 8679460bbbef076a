#include "zextremespyramid.h"

std::size_t ZExtremesPyramid::coveredCount() const
{
    return m_levels.empty() ? 0 : m_levels.front().size() * BaseBlock;
}

void ZExtremesPyramid::clear()
{
    m_levels.clear();
}

std::size_t ZExtremesPyramid::allocatedBytes() const
{
    std::size_t bytes = sizeof(*this) + m_levels.capacity() * sizeof(Level);
    for (const Level &level : m_levels)
        bytes += level.capacity() * sizeof(ZExtremes);
    return bytes;
}

void ZExtremesPyramid::extendUpperLevels()
{
    for (std::size_t level = 0; m_levels[level].size() >= Fanout; ++level) {
        if (level + 1 == m_levels.size())
            m_levels.emplace_back();
        const Level &lower = m_levels[level];
        Level &upper = m_levels[level + 1];
        for (std::size_t group = upper.size(); (group + 1) * Fanout <= lower.size(); ++group) {
            ZExtremes extremes;
            for (std::size_t b = group * Fanout; b < (group + 1) * Fanout; ++b)
                extremes.add(lower[b]);
            upper.push_back(extremes);
        }
    }
}

void ZExtremesPyramid::addBlocks(std::size_t level, std::size_t first, std::size_t last,
                                 ZExtremes &result) const
{
    const Level &blocks = m_levels[level];
    const std::size_t upperSize = level + 1 < m_levels.size() ? m_levels[level + 1].size() : 0;
    // Only whole groups that the level above already summarises can be taken from it.
    const std::size_t groupFirst = (first + Fanout - 1) / Fanout;
    const std::size_t groupLast = std::min(last / Fanout, upperSize);
    if (groupFirst >= groupLast) {
        for (std::size_t b = first; b < last; ++b)
            result.add(blocks[b]);
        return;
    }
    for (std::size_t b = first; b < groupFirst * Fanout; ++b)
        result.add(blocks[b]);
    addBlocks(level + 1, groupFirst, groupLast, result);
    for (std::size_t b = groupLast * Fanout; b < last; ++b)
        result.add(blocks[b]);
}
