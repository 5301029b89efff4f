// One frame's work, for the frame loop and for the benchmarks that time a
// frame: both call the same code, so neither can drift from the other.
#ifndef SPARKRALLY_GAME_FRAMELOOP_H
#define SPARKRALLY_GAME_FRAMELOOP_H

// The frame in its fixed order, from the clear to the sparks; the frame
// loop follows it with the swap and the 16 ms sleep.
void playframe();

#endif
