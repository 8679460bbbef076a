#ifndef ZSMARTARRAY_H
#define ZSMARTARRAY_H

#include <algorithm>
#include <cassert>
#include <memory>

// A byte-frame buffer with an explicit maximum size: appends beyond it are dropped,
// growth happens only on request (setMaxSize) or through assignment.
template<class T> class ZSmartArray
{
public:
    explicit ZSmartArray(unsigned maxSize)
        : m_pData(new T[maxSize ? maxSize : 1]())
        , m_nCapacity(maxSize)
        , m_nMaxSize(maxSize)
    {
        assert(m_nMaxSize);
    }

    ZSmartArray(const ZSmartArray &other)
        : m_pData(new T[other.m_nMaxSize ? other.m_nMaxSize : 1]())
        , m_nCapacity(other.m_nMaxSize)
        , m_nMaxSize(other.m_nMaxSize)
        , m_nLen(other.m_nLen)
    {
        std::copy_n(other.m_pData.get(), other.m_nLen, m_pData.get());
    }

    ZSmartArray &operator=(const ZSmartArray &other)
    {
        if (this == &other)
            return *this;
        if (m_nCapacity < other.m_nMaxSize) {
            std::unique_ptr<T[]> grown(new T[other.m_nMaxSize]());
            std::copy_n(other.m_pData.get(), other.m_nLen, grown.get());
            m_pData = std::move(grown);
            m_nCapacity = other.m_nMaxSize;
        } else {
            std::copy_n(other.m_pData.get(), other.m_nLen, m_pData.get());
        }
        m_nMaxSize = other.m_nMaxSize;
        m_nLen = other.m_nLen;
        return *this;
    }

    void append(T value)
    {
        if (m_nLen < m_nMaxSize)
            m_pData[m_nLen++] = value;
    }

    T &operator[](unsigned nIndex)
    {
        assert(nIndex < m_nLen);
        return m_pData[nIndex];
    }
    const T &operator[](unsigned nIndex) const
    {
        assert(nIndex < m_nLen);
        return m_pData[nIndex];
    }

    unsigned length() const { return m_nLen; }
    unsigned maxSize() const { return m_nMaxSize; }
    unsigned capacity() const { return m_nCapacity; }
    bool isComplete() const { return m_nLen == m_nMaxSize; }
    T *data() { return m_pData.get(); }
    const T *data() const { return m_pData.get(); }

    void setMaxSize(unsigned n)
    {
        if (n == 0)
            return;
        if (n < m_nLen) {
            m_nLen = n;
            m_nMaxSize = n;
        } else if (n <= m_nCapacity) {
            m_nMaxSize = n;
        } else {
            std::unique_ptr<T[]> grown(new T[n]());
            std::copy_n(m_pData.get(), m_nLen, grown.get());
            m_pData = std::move(grown);
            m_nCapacity = n;
            m_nMaxSize = n;
        }
    }

    void clear() { m_nLen = 0; }

private:
    std::unique_ptr<T[]> m_pData;
    unsigned m_nCapacity;
    unsigned m_nMaxSize;
    unsigned m_nLen = 0;
};

using ZByteArray = ZSmartArray<unsigned char>;

#endif // ZSMARTARRAY_H
