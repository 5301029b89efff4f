#include "bot.h"

#include <algorithm>

#include "game/game.h"
#include "support.h"

using namespace doubles;

void playscript(const Script &s)
{
    state.recording = false;
    state.before_frame = [s, draws = s.seed, offset = 0, towards = false](int frame) mutable {
        if (s.endframe && frame == s.endframe) {
            if (s.byescape) {
                state.keys[SDLK_ESCAPE] = 1;
                state.queue.push_back(keydown(SDLK_ESCAPE));
            } else {
                state.queue.push_back(closerequest());
            }
        }
        // Far past any match: a script that never ends is cut short.
        if (frame > 100000)
            state.queue.push_back(closerequest());
        bool now = ball_angle > 90 && ball_angle < 270;
        if (now && !towards) {
            draws = nextdraw(draws);
            offset = int(draws >> 16) % (2 * s.spread + 1) - s.spread;
        }
        towards = now;
        int aim = std::clamp(int(ball_y) + offset, 0, 479);
        if (s.keysonly) {
            // Held keys, as a player's would be: down while the paddle is
            // above the aim, up while below, neither once near it.
            state.keys[SDLK_DOWN] = playery < aim - 6;
            state.keys[SDLK_UP] = playery > aim + 6;
        } else {
            state.queue.push_back(motion(100, aim));
        }
        if (frame % 97 == 0)
            state.queue.push_back(other(SDL_ACTIVEEVENT));
        if (frame % 211 == 0) {
            state.queue.push_back(keydown(SDLK_a));
            state.queue.push_back(keyup(SDLK_a));
        }
    };
}
