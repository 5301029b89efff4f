// One step of ball motion and the heading's single fold.
#include <cmath>

#include "game/ball.h"
#include "game/game.h"
#include "support.h"

namespace {

// The serve's first step, about (316.2412, 238.6319), to the last bit:
// worked out once with correctly rounded sine and cosine.
const double serve_x = 316.2412294798636;
const double serve_y = 238.63191952833418;

using Ball = GameTest;

TEST_F(Ball, DegreeFactorIsTheSinglePrecisionQuotient)
{
    EXPECT_EQ(double(DEG), 0.01745329238474369);
}

TEST_F(Ball, FirstStepFromTheServe)
{
    playery = 240; // far from anything: no collision
    moveball();
    EXPECT_EQ(ball_x, serve_x);
    EXPECT_EQ(ball_y, serve_y);
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
    // Along 340 degrees it would end at (303.75877042025587, 238.63191925391467).
    EXPECT_EQ(ball_x, 303.75877048684293);
    EXPECT_EQ(ball_y, 238.631919436861);
    EXPECT_EQ(ball_angle, 340.0);
}

TEST_F(Ball, WallBounceOfHeadingZeroMovesAlong360)
{
    ball_x = 300;
    ball_y = 5;
    ball_angle = 0;
    moveball();
    EXPECT_EQ(ball_x, 304.0);
    EXPECT_EQ(ball_y, 4.9999998053125685); // 360 * DEG falls just short of a full turn
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
    EXPECT_EQ(ball_x, serve_x);
    EXPECT_EQ(ball_y, serve_y);
    EXPECT_EQ(ball_speed, 4.0);
    EXPECT_EQ(doubles::state.delays, std::vector<Uint32>{500});
}

} // namespace
