// Linear congruential generator, modulus 2^32.
#include "effects/random.h"

uint32_t random(unsigned long seed)
{
    static uint32_t n;
    if (seed != 0)
        n = uint32_t(seed);
    n = n * 1664525u + 1013904223u;
    return n;
}
