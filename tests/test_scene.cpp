// Paddles, ball outline and score pips, vertex for vertex.
#include <GL/gl.h>

#include "game/game.h"
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
    ASSERT_EQ(state.log.size(), 13u);
    EXPECT_EQ(state.log.front(), (Call{Fn::glBegin, {U(GL_LINE_STRIP)}}));
    EXPECT_EQ(state.log.back(), end);
    // Worked out once with correctly rounded sine and cosine.
    EXPECT_EQ(calls(Fn::glVertex3f),
              (std::vector<Call>{vertex(325, 240), vertex(324.045074f, 242.938919f),
                                 vertex(321.545074f, 244.75528f), vertex(318.454926f, 244.75528f),
                                 vertex(315.954926f, 242.938919f), vertex(315, 240),
                                 vertex(315.954926f, 237.061081f), vertex(318.454926f, 235.24472f),
                                 vertex(321.545074f, 235.24472f), vertex(324.045074f, 237.061081f),
                                 vertex(325, 240)}));
    // Near the corner, most vertices' last bits tell this factor from the
    // double nearest to pi / 180 (the 4th and the 6th to 11th); at
    // (320, 240) the two give the same floats.
    reset();
    ball_x = 2;
    ball_y = 3;
    drawball();
    EXPECT_EQ(calls(Fn::glVertex3f),
              (std::vector<Call>{
                  vertex(7, 3), vertex(6.04508495f, 5.93892622f), vertex(3.54508495f, 7.7552824f),
                  vertex(0.454915106f, 7.7552824f), vertex(-2.04508495f, 5.93892622f),
                  vertex(-3, 3.00000024f), vertex(-2.04508495f, 0.0610738583f),
                  vertex(0.454914868f, -1.75528252f), vertex(3.54508471f, -1.75528264f),
                  vertex(6.04508495f, 0.0610735603f), vertex(7, 2.99999976f)}));
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
