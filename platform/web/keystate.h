// Declarations that the browser's SDL headers lack, though its SDL library
// implements them. The build includes this before every source.
#ifndef SPARKRALLY_PLATFORM_WEB_KEYSTATE_H
#define SPARKRALLY_PLATFORM_WEB_KEYSTATE_H

#include <SDL.h>

#ifdef __cplusplus
extern "C"
#endif
    Uint8 *
    SDL_GetKeyState(int *numkeys);

#endif
