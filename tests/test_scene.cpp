// Paddles, ball outline and score pips, vertex for vertex.
#include <GL/gl.h>

#include <cmath>

#include "game/game.h"
#include "game/trig.h"
#include "graphics/scene.h"
#include "support.h"

using namespace doubles;

namespace {

const Call begin_quads{Fn::glBegin, {U(GL_QUADS)}};
const Call end{Fn::glEnd, {}};

std::vector<Call> quadcalls(float x0, float y0, float x1, float y1)
{
    return {begin_quads, vertex(x0, y0), vertex(x0, y1), vertex(x1, y1), vertex(x1, y0), end};
}

std::vector<Call> join(std::vector<std::vector<Call>> parts)
{
    std::vector<Call> out;
    for (auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

using Scene = GameTest;

TEST_F(Scene, PaddlesAreWhiteQuadsAtTheirCentresTruncatedTowardZero)
{
    playery = 240.0;
    enemyy = 100.9;
    drawbars();
    EXPECT_EQ(state.log, join({{{Fn::glColor3f, {F(1), F(1), F(1)}}},
                               quadcalls(2, 220, 5, 260),
                               quadcalls(638, 80, 635, 120)}));
}

TEST_F(Scene, NegativeCentresTruncateUpwardToo)
{
    playery = -3.7;
    enemyy = 65535.0;
    drawbars();
    EXPECT_EQ(std::vector<Call>(state.log.begin() + 1, state.log.end()),
              join({quadcalls(2, -23, 5, 17), quadcalls(638, 65515, 635, 65555)}));
}

TEST_F(Scene, BallIsAnElevenPointStripClosedOnItself)
{
    ball_x = 320;
    ball_y = 240;
    drawball();
    std::vector<Call> v = calls(Fn::glVertex3f);
    ASSERT_EQ(state.log.size(), 13u);
    EXPECT_EQ(state.log.front(), (Call{Fn::glBegin, {U(GL_LINE_STRIP)}}));
    EXPECT_EQ(state.log.back(), end);
    ASSERT_EQ(v.size(), 11u);
    const double deg = 0.01745329238474369; // pi / 180 in single precision
    for (int k = 0; k < 11; k++) {
        double t = 36 * k * deg;
        EXPECT_EQ(v[k], vertex(float(320 + 5 * cr_cos(t)), float(240 + 5 * cr_sin(t))))
            << "vertex " << k;
    }
    // Near the corner, most vertices' last bits tell this factor from the
    // double nearest to pi / 180; at (320, 240) the two give the same floats.
    reset();
    ball_x = 2;
    ball_y = 3;
    drawball();
    std::vector<Call> corner = calls(Fn::glVertex3f);
    ASSERT_EQ(corner.size(), 11u);
    for (int k = 0; k < 11; k++) {
        double t = 36 * k * deg;
        EXPECT_EQ(corner[k], vertex(float(2 + 5 * cr_cos(t)), float(3 + 5 * cr_sin(t))))
            << "corner vertex " << k;
    }
    EXPECT_EQ(v[0], vertex(325, 240));
    EXPECT_EQ(v[5], vertex(315, 240));
    EXPECT_EQ(v[10], v[0]);
    EXPECT_EQ(v[2].args[1], v[3].args[1]); // the flat lower edge
    EXPECT_NEAR(324.045, 320 + 5 * cr_cos(36 * deg), 1e-3);
    EXPECT_NEAR(242.939, 240 + 5 * cr_sin(36 * deg), 1e-3);
    EXPECT_NEAR(244.755, 240 + 5 * cr_sin(72 * deg), 1e-3);
}

TEST_F(Scene, PipsGrowRightFromTenAndLeftFromTheRowEndingAt628)
{
    pointsp = 3;
    pointse = 3;
    drawpoints();
    EXPECT_EQ(state.log, join({quadcalls(10, 2, 13, 15), quadcalls(15, 2, 18, 15),
                               quadcalls(20, 2, 23, 15), quadcalls(615, 2, 618, 15),
                               quadcalls(620, 2, 623, 15), quadcalls(625, 2, 628, 15)}));

    reset();
    pointsp = 0;
    pointse = 1;
    drawpoints();
    EXPECT_EQ(state.log, quadcalls(625, 2, 628, 15));

    reset();
    pointse = 0;
    drawpoints();
    EXPECT_TRUE(state.log.empty());
}

TEST_F(Scene, FiveRightPipsStillEndAt628)
{
    pointse = 5;
    drawpoints();
    std::vector<Call> v = calls(Fn::glVertex3f);
    ASSERT_EQ(v.size(), 20u);
    EXPECT_EQ(v.front(), vertex(605, 2));
    EXPECT_EQ(v.back(), vertex(628, 2));
}

} // namespace
