// Shared set-up for tests that link the game against the SDL and OpenGL
// doubles: every test starts from the state of a fresh process.
#ifndef SPARKRALLY_TESTS_SUPPORT_H
#define SPARKRALLY_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "doubles/recorder.h"

// Puts every game global back to its value at program start, releases any
// live sparks, resets the doubles, and removes SDL_VIDEODRIVER, which the
// set-up reads, so that a player's setting cannot change a verdict.
void freshgame();

// Sets an environment variable, or removes it when value is null.
void setvar(const char *name, const char *value);

// Runs the game's entry as the process would, with the program's name.
int runmain();

// Number of non-empty slots in the spark ring.
int livesparks();

// The recorded calls of one kind, in order.
std::vector<doubles::Call> calls(doubles::Fn fn);

// The vertex (x, y, 0) in single precision, as glVertex3f receives it.
doubles::Call vertex(float x, float y);

// FNV-1a over 64-bit words, for the tests' kept digests of values and bytes.
struct Fnv1a {
    uint64_t h = 14695981039346656037ull;
    void add(uint64_t word) { h = (h ^ word) * 1099511628211ull; }
    void add(double d); // by its bits
};

// The generator's step, for the tests' own scripted sequences: the game's
// random() keeps one hidden state, which a script drawing between frames
// would take from the game.
inline uint32_t nextdraw(uint32_t n) { return n * 1664525u + 1013904223u; }

class GameTest : public ::testing::Test
{
  protected:
    void SetUp() override { freshgame(); }
    void TearDown() override { freshgame(); }
};

#endif
