// Counts heap allocations and releases made while counting is on, through
// replacements of the global operator new and delete in the test binary.
#ifndef SPARKRALLY_TESTS_ALLOCCOUNT_H
#define SPARKRALLY_TESTS_ALLOCCOUNT_H

#include <cstddef>

namespace alloccount {

extern bool on;
extern long long news;    // allocations while on
extern long long deletes; // releases while on

inline void start()
{
    news = deletes = 0;
    on = true;
}
inline void stop() { on = false; }

} // namespace alloccount

#endif
