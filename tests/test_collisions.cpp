// The collision step: bounds, bounces, speed, goals and bursts.
#include "effects/particle.h"
#include "effects/random.h"
#include "game/collisions.h"
#include "game/game.h"
#include "support.h"

namespace {

struct Spark {
    double x, y, angle, speed;
    int ltime, red, green, blue;
};

void expectspark(int slot, const Spark &s)
{
    const Particle *p = obj_particle[slot];
    ASSERT_NE(p, nullptr) << "slot " << slot;
    EXPECT_EQ(p->x, s.x) << "slot " << slot;
    EXPECT_EQ(p->y, s.y) << "slot " << slot;
    EXPECT_EQ(p->angle, s.angle) << "slot " << slot;
    EXPECT_EQ(p->speed, s.speed) << "slot " << slot;
    EXPECT_EQ(p->ltime, s.ltime) << "slot " << slot;
    EXPECT_EQ(p->red, s.red) << "slot " << slot;
    EXPECT_EQ(p->green, s.green) << "slot " << slot;
    EXPECT_EQ(p->blue, s.blue) << "slot " << slot;
    EXPECT_EQ(p->fall, 0.0);
    EXPECT_EQ(p->gravity, 0.0);
}

// The generator's next draw once a burst has taken five draws a spark from
// the seed 12545, or six: the 2506th and the 3007th draws after the seeding.
const uint32_t after_paddle_burst = 2719090854u;
const uint32_t after_edge_burst = 3174376129u;

class Collisions : public GameTest
{
  protected:
    void SetUp() override
    {
        GameTest::SetUp();
        random(12545);
        playery = enemyy = 240;
    }
};

TEST_F(Collisions, PaddleLinesHoldAtTheirBoundsInclusive)
{
    playery = enemyy = 1000; // misses: only the speed step shows the test held
    struct {
        double x, speed;
    } rows[] = {{0, 4.2}, {0.001, 4}, {640, 4.2}, {639.999, 4}, {320, 4}};
    for (auto r : rows) {
        ball_x = r.x;
        ball_speed = 4;
        checkcollisions();
        EXPECT_EQ(ball_speed, r.speed) << "x " << r.x;
        EXPECT_EQ(ball_angle, 200.0);
    }
    EXPECT_EQ(livesparks(), 0);
}

TEST_F(Collisions, PaddleSpanIsInclusiveAndTurnsUpTo37AndAHalfDegrees)
{
    struct {
        double y, angle;
        int sparks;
    } rows[] = {{215, -57.5, 501}, {265, 17.5, 501}, {214.999, 200, 0}, {265.001, 200, 0}};
    for (auto r : rows) {
        freshgame();
        playery = 240;
        ball_x = 0;
        ball_y = r.y;
        checkcollisions();
        EXPECT_EQ(ball_angle, r.angle) << "y " << r.y;
        EXPECT_EQ(livesparks(), r.sparks) << "y " << r.y;
        EXPECT_EQ(ball_x, r.sparks ? 4.0 : 0.0);
    }
}

TEST_F(Collisions, ServeMeetingThePaddleCentreLeavesAlongMinusTwenty)
{
    ball_x = -2;
    ball_y = 240;
    checkcollisions();
    EXPECT_EQ(ball_angle, -20.0);
    EXPECT_EQ(ball_speed, 4.2);
    EXPECT_EQ(ball_x, 2.0);
}

TEST_F(Collisions, ComputerPaddleTurnsTheSameWayWithoutMirroring)
{
    ball_x = 641;
    ball_y = 250;
    ball_angle = 0;
    checkcollisions();
    EXPECT_EQ(ball_angle, 195.0);
    EXPECT_EQ(ball_x, 637.0);
    EXPECT_EQ(ball_speed, 4.2);
}

TEST_F(Collisions, FirstLeftPaddleBurstGivesTheKnownSparks)
{
    ball_x = -7.7; // pushed out to -3.7, which truncates to -3
    ball_y = 240.9;
    checkcollisions();
    expectspark(0, {-3, 240, -17, 189, 86, 0, 22, 194});
    expectspark(1, {-3, 240, 0, 116, 113, 0, 35, 177});
    EXPECT_EQ(livesparks(), 501);
    EXPECT_EQ(particlec, 501);
    EXPECT_EQ(random(0), after_paddle_burst);
}

TEST_F(Collisions, RightPaddleBurstIsGreenAndFliesLeft)
{
    ball_x = 641;
    ball_y = 240;
    checkcollisions();
    // The same five draws as above, read for the other side.
    expectspark(0, {637, 240, -197, 189, 86, 22, 194, 0});
    EXPECT_EQ(random(0), after_paddle_burst);
    for (int i = 0; i < 501; i++) {
        ASSERT_NE(obj_particle[i], nullptr) << "slot " << i;
        EXPECT_LE(obj_particle[i]->angle, -90);
        EXPECT_GE(obj_particle[i]->angle, -269);
        EXPECT_LT(obj_particle[i]->red, 100);
    }
}

TEST_F(Collisions, EdgeBurstsArePaleAndTakeSixDraws)
{
    ball_x = 320.5;
    ball_y = 5;
    checkcollisions();
    EXPECT_EQ(ball_angle, 160.0);
    expectspark(0, {320, 5, 18, 136, 137, 244, 177, 194});
    EXPECT_EQ(random(0), after_edge_burst);

    freshgame();
    random(12545);
    ball_x = 320.5;
    ball_y = 475;
    ball_angle = 20;
    checkcollisions();
    EXPECT_EQ(ball_angle, 340.0);
    expectspark(0, {320, 475, -162, 136, 137, 244, 177, 194});
    for (int i = 0; i < 501; i++) {
        const Particle *p = obj_particle[i];
        ASSERT_NE(p, nullptr) << "slot " << i;
        EXPECT_LE(p->angle, 0);
        EXPECT_GE(p->angle, -179);
        EXPECT_GE(p->red, 155);
        EXPECT_LE(p->red, 254);
        EXPECT_GE(p->ltime, 50);
        EXPECT_LE(p->ltime, 149);
    }
}

TEST_F(Collisions, TopAndBottomEdgesBounceWhereTheBallTouchesThem)
{
    struct {
        double y;
        bool bounce;
    } rows[] = {{5, true}, {5.001, false}, {475, true}, {474.999, false}, {-50, true}, {485, true}};
    for (auto r : rows) {
        freshgame();
        ball_y = r.y;
        checkcollisions();
        EXPECT_EQ(ball_angle, r.bounce ? 160.0 : 200.0) << "y " << r.y;
        EXPECT_EQ(livesparks(), r.bounce ? 501 : 0) << "y " << r.y;
    }
}

TEST_F(Collisions, CornerBounceTakesBothTurnsAndTwoBursts)
{
    ball_x = 0;
    ball_y = 5;
    playery = 20;
    checkcollisions();
    EXPECT_EQ(ball_angle, 402.5); // the paddle's -42.5, then the edge's turn
    EXPECT_EQ(livesparks(), 1002);
    ASSERT_NE(obj_particle[0], nullptr);
    EXPECT_EQ(obj_particle[0]->blue, 194); // paddle burst first
    ASSERT_NE(obj_particle[501], nullptr);
    EXPECT_GE(obj_particle[501]->red, 155); // then the edge's
}

TEST_F(Collisions, SpeedIsCappedBeforeTheMove)
{
    ball_x = 0;
    ball_speed = 9.9;
    checkcollisions();
    EXPECT_EQ(ball_speed, 10.0);
    ball_x = 0;
    checkcollisions();
    EXPECT_EQ(ball_speed, 10.0);
}

TEST_F(Collisions, MissedBallSpeedsUpEachFrameUntilItsGoalLine)
{
    playery = 1000;
    ball_x = 0;
    ball_angle = 180;
    for (double x : {0.0, -5.0, -10.0, -15.0}) {
        ball_x = x;
        checkcollisions();
        EXPECT_EQ(pointse, 0);
    }
    EXPECT_DOUBLE_EQ(ball_speed, 4.8);
    ball_x = -15.001;
    checkcollisions();
    EXPECT_EQ(pointse, 1);
    EXPECT_EQ(pointsp, 0);
    EXPECT_EQ(ball_x, 320.0);
    EXPECT_EQ(ball_speed, 4.0);
    EXPECT_EQ(ball_angle, 200.0);
    EXPECT_EQ(playery, 320.0);
    EXPECT_EQ(doubles::state.delays, std::vector<Uint32>{500});

    enemyy = 1000;
    ball_x = 655;
    checkcollisions();
    EXPECT_EQ(pointsp, 0);
    ball_x = 655.001;
    checkcollisions();
    EXPECT_EQ(pointsp, 1);
    EXPECT_EQ(ball_angle, 200.0); // every serve heads for the player
}

TEST_F(Collisions, LateHitBouncesBurstsAndStillScores)
{
    ball_x = -19.5;
    ball_y = 240;
    checkcollisions();
    EXPECT_EQ(pointse, 1);
    EXPECT_EQ(livesparks(), 501);
    ASSERT_NE(obj_particle[0], nullptr);
    EXPECT_EQ(obj_particle[0]->x, -15.0); // burst at the pushed-out position
    EXPECT_EQ(ball_x, 320.0);
    EXPECT_EQ(ball_angle, 200.0);
}

} // namespace
