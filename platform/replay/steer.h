// Keys that move the paddle: Up/Down and W/S become pointer motions in the
// live frame, so the game and the replay see only pointer positions.
#ifndef SPARKRALLY_PLATFORM_REPLAY_STEER_H
#define SPARKRALLY_PLATFORM_REPLAY_STEER_H

#include "platform/replay/replayfile.h"

namespace steer {

// The paddle's speed on keys, in pixels per frame: it starts slow enough to
// place the paddle by a few pixels and gathers speed to cross the field
// before the fastest ball (10 pixels a frame) crosses it.
constexpr double start_speed = 3;
constexpr double acceleration = 1;
constexpr double top_speed = 16;

// After a frame's events are gathered: takes the pointer's position from the
// frame's motion and, while a direction is held (up or down, not both),
// moves it at the profile's speed, as the frame's motion.
void keys(replay::Frame &frame, bool up, bool down);

// Whether the key state says up or down is held: Up or W, Down or S.
bool upheld(const uint8_t *state);
bool downheld(const uint8_t *state);

} // namespace steer

#endif
