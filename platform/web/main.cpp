// Process entry in the browser: Emscripten runs main once the page has
// loaded the game, and main hands over to the game's entry, with the
// replay layer recording the match or playing the replay the page gave.
#include "game/game.h"
#include "platform/web/replay.h"

int main(int argc, char *argv[])
{
    webreplay_start();
    int status = SDL_main(argc, argv);
    webreplay_end();
    return status;
}
