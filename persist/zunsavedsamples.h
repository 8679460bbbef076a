#ifndef ZUNSAVEDSAMPLES_H
#define ZUNSAVEDSAMPLES_H

#include "model/zobservable.h"

class ZAppObservable;

// Whether the device box holds samples that no save has covered since they were taken:
// what the window asks about before it closes. A save covers the samples only when it
// began while the box was not sampling and no new run has begun since; a save during a
// run writes only what had arrived by then.
class ZUnsavedSamples : public ZObserver<ZAppObservable>
{
public:
    // What a save in progress will cover, taken when it begins.
    struct Save
    {
        unsigned run = 0;
        bool complete = false;
    };

    ZUnsavedSamples() = default;
    ~ZUnsavedSamples() override;

    bool hasUnsavedSamples() const;

    Save saveBegins() const;
    void saveSucceeded(const Save &save);

    bool update(int code) override;

private:
    // Counts the runs that began and the box types chosen: a save names the one it read.
    unsigned m_run = 0;
    bool m_unsaved = false;
};

#endif // ZUNSAVEDSAMPLES_H
