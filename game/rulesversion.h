// The version of the rules: every value that can change a match's bits
// (the constants, the order of a frame, the arithmetic) is played by the
// rules of this version. Raise it whenever any of them changes, and record
// the kept replays again: a replay of other rules is refused, while a
// replay of these rules plays in every release that keeps them.
#ifndef SPARKRALLY_GAME_RULESVERSION_H
#define SPARKRALLY_GAME_RULESVERSION_H

#include <cstdint>

static const uint16_t rules_version = 1;

#endif
