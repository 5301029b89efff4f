// Runs SDL_main through the recording doubles with input from a feed, and
// checks the game's invariants after every frame: the ring's bounds and the
// heap's blocks, the ball's speed and heading, the score and the end of the
// match, and that no number in the game or sent to OpenGL is NaN or infinite.
#ifndef SPARKRALLY_TESTS_SOAK_WATCH_H
#define SPARKRALLY_TESTS_SOAK_WATCH_H

#include <functional>
#include <string>

struct Watched {
    long long frames = 0;  // frames played
    long long events = 0;  // events fed
    long long emitted = 0; // sparks allocated
    int most_live = 0;     // most sparks live after a walk
    int matches = 0;       // runs that ended with a side at 5
    std::string failure;   // the first invariant broken, with its frame
};

// What a feed does for one frame: queue events and set the key state.
// It reports whether it asked for the end of the run (a close request, or
// a key-down while Escape is down).
using Feed = std::function<bool(int frame)>;

// Plays one run from a fresh process state, feeding it frame by frame,
// until it ends or `maxframes` have run (then it is closed). Adds to `w`.
void watchrun(const Feed &feed, int maxframes, Watched &w);

#endif
