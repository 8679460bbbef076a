#include "zedgedetector.h"

void ZEdgeDetector::reset()
{
    m_first = true;
    m_last = false;
    m_armed = false;
    m_fired = false;
}

bool ZEdgeDetector::feed(bool level)
{
    if (m_first) {
        m_first = false;
        m_last = level;
        m_armed = (level != m_target);
        return m_fired;
    }
    m_fired = false;
    if (level != m_last) {
        m_last = level;
        if (m_armed) {
            m_fired = true;
            m_armed = false;
        } else {
            m_armed = true;
        }
    }
    return m_fired;
}
