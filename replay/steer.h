// Keys and a pad's stick that move the paddle: they become pointer motions
// in the live frame, so the game and the replay see only pointer positions.
#ifndef SPARKRALLY_REPLAY_STEER_H
#define SPARKRALLY_REPLAY_STEER_H

#include "replay/replayfile.h"

namespace steer {

// The paddle's speed on keys, in pixels per frame: it starts slow enough to
// place the paddle by a few pixels and gathers speed to cross the field
// before the fastest ball (10 pixels a frame) crosses it.
constexpr double start_speed = 3;
constexpr double acceleration = 1;
constexpr double top_speed = 16;

// The stick sets the speed itself: nothing within the dead zone (a resting
// stick is rarely at 0), then from the start speed to the top speed at full
// tilt, growing with the square of the travel so that most of it places
// the paddle finely, while a full tilt moves it as fast as held keys do.
constexpr int dead_zone = 8000;

// After a frame's events are gathered: takes the pointer's position from the
// frame's motion and, while a direction is held (up or down, not both) or
// else the stick is tilted (-32768 up to 32767 down), moves it at the
// profile's speed or the stick's, as the frame's motion.
void keys(replay::Frame &frame, bool up, bool down, int stick = 0);

// Whether the key state says up or down is held: Up or W, Down or S.
bool upheld(const uint8_t *state);
bool downheld(const uint8_t *state);

} // namespace steer

#endif
