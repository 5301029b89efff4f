// Input and paddle control. The frame loop calls these once per frame, in
// this order, right after the screen is cleared.
#ifndef SPARKRALLY_GAME_INPUT_H
#define SPARKRALLY_GAME_INPUT_H

// Drains SDL's event queue: records the pointer from motion events, and sets
// quit on a close request or on a key-down while Escape is held.
void checkevents();

// Centres the player's paddle on the pointer's y, unbounded.
void moveplayerbar();

// Steps the computer's paddle one cpuspeed towards the ball's y.
void calccpu();

#endif
