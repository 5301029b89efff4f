// The scripted player of the match tests, the replay tests and the golden
// replays: pointer motion (or held keys) fed to the game through the test
// doubles' event queue, frame by frame, as a player's hand would give it.
#ifndef SPARKRALLY_TESTS_BOT_H
#define SPARKRALLY_TESTS_BOT_H

#include <cstdint>

// How a scripted match goes and how it ends.
struct Script {
    uint32_t seed;         // draws a new point along the paddle on each approach
    int spread;            // the pointer stays within this many pixels of the ball
    int endframe;          // the frame that ends the run, or 0 to play to 5
    bool byescape;         // ended by Escape held with a key down, else by closing
    bool keysonly = false; // steers with Up and Down held, never the pointer
};

// Sets the doubles' frame hooks to play `s`: the pointer aims at the ball's
// row plus an offset drawn afresh each time the ball turns towards the
// player. Each frame also gets a motion that the game ignores beyond its
// position and, now and then, events the game does not read at all.
void playscript(const Script &s);

#endif
