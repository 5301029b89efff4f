// Turns events into game state and moves both paddles.
#include "game/input.h"

#include "game/game.h"

void checkevents()
{
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_MOUSEMOTION) {
            mouse_x = event.motion.x;
            mouse_y = event.motion.y;
        }
        // The key state, not the event's own key, decides: any key pressed
        // while Escape is down ends the run.
        if (event.type == SDL_KEYDOWN) {
            Uint8 *keys = SDL_GetKeyState(nullptr);
            if (keys[SDLK_ESCAPE])
                quit = true;
        }
        if (event.type == SDL_QUIT)
            quit = true;
    }
}

void moveplayerbar() { playery = mouse_y; }

void calccpu()
{
    // The second test sees the first one's result: a ball level with the
    // centre or up to one step above it leaves the paddle where it was.
    if (enemyy >= ball_y)
        enemyy = enemyy - cpuspeed;
    if (ball_y >= enemyy)
        enemyy = enemyy + cpuspeed;
}
