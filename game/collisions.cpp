// Rules of a rally: bounces, speed-up, scoring and the sparks of each bounce.
#include "game/collisions.h"

#include <cstdint>

#include "effects/pool.h"
#include "effects/random.h"
#include "game/game.h"

static const int burst_sparks = 501;

// Draws a spark's values in their fixed order: d[0] is d1, drawn first.
static void drawvalues(uint32_t *d, int n)
{
    for (int k = 0; k < n; k++)
        d[k] = random(0);
}

// A paddle burst draws five values per spark: blue sparks flying right from
// the player's paddle, green sparks flying left from the computer's.
static void paddleburst(bool right)
{
    for (int i = 0; i < burst_sparks; i++) {
        uint32_t d[5];
        drawvalues(d, 5);
        int speed = int(d[2] % 200u);
        int ltime = int(d[3] % 100u + 50u);
        if (right)
            emitparticle(int(ball_x), int(ball_y), int(uint32_t(-90) - d[4] % 180u), ltime, speed,
                         int(d[1] % 100u), int(d[0] % 100u + 155u), 0, 0.0);
        else
            emitparticle(int(ball_x), int(ball_y), int(90u - d[4] % 180u), ltime, speed, 0,
                         int(d[1] % 50u), int(d[0] % 100u + 155u), 0.0);
    }
}

// An edge burst draws six values per spark: pale sparks flying down (or
// level) from the top edge, up (or level) from the bottom edge.
static void wallburst(bool bottom)
{
    for (int i = 0; i < burst_sparks; i++) {
        uint32_t d[6];
        drawvalues(d, 6);
        int angle = bottom ? int(0u - d[5] % 180u) : int(180u - d[5] % 180u);
        emitparticle(int(ball_x), int(ball_y), angle, int(d[4] % 100u + 50u), int(d[3] % 200u),
                     int(d[2] % 100u + 155u), int(d[1] % 100u + 155u), int(d[0] % 100u + 155u),
                     0.0);
    }
}

// The ball is hit when its vertical extent touches or overlaps the paddle's.
static bool paddlehit(double centre)
{
    return ball_y >= centre - barsize - ball_r && ball_y <= centre + barsize + ball_r;
}

// Turns the ball as a mirror about the vertical, plus up to 30 degrees per
// half-paddle by where it meets the paddle. Same formula on both sides.
static void paddlebounce(double centre)
{
    ball_angle = (180 - ball_angle) + ((ball_y - centre) / barsize) * 30;
}

void checkcollisions()
{
    if (ball_x <= 5 - ball_r) {
        if (paddlehit(playery)) {
            paddlebounce(playery);
            ball_x = ball_x + 4;
            paddleburst(false);
        }
        // Every frame at or beyond the line speeds the ball up, hit or not.
        ball_speed = ball_speed + 0.2;
        // Tested after the push-out, so a late hit can still score.
        if (ball_x < -ball_r - 10) {
            pointse++;
            resetgame();
        }
    } else if (ball_x >= ball_r + 635) {
        if (paddlehit(enemyy)) {
            paddlebounce(enemyy);
            ball_x = ball_x - 4;
            paddleburst(true);
        }
        ball_speed = ball_speed + 0.2;
        if (ball_x > ball_r + 640 + 10) {
            pointsp++;
            resetgame();
        }
    }
    // Capped before the move, so the ball never steps more than 10 pixels.
    if (ball_speed > 10)
        ball_speed = 10;
    if (ball_y <= ball_r) {
        ball_angle = 360 - ball_angle;
        wallburst(false);
    }
    // The bottom edge mirrors the top: the ball turns as its lower edge
    // reaches y = 480, while it is still in sight.
    if (ball_y >= 480 - ball_r) {
        ball_angle = 360 - ball_angle;
        wallburst(true);
    }
}
