#include "zimgybox.h"

#include <atomic>

namespace {

int nextImgyBoxId()
{
    static std::atomic<int> next { FirstImgyBoxId };
    return next.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

ZImgyBox::ZImgyBox(int boxType)
    : ZBox(boxType, nextImgyBoxId())
{ }

ZImgyBox::~ZImgyBox()
{
    detachAll();
    m_savedTime.clear();
}
