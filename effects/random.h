// The game's only source of chance: a 32-bit linear congruential generator.
#ifndef SPARKRALLY_EFFECTS_RANDOM_H
#define SPARKRALLY_EFFECTS_RANDOM_H

#include <cstdint>

// Steps the generator and returns its new state. A non-zero seed first
// replaces the state, so seeding also steps once; 0 continues the sequence.
// All arithmetic is modulo 2^32 whatever the width of unsigned long, and
// callers must take the result as unsigned.
uint32_t random(unsigned long seed);

#endif
