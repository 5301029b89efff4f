// Declarations that the browser's SDL headers lack, though its SDL library
// implements them. The build includes this before each of the game's
// sources.
#ifndef SPARKRALLY_PLATFORM_WEB_KEYSTATE_H
#define SPARKRALLY_PLATFORM_WEB_KEYSTATE_H

#include <SDL.h>

extern "C" Uint8 *SDL_GetKeyState(int *numkeys);

#endif
