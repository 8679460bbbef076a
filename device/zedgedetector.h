#ifndef ZEDGEDETECTOR_H
#define ZEDGEDETECTOR_H

// Recognises a change of level to a target level in a stream of levels. The first level
// seen only arms the detector when it is the opposite of the target, so an input already
// at the target level must first leave it before an edge counts.
class ZEdgeDetector
{
public:
    explicit ZEdgeDetector(bool targetLevel)
        : m_target(targetLevel)
    { }

    void reset();
    void clearFired() { m_fired = false; }
    bool fired() const { return m_fired; }
    bool targetLevel() const { return m_target; }

    // Returns fired(): true exactly after the level changes to the target.
    bool feed(bool level);

private:
    bool m_target;
    bool m_first = true;
    bool m_last = false;
    bool m_armed = false;
    bool m_fired = false;
};

#endif // ZEDGEDETECTOR_H
