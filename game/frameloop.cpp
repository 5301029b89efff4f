// The run: set-up, the fixed-order frame loop, shut-down.
#include <GL/gl.h>

#include "effects/pool.h"
#include "effects/random.h"
#include "game/ball.h"
#include "game/frameloop.h"
#include "game/game.h"
#include "game/input.h"
#include "graphics/scene.h"
#include "graphics/video.h"

void playframe()
{
    glClear(GL_COLOR_BUFFER_BIT);
    checkevents();
    moveplayerbar();
    calccpu();
    drawbars(); // paddles before the ball moves, so they lead the ball
    moveball();
    drawball();
    drawpoints();
    checkifwin();
    updateparticles(); // sparks last, over everything else
}

// One frame, ending with the swap and the 16 ms sleep.
static void runframe()
{
    playframe();
    SDL_GL_SwapBuffers();
    SDL_Delay(16);
}

int SDL_main(int, char *[])
{
    // Without a window there is nothing to play and no way to end the run
    // from inside it, so a failed set-up ends here, reported by status 1.
    if (initgraphics() != 0) {
        SDL_Quit();
        return 1;
    }
    random(12545);
    resetgame();
    // quit is tested only here, so the frame that sets it runs to its end.
    while (!quit)
        runframe();
    SDL_Quit();
    return 0;
}
