// Process entry. SDL 1.2 supplies no entry wrapper on this platform, so
// main forwards to the game's entry itself.
#include "game/game.h"

int main(int argc, char *argv[]) { return SDL_main(argc, argv); }
