// One step of ball motion and the heading's single fold.
#include <cmath>

#include "game/ball.h"
#include "game/game.h"
#include "game/trig.h"
#include "support.h"

namespace {

const double deg = 0.01745329238474369; // pi / 180 in single precision

using Ball = GameTest;

TEST_F(Ball, DegreeFactorIsTheSinglePrecisionQuotient)
{
    EXPECT_EQ(double(DEG), deg);
    EXPECT_NE(double(DEG), 0.017453292519943295);
}

TEST_F(Ball, FirstStepFromTheServe)
{
    playery = 240; // far from anything: no collision
    moveball();
    EXPECT_EQ(ball_x, cr_cos(200 * deg) * 4 + 320);
    EXPECT_EQ(ball_y, cr_sin(200 * deg) * 4 + 240);
    EXPECT_NEAR(ball_x, 316.2412, 5e-5);
    EXPECT_NEAR(ball_y, 238.6319, 5e-5);
    EXPECT_EQ(ball_angle, 200.0);
}

TEST_F(Ball, CorrectAngleFoldsOnce)
{
    struct {
        double in, out;
    } rows[] = {{360, 0},   {0, 0},     {359.5, 359.5},   {-0.5, 359.5},
                {720, 360}, {-361, -1}, {577.25, 217.25}, {-217.25, 142.75}};
    for (auto r : rows)
        EXPECT_EQ(correctangle(r.in), r.out) << r.in;
    EXPECT_TRUE(std::isnan(correctangle(NAN)));
}

TEST_F(Ball, UnfoldedHeadingIsUsedForTheStepThenStoredFolded)
{
    ball_x = 300;
    ball_angle = -20;
    moveball();
    EXPECT_EQ(ball_x, cr_cos(-20 * deg) * 4 + 300);
    EXPECT_EQ(ball_y, cr_sin(-20 * deg) * 4 + 240);
    EXPECT_EQ(ball_angle, 340.0);
}

TEST_F(Ball, WallBounceOfHeadingZeroMovesAlong360)
{
    ball_x = 300;
    ball_y = 5;
    ball_angle = 0;
    moveball();
    EXPECT_EQ(ball_x, cr_cos(360 * deg) * 4 + 300);
    EXPECT_EQ(ball_y, cr_sin(360 * deg) * 4 + 5);
    EXPECT_NE(ball_y, 5.0); // 360 * DEG falls just short of a full turn
    EXPECT_EQ(ball_angle, 0.0);
}

TEST_F(Ball, AGoalServesAgainAndTheSameCallStepsFromTheServe)
{
    ball_x = -15.5;
    ball_y = 100;
    playery = 400;
    ball_speed = 7;
    ball_angle = 190;
    moveball();
    EXPECT_EQ(pointse, 1);
    EXPECT_EQ(ball_x, cr_cos(200 * deg) * 4 + 320);
    EXPECT_EQ(ball_y, cr_sin(200 * deg) * 4 + 240);
    EXPECT_EQ(ball_speed, 4.0);
    EXPECT_EQ(doubles::state.delays, std::vector<Uint32>{500});
}

} // namespace
