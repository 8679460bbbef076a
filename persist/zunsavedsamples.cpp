#include "zunsavedsamples.h"

#include "app/zappobservable.h"
#include "device/zrealbox.h"

ZUnsavedSamples::~ZUnsavedSamples()
{
    detach(subject());
}

bool ZUnsavedSamples::hasUnsavedSamples() const
{
    const ZAppObservable *app = subject();
    return m_unsaved && app && app->hasSamples();
}

ZUnsavedSamples::Save ZUnsavedSamples::saveBegins() const
{
    const ZAppObservable *app = subject();
    const bool boxSampling = app && app->activeBox() && app->activeBox()->isSampling();
    return { m_run, !boxSampling };
}

void ZUnsavedSamples::saveSucceeded(const Save &save)
{
    if (save.complete && save.run == m_run)
        m_unsaved = false;
}

bool ZUnsavedSamples::update(int code)
{
    switch (code) {
    case SampleStarted:
        ++m_run;
        m_unsaved = true;
        return true;
    case BoxTypeChanged:
        // The old box and its samples are gone.
        ++m_run;
        m_unsaved = false;
        return true;
    default:
        return false;
    }
}
