// No gamepad is ever plugged in: SDL's joystick calls for the programs that
// link no real SDL (the null platform, and the tests' doubles of SDL), which
// the replay layer's gamepad reading calls.
#include <SDL.h>

int SDL_InitSubSystem(Uint32) { return 0; }
int SDL_NumJoysticks(void) { return 0; }
SDL_Joystick *SDL_JoystickOpen(int) { return nullptr; }
void SDL_JoystickUpdate(void) {}
Sint16 SDL_JoystickGetAxis(SDL_Joystick *, int) { return 0; }
Uint8 SDL_JoystickGetButton(SDL_Joystick *, int) { return 0; }
