// The null platform's answers to the calls that open a window, by name, so
// that whatever else plays with nothing shown (--verify) answers the same.
#ifndef SPARKRALLY_PLATFORM_NULL_ANSWERS_H
#define SPARKRALLY_PLATFORM_NULL_ANSWERS_H

#include <SDL.h>

namespace nullplatform {

// The driver's name, "null": chosen at link time, never as a fallback, so
// the game does not refuse it as it refuses SDL's own drivers that show
// nothing. Null when buf has no room.
char *videodrivername(char *buf, int size);
// A surface of the size asked for, never drawn.
SDL_Surface *setvideomode(int width, int height, Uint32 flags);
// Nothing fails: SDL's text when no error is set.
char *error();

} // namespace nullplatform

#endif
