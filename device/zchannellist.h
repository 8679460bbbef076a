#ifndef ZCHANNELLIST_H
#define ZCHANNELLIST_H

#include <algorithm>
#include <memory>
#include <vector>

// The channels of one kind that a box owns, in channel order. Readers get the plain
// list of pointers; the channels are deleted in list order by deleteAll() or at the end.
template<class T> class ZChannelList
{
public:
    ZChannelList() = default;
    ~ZChannelList() { deleteAll(); }
    ZChannelList(const ZChannelList &) = delete;
    ZChannelList &operator=(const ZChannelList &) = delete;

    const std::vector<T *> &items() const { return m_items; }

    // Takes ownership. A null channel is refused; so is one already in the list, which
    // stays owned once (the second owner lets go of it).
    bool add(std::unique_ptr<T> channel)
    {
        if (!channel)
            return false;
        if (std::find(m_items.begin(), m_items.end(), channel.get()) != m_items.end()) {
            channel.release();
            return false;
        }
        m_items.push_back(channel.release());
        return true;
    }

    void deleteAll()
    {
        for (T *channel : m_items)
            delete channel;
        m_items.clear();
    }

private:
    std::vector<T *> m_items;
};

#endif // ZCHANNELLIST_H
