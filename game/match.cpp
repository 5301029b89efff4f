// Serving and the end of the match.
#include "game/game.h"

void resetgame()
{
    playery = 320.0;
    enemyy = 320.0;
    ball_x = 320.0;
    ball_y = 240.0;
    ball_r = 5.0;
    ball_angle = 200.0;
    ball_speed = 4.0;
    SDL_Delay(500);
}

void checkifwin()
{
    // Both tests run every frame; at most one point is scored per frame,
    // so at most one of them holds.
    if (pointsp > 4) {
        SDL_Delay(2000);
        quit = true;
    }
    if (pointse > 4) {
        SDL_Delay(2000);
        quit = true;
    }
}
