// The desktop game as a player runs it, with each buffer swap's time on
// standard output ("swap SECONDS", monotonic clock), one line a frame: the
// tempo benchmark counts frames over seconds of play from them, as it counts
// the page's at its one upload a frame. The game's own calls reach this
// wrapper through the linker (--wrap), so the game is built unchanged.
#include <SDL.h>

#include <cstdio>
#include <ctime>

extern "C" {
void __real_SDL_GL_SwapBuffers(void);

void __wrap_SDL_GL_SwapBuffers(void)
{
    __real_SDL_GL_SwapBuffers();
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    printf("swap %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
    fflush(stdout);
}
}
