#include "bot.h"

#include <algorithm>

#include "doubles/recorder.h"
#include "game/game.h"

using namespace doubles;

void playscript(const Script &s)
{
    static Script script;
    static uint32_t draws;
    static int offset;
    static bool towards;
    script = s;
    draws = s.seed;
    offset = 0;
    towards = false;
    state.recording = false;
    state.before_frame = [](int frame) {
        if (script.endframe && frame == script.endframe) {
            if (script.byescape) {
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
            draws = draws * 1664525u + 1013904223u;
            offset = int(draws >> 16) % (2 * script.spread + 1) - script.spread;
        }
        towards = now;
        int aim = std::clamp(int(ball_y) + offset, 0, 479);
        if (script.keysonly) {
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
