// Gamepads through SDL 1.2's joystick calls, by the standard layout's
// numbers: on the desktop sdl12-compat presents every pad SDL knows as a
// game controller (SDL12COMPAT_USE_GAME_CONTROLLERS), so Start and Back
// have the same numbers on every pad; the browser gives its standard
// mapping's.
#include "replay/pad.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef SPARKRALLY_BROWSER_KEYS
constexpr int back_button = 8, start_button = 9, up_button = 12, down_button = 13;
#else
constexpr int back_button = 4, start_button = 6, up_button = 11, down_button = 12;
#endif
constexpr int stick_axis = 1;
constexpr int most_pads = 8;

struct Pads {
    bool started = false;
    SDL_Joystick *open[most_pads] = {};
    bool start = false, back = false; // held at the previous reading
} pads;

void start()
{
    pads.started = true;
    // sdl12-compat reads this from the process's environment as its
    // joystick support starts.
#ifdef _WIN32
    SetEnvironmentVariableA("SDL12COMPAT_USE_GAME_CONTROLLERS", "1");
#else
    setenv("SDL12COMPAT_USE_GAME_CONTROLLERS", "1", 1);
#endif
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        fprintf(stderr, "sparkrally: no gamepads (%s); keys and the mouse still play\n",
                SDL_GetError());
}

} // namespace

namespace pad {

Reading read()
{
    if (!pads.started)
        start();
    SDL_JoystickUpdate();
    Reading r;
    bool start = false, back = false;
    const int listed = SDL_NumJoysticks();
    for (int i = 0; i < most_pads && i < listed; i++) {
        SDL_Joystick *&j = pads.open[i];
        if (!j)
            j = SDL_JoystickOpen(i);
        if (!j)
            continue;
        r.up = r.up || SDL_JoystickGetButton(j, up_button);
        r.down = r.down || SDL_JoystickGetButton(j, down_button);
        start = start || SDL_JoystickGetButton(j, start_button);
        back = back || SDL_JoystickGetButton(j, back_button);
        const int stick = SDL_JoystickGetAxis(j, stick_axis);
        if (abs(stick) > abs(r.stick))
            r.stick = stick;
    }
    r.start = start && !pads.start;
    r.back = back && !pads.back;
    pads.start = start;
    pads.back = back;
    return r;
}

} // namespace pad
