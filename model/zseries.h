#ifndef ZSERIES_H
#define ZSERIES_H

#include <array>
#include <atomic>
#include <cassert>
#include <cstddef>
#include <iterator>
#include <memory>

// Append-only storage of one sample series, written by one thread and read by others
// without locks. Elements never move once written: they live in fixed-size chunks
// reached through a two-level table whose levels are allocated once and never
// reallocated. Readers never look past the count their channel published, so every
// element and table slot they touch was stored before that count (release/acquire).
template<class T> class ZSeries
{
public:
    static constexpr std::size_t ChunkBits = 13; // 8192 elements per chunk
    static constexpr std::size_t ChunkSize = std::size_t(1) << ChunkBits;
    static constexpr std::size_t TableBits = 10; // chunks per middle table
    static constexpr std::size_t TableSize = std::size_t(1) << TableBits;
    static constexpr std::size_t MaxSize = ChunkSize * TableSize * TableSize; // 2^33

    ZSeries() = default;
    ZSeries(const ZSeries &) = delete;
    ZSeries &operator=(const ZSeries &) = delete;

    // Writer side. Returns false, storing nothing, once the series is full.
    bool push(const T &value)
    {
        if (m_size >= MaxSize)
            return false;
        slot(m_size, true) = value;
        ++m_size;
        return true;
    }

    // Number of elements stored by the writer; readers use their channel's count.
    std::size_t storedSize() const { return m_size; }

    // Only while no other thread reads or writes.
    void clear()
    {
        for (auto &table : m_tables)
            table.reset();
        m_size = 0;
    }

    const T &at(std::size_t index) const
    {
        return m_tables[index >> (ChunkBits + TableBits)]
            ->chunks[(index >> ChunkBits) & (TableSize - 1)][index & (ChunkSize - 1)];
    }

    // Rewrites an element already stored (function values after a coefficient change).
    T &mutableAt(std::size_t index) { return slot(index, false); }

    // Bytes held by the series, tables included.
    std::size_t allocatedBytes() const
    {
        std::size_t bytes = sizeof(*this);
        for (const auto &table : m_tables) {
            if (!table)
                continue;
            bytes += sizeof(Table);
            for (const auto &chunk : table->chunks)
                if (chunk)
                    bytes += ChunkSize * sizeof(T);
        }
        return bytes;
    }

private:
    struct Table
    {
        std::array<std::unique_ptr<T[]>, TableSize> chunks;
    };

    T &slot(std::size_t index, bool allocate)
    {
        auto &table = m_tables[index >> (ChunkBits + TableBits)];
        if (allocate && !table)
            table = std::make_unique<Table>();
        auto &chunk = table->chunks[(index >> ChunkBits) & (TableSize - 1)];
        if (allocate && !chunk)
            chunk.reset(new T[ChunkSize]);
        return chunk[index & (ChunkSize - 1)];
    }

    std::array<std::unique_ptr<Table>, TableSize> m_tables;
    std::size_t m_size = 0;
};

// A read-only window on the first size() elements of a series.
template<class T> class ZSeriesView
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T *;
        using reference = const T &;

        const_iterator() = default;
        const_iterator(const ZSeries<T> *series, std::size_t index)
            : m_series(series)
            , m_index(index)
        { }
        reference operator*() const { return m_series->at(m_index); }
        reference operator[](difference_type n) const { return m_series->at(m_index + n); }
        const_iterator &operator++()
        {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            ++m_index;
            return old;
        }
        const_iterator &operator--()
        {
            --m_index;
            return *this;
        }
        const_iterator &operator+=(difference_type n)
        {
            m_index += n;
            return *this;
        }
        const_iterator operator+(difference_type n) const
        {
            return const_iterator(m_series, m_index + n);
        }
        const_iterator operator-(difference_type n) const
        {
            return const_iterator(m_series, m_index - n);
        }
        difference_type operator-(const const_iterator &o) const
        {
            return difference_type(m_index) - difference_type(o.m_index);
        }
        bool operator==(const const_iterator &o) const { return m_index == o.m_index; }
        bool operator!=(const const_iterator &o) const { return m_index != o.m_index; }
        bool operator<(const const_iterator &o) const { return m_index < o.m_index; }

    private:
        const ZSeries<T> *m_series = nullptr;
        std::size_t m_index = 0;
    };

    ZSeriesView(const ZSeries<T> &series, std::size_t size)
        : m_series(&series)
        , m_size(size)
    { }

    std::size_t size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    bool empty() const { return m_size == 0; }
    // Past the published size lies another thread's unfinished sample, or nothing.
    const T &operator[](std::size_t index) const
    {
        assert(index < m_size && "series index out of bounds");
        return m_series->at(index);
    }
    const T &last() const
    {
        assert(m_size > 0 && "last() of an empty series");
        return m_series->at(m_size - 1);
    }
    const_iterator begin() const { return const_iterator(m_series, 0); }
    const_iterator end() const { return const_iterator(m_series, m_size); }

private:
    const ZSeries<T> *m_series;
    std::size_t m_size;
};

#endif // ZSERIES_H
