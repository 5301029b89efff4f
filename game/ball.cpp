// Moves the ball one step a frame.
#include "game/ball.h"

#include <cmath>

#include "game/collisions.h"
#include "game/game.h"

void moveball()
{
    checkcollisions();
    // The heading is used as the collision step left it, before folding.
    ball_x = std::cos(ball_angle * DEG) * ball_speed + ball_x;
    ball_y = std::sin(ball_angle * DEG) * ball_speed + ball_y;
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
