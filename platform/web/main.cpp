// Process entry in the browser: Emscripten runs main once the page has
// loaded the game, and main hands over to the game's entry.
#include "game/game.h"

int main(int argc, char *argv[]) { return SDL_main(argc, argv); }
