#ifndef ZOBSERVABLE_H
#define ZOBSERVABLE_H

#include "zglobal.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <mutex>
#include <vector>

template<class T> class ZObserver;

// A model object that announces its changes to its observers as integer codes.
// T is the concrete model class deriving from ZObservable<T>.
//
// Every observable guards its observer list with its own recursive mutex, held for the
// whole of attach, detach, detachAll (hooks included) and notify. So no update() can
// arrive before onAttached() has finished or after detach() has returned, even when the
// communication thread notifies while the GUI thread attaches or detaches.
template<class T> class ZObservable
{
public:
    virtual ~ZObservable() = 0;

    int id() const { return m_id; }
    bool isSampling() const { return m_sampling.load(std::memory_order_acquire); }
    virtual void setSampling(bool on);

    void notify(int code);
    bool detach(ZObserver<T> *observer);
    void detachAll();

    ZObservable(const ZObservable &) = delete;
    ZObservable &operator=(const ZObservable &) = delete;

protected:
    explicit ZObservable(int id)
        : m_id(id)
    { }

    // For overrides of setSampling() that end with the base behaviour.
    void storeSampling(bool on) { m_sampling.store(on, std::memory_order_release); }

private:
    friend class ZObserver<T>;

    T *self() { return static_cast<T *>(this); }
    bool contains(const ZObserver<T> *observer) const;
    void removeNode(const ZObserver<T> *observer);

    const int m_id;
    std::atomic<bool> m_sampling { false };
    std::vector<ZObserver<T> *> m_observers;
    mutable std::recursive_mutex m_mutex;
    int m_notifyDepth = 0;
};

// A panel, store or monitor that observes exactly one model object at a time.
template<class T> class ZObserver
{
public:
    virtual ~ZObserver() = 0;

    bool attach(T *subject);
    bool detach(T *subject);
    T *subject() const { return m_subject.load(std::memory_order_acquire); }

    virtual bool update(int code)
    {
        Q_UNUSED(code);
        return true;
    }
    virtual bool onAttached() { return true; }
    virtual bool onDetached() { return true; }

protected:
    ZObserver() = default;
    ZObserver(const ZObserver &) = delete;
    ZObserver &operator=(const ZObserver &) = delete;

private:
    friend class ZObservable<T>;

    std::atomic<T *> m_subject { nullptr };
};

// ---------------------------------------------------------------------------------------

template<class T> ZObservable<T>::~ZObservable()
{
    // Frees the list only; concrete observables call detachAll() in their destructors.
}

template<class T> void ZObservable<T>::setSampling(bool on)
{
    if (on == isSampling())
        return;
    storeSampling(on);
    notify(SamplingChanged);
}

template<class T> void ZObservable<T>::notify(int code)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ++m_notifyDepth;
    // Index walk: update() may not change the list (asserted in attach and detach).
    for (std::size_t i = 0; i < m_observers.size(); ++i)
        m_observers[i]->update(code);
    --m_notifyDepth;
}

template<class T> bool ZObservable<T>::contains(const ZObserver<T> *observer) const
{
    return std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end();
}

template<class T> void ZObservable<T>::removeNode(const ZObserver<T> *observer)
{
    const auto it = std::find(m_observers.begin(), m_observers.end(), observer);
    if (it != m_observers.end())
        m_observers.erase(it);
}

template<class T> bool ZObservable<T>::detach(ZObserver<T> *observer)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    assert(m_notifyDepth == 0 && "update() must not detach observers of its subject");
    if (!observer || !contains(observer))
        return false;
    removeNode(observer);
    if (observer->subject() == self()) {
        observer->onDetached();
        observer->m_subject.store(nullptr, std::memory_order_release);
    }
    return true;
}

template<class T> void ZObservable<T>::detachAll()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    while (!m_observers.empty())
        detach(m_observers.back());
}

template<class T> ZObserver<T>::~ZObserver()
{
    // Concrete observers detach in their own destructors, so that their onDetached()
    // override still runs; this is the last resort for those that did not, so that no
    // subject keeps a dangling pointer.
    if (T *s = subject())
        detach(s);
}

template<class T> bool ZObserver<T>::attach(T *newSubject)
{
    if (!newSubject || newSubject == subject())
        return false;
    if (T *old = subject())
        detach(old);

    ZObservable<T> *observable = newSubject;
    std::lock_guard<std::recursive_mutex> lock(observable->m_mutex);
    assert(observable->m_notifyDepth == 0 && "update() must not attach observers of its subject");
    m_subject.store(newSubject, std::memory_order_release);
    if (!observable->contains(this))
        observable->m_observers.push_back(this);
    onAttached();
    return true;
}

template<class T> bool ZObserver<T>::detach(T *oldSubject)
{
    if (!oldSubject)
        return false;
    ZObservable<T> *observable = oldSubject;
    std::lock_guard<std::recursive_mutex> lock(observable->m_mutex);
    if (oldSubject != subject())
        return false;
    assert(observable->m_notifyDepth == 0 && "update() must not detach observers of its subject");
    onDetached();
    m_subject.store(nullptr, std::memory_order_release);
    observable->removeNode(this);
    return true;
}

#endif // ZOBSERVABLE_H
