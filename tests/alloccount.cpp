#include "alloccount.h"

#include <cstdlib>
#include <new>

namespace alloccount {
bool on;
long long news;
long long deletes;
} // namespace alloccount

void *operator new(std::size_t size)
{
    if (alloccount::on)
        alloccount::news++;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    if (p && alloccount::on)
        alloccount::deletes++;
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept { operator delete(p); }
