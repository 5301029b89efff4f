#include "platform/null/answers.h"

#include <cstring>

namespace nullplatform {

static const char driver[] = "null";
static char noerror[] = "";
static SDL_Surface screen;

char *videodrivername(char *buf, int size)
{
    if (buf == nullptr || size <= 0)
        return nullptr;
    strncpy(buf, driver, size_t(size) - 1);
    buf[size - 1] = '\0';
    return buf;
}

SDL_Surface *setvideomode(int width, int height, Uint32 flags)
{
    screen.w = width;
    screen.h = height;
    screen.flags = flags;
    return &screen;
}

char *error() { return noerror; }

} // namespace nullplatform
