// Sparks and the ring of 5000 slots that owns them.
#include <GL/gl.h>

#include "effects/particle.h"
#include "effects/pool.h"
#include "game/game.h"
#include "support.h"

using namespace doubles;

namespace {

using Sparks = GameTest;

void emit(int ltime, int x = 0, int y = 0)
{
    emitparticle(x, y, 0, ltime, 100, 255, 255, 255, 0.0);
}

TEST_F(Sparks, ConstructorTakesLtimeBeforeSpeedAndStartsWithoutFall)
{
    Particle p(1.5, 2.5, -269, 7, 33, 1, 2, 3, 0.25);
    EXPECT_EQ(p.x, 1.5);
    EXPECT_EQ(p.y, 2.5);
    EXPECT_EQ(p.angle, -269.0);
    EXPECT_EQ(p.ltime, 7);
    EXPECT_EQ(p.get_ltime(), 7);
    EXPECT_EQ(p.speed, 33.0);
    EXPECT_EQ(p.red, 1);
    EXPECT_EQ(p.green, 2);
    EXPECT_EQ(p.blue, 3);
    EXPECT_EQ(p.fall, 0.0);
    EXPECT_EQ(p.gravity, 0.25);
}

TEST_F(Sparks, UpdateStepsAlongTheHeadingInHundredthsAndFallsFromTheSecondStep)
{
    // Worked out once with correctly rounded sine and cosine; fall adds 0,
    // then 0.5, then 1 to y.
    const double x[] = {11.258005855563068, 12.516011711126136, 13.774017566689205};
    const double y[] = {20.816958546909838, 22.133917093819676, 23.950875640729514};
    Particle p(10, 20, 33, 5, 150, 0, 0, 0, 0.5);
    for (int k = 0; k < 3; k++) {
        p.update();
        EXPECT_EQ(p.x, x[k]) << "step " << k;
        EXPECT_EQ(p.y, y[k]) << "step " << k;
        EXPECT_EQ(p.fall, 0.5 * (k + 1));
        EXPECT_EQ(p.get_ltime(), 4 - k);
    }
    Particle down(0, 0, 90, 1, 100, 0, 0, 0, 0), up(0, 0, -90, 1, 100, 0, 0, 0, 0);
    down.update();
    up.update();
    EXPECT_NEAR(down.y, 1, 1e-6);
    EXPECT_NEAR(up.y, -1, 1e-6);
}

TEST_F(Sparks, DrawIsOneColouredOnePixelLine)
{
    Particle p(10.25, 20.5, 0, 1, 0, 0, 25, 200, 0);
    p.draw();
    EXPECT_EQ(
        state.log,
        (std::vector<Call>{{Fn::glColor3f, {F(0.0f), F(float(25 / 255.0)), F(float(200 / 255.0))}},
                           {Fn::glBegin, {U(GL_LINES)}},
                           vertex(10.25f, 20.5f),
                           vertex(11.25f, 20.5f),
                           {Fn::glEnd, {}}}));
}

TEST_F(Sparks, ASparkIsDrawnOneStepAwayEachFrameAndReleasedInItsLastWalk)
{
    emitparticle(10, 20, 0, 3, 100, 255, 0, 0, 0.0);
    for (int frame = 0; frame < 3; frame++) {
        reset();
        updateparticles();
        std::vector<Call> v = calls(Fn::glVertex3f);
        ASSERT_EQ(v.size(), 2u);
        EXPECT_EQ(v[0], vertex(11 + frame, 20));
        EXPECT_EQ(v[1], vertex(12 + frame, 20));
    }
    EXPECT_EQ(obj_particle[0], nullptr);
    reset();
    updateparticles();
    EXPECT_TRUE(state.log.empty());
}

TEST_F(Sparks, LivesOfOneZeroOrLessAreDrawnOnceThenReleased)
{
    emit(1);
    emit(0);
    emit(-1);
    updateparticles();
    EXPECT_EQ(state.count(Fn::glBegin), 3);
    EXPECT_EQ(livesparks(), 0);
    updateparticles();
    EXPECT_EQ(state.count(Fn::glBegin), 3);
}

TEST_F(Sparks, RingFillsSlotsInStrictCyclicOrder)
{
    emit(10);
    EXPECT_NE(obj_particle[0], nullptr);
    EXPECT_EQ(particlec, 1);
    for (int i = 1; i < 5000; i++)
        emit(10, i);
    ASSERT_NE(obj_particle[4999], nullptr);
    EXPECT_EQ(obj_particle[4999]->x, 4999.0);
    EXPECT_EQ(particlec, 0);
    emit(10, 7777);
    ASSERT_NE(obj_particle[0], nullptr);
    EXPECT_EQ(obj_particle[0]->x, 7777.0);
    EXPECT_EQ(particlec, 1);
    EXPECT_EQ(livesparks(), 5000);
}

TEST_F(Sparks, EmptySlotsAreFilledInTurnNotSearchedFor)
{
    particlec = 4800;
    for (int i = 0; i < 501; i++)
        emit(50);
    EXPECT_EQ(particlec, 301);
    EXPECT_EQ(livesparks(), 501);
    for (int i = 0; i < 5000; i++)
        EXPECT_EQ(obj_particle[i] != nullptr, i >= 4800 || i < 301) << "slot " << i;
}

TEST_F(Sparks, TenBurstsFillTheRingAndTakeTheOldestSlots)
{
    for (int burst = 0; burst < 10; burst++)
        for (int i = 0; i < 501; i++)
            emit(100, burst);
    EXPECT_EQ(livesparks(), 5000);
    EXPECT_EQ(particlec, 10);
    for (int i = 0; i < 10; i++) {
        ASSERT_NE(obj_particle[i], nullptr) << "slot " << i;
        EXPECT_EQ(obj_particle[i]->x, 9.0) << "slot " << i;
    }
    ASSERT_NE(obj_particle[10], nullptr);
    EXPECT_EQ(obj_particle[10]->x, 0.0);
}

TEST_F(Sparks, WalkDrawsInSlotOrderNotEmissionOrder)
{
    particlec = 4999;
    emit(5, 1); // slot 4999
    emit(5, 2); // slot 0
    updateparticles();
    std::vector<Call> v = calls(Fn::glVertex3f);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0], vertex(3, 0));
    EXPECT_EQ(v[2], vertex(2, 0));
}

TEST_F(Sparks, EmptyRingDrawsNothing)
{
    updateparticles();
    EXPECT_TRUE(state.log.empty());
    EXPECT_EQ(particlec, 0);
}

TEST_F(Sparks, EveryChannelValueIsDividedBy255InDoublePrecision)
{
    for (int v : {-300, -1, 0, 1, 25, 128, 200, 254, 255, 256, 1000}) {
        reset();
        Particle(0, 0, 0, 1, 0, v, 255 - v, v / 2, 0).draw();
        EXPECT_EQ(state.log.front(), (Call{Fn::glColor3f,
                                           {F(float(v / 255.0)), F(float((255 - v) / 255.0)),
                                            F(float(v / 2 / 255.0))}}))
            << v;
    }
}

} // namespace
