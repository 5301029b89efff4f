// The collision step: paddle and edge bounces, speed-up, goals and bursts.
#ifndef SPARKRALLY_GAME_COLLISIONS_H
#define SPARKRALLY_GAME_COLLISIONS_H

// Tests the ball against the paddle lines, the goal lines and the top and
// bottom edges, in that order. Every bounce emits a burst of 501 sparks; a
// goal scores and serves again (with the serve's 500 ms pause). Called by
// moveball before each step.
void checkcollisions();

#endif
