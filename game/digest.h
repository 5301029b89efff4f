// A digest of the whole game state, which replays keep and the tests
// compare across targets: one 64-bit word for every value the game keeps,
// doubles by their bits, in a fixed order, the spark ring slot by slot.
#ifndef SPARKRALLY_GAME_DIGEST_H
#define SPARKRALLY_GAME_DIGEST_H

#include <cstdint>

// FNV-1a over 64-bit words: each word's step is a bijection of the running
// value, so any one changed value always changes the digest. The same
// state gives the same digest on every target.
uint64_t statedigest();

// Folds one more digest into a running one, with the same step: a chain of
// digests frame after frame.
uint64_t chaindigest(uint64_t chain, uint64_t digest);

#endif
