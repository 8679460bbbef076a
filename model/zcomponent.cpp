#include "zcomponent.h"

#include <algorithm>
#include <cmath>

ZComponent::ZComponent(double itvl, double minItvl, double maxItvl, int id)
    : ZObservable<ZComponent>(id)
    , m_itvl(itvl)
    , m_minItvl(minItvl)
    , m_maxItvl(maxItvl)
{
    assert((m_minItvl <= m_itvl) && (m_itvl <= maxItvl));
}

ZComponent::~ZComponent() = default;

bool ZComponent::setInterval(double value)
{
    if (std::isnan(value) || std::abs(interval() - value) <= IntervalTolerance)
        return false;
    // Announced even when the clamped value equals the old one, so that an editor showing
    // the rejected request falls back to the value in force.
    m_itvl.store(std::clamp(value, m_minItvl, m_maxItvl), std::memory_order_relaxed);
    notify(IntervalChanged);
    return true;
}

bool ZComponent::setMinInterval(double value)
{
    if (!std::isfinite(value) || std::abs(m_minItvl - value) <= IntervalTolerance
        || value > m_maxItvl)
        return false;
    m_minItvl = value;
    if (value - interval() > IntervalTolerance)
        setInterval(value);
    return true;
}

bool ZComponent::setMaxInterval(double value)
{
    if (!std::isfinite(value) || std::abs(m_maxItvl - value) <= IntervalTolerance
        || value < m_minItvl)
        return false;
    m_maxItvl = value;
    if (interval() - value > IntervalTolerance)
        setInterval(value);
    return true;
}
