// Turns arbitrary bytes into frames of SDL events and plays them through the
// game with its invariants checked: the entry shared by the fuzzer and the
// replay of its corpus.
#ifndef SPARKRALLY_TESTS_SOAK_FRAMES_INPUT_H
#define SPARKRALLY_TESTS_SOAK_FRAMES_INPUT_H

#include <cstddef>
#include <cstdint>

#include "watch.h"

// Plays the input to the end of the run or of the bytes (then the window
// is closed). Each frame takes one control byte, and more for its events:
//   00eqnnnn  n events, each a type byte and its fields; e: Escape is down
//   01cccccc  4c + 1 frames without events
//   10oooooo  16 frames with the pointer o - 32 pixels from the ball's y
//   11nnnnnn  a flood of 1000 n events (at most 10000) drawn from a seed byte
Watched runinput(const uint8_t *data, size_t size);

#endif
