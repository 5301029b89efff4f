// The desktop game as a player runs it, with each buffer swap's time on
// standard output ("swap SECONDS", monotonic clock), one line a frame: the
// tempo benchmark counts frames over seconds of play from them, as it counts
// the page's at its one upload a frame. The times come from the replay
// layer's swap hook, so the game and its seam are built unchanged.
#include <cstdio>
#include <ctime>

#include "game/game.h"
#include "replay/layer.h"

static void printswap()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    printf("swap %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
    fflush(stdout);
}

int main(int argc, char *argv[])
{
    layer::onswap(printswap);
    return SDL_main(argc, argv);
}
