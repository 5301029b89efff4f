// Moves the ball one step a frame.
#include "game/ball.h"

#include "game/collisions.h"
#include "game/game.h"
#include "game/trig.h"

void moveball()
{
    checkcollisions();
    // The heading is used as the collision step left it, before folding.
    ball_x = cr_cos(ball_angle * DEG) * ball_speed + ball_x;
    ball_y = cr_sin(ball_angle * DEG) * ball_speed + ball_y;
    ball_angle = correctangle(ball_angle);
}

double correctangle(double a)
{
    if (a >= 360)
        return a - 360;
    if (a < 0)
        return a + 360;
    return a;
}
