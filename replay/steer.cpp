// Keys and a stick that move the paddle, as pointer motions added to the
// live frame.
#include "replay/steer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Where the arrows are in the key state: the browser's SDL keeps them at
// its own codes (a scancode with bit 10 set), not at SDL 1.2's SDLK_UP and
// SDLK_DOWN, which its headers put far past the state's end.
#ifdef SPARKRALLY_BROWSER_KEYS
constexpr int up_arrow = 82 | 1 << 10, down_arrow = 81 | 1 << 10;
#else
constexpr int up_arrow = SDLK_UP, down_arrow = SDLK_DOWN;
#endif

// Where the pointer is, as far as the game knows, and how fast keys move it.
struct Steering {
    double y = 0;
    uint16_t x = 0;
    double speed = 0; // 0 while no direction is held
} steering;

} // namespace

namespace steer {

void keys(replay::Frame &frame, bool up, bool down, int stick)
{
    if (frame.flags & replay::moved) {
        steering.x = frame.x;
        steering.y = frame.y;
    }
    const int direction = int(down) - int(up);
    double velocity;
    if (direction != 0) {
        steering.speed =
            steering.speed == 0 ? start_speed : std::min(top_speed, steering.speed + acceleration);
        velocity = direction * steering.speed;
    } else {
        steering.speed = 0;
        const int travel = std::abs(stick) - dead_zone;
        if (travel <= 0)
            return;
        const double t = std::min(1.0, travel / (32767.0 - dead_zone));
        velocity = (stick < 0 ? -1 : 1) * (start_speed + (top_speed - start_speed) * t * t);
    }
    steering.y = std::clamp(steering.y + velocity, 0.0, 479.0);
    frame.flags |= replay::moved;
    frame.x = steering.x;
    frame.y = uint16_t(steering.y);
}

bool upheld(const uint8_t *state) { return state[up_arrow] || state[SDLK_w]; }
bool downheld(const uint8_t *state) { return state[down_arrow] || state[SDLK_s]; }

} // namespace steer
