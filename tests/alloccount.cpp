#include "alloccount.h"

#include <cstdlib>
#include <new>

namespace alloccount {
bool on;
long long news;
long long deletes;
} // namespace alloccount

// Every plain form of new and delete is replaced, so that each block is
// released by the same allocator that made it.
static void *take(std::size_t size)
{
    if (alloccount::on)
        alloccount::news++;
    return std::malloc(size ? size : 1);
}

static void give(void *p) noexcept
{
    if (p && alloccount::on)
        alloccount::deletes++;
    std::free(p);
}

void *operator new(std::size_t size)
{
    if (void *p = take(size))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return take(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return take(size); }
void operator delete(void *p) noexcept { give(p); }
void operator delete[](void *p) noexcept { give(p); }
void operator delete(void *p, std::size_t) noexcept { give(p); }
void operator delete[](void *p, std::size_t) noexcept { give(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { give(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { give(p); }
