// Events into game state, and both paddles' moves.
#include "game/game.h"
#include "game/input.h"
#include "support.h"

using namespace doubles;

namespace {

using Input = GameTest;

TEST_F(Input, MotionRecordsThePointerAndTheLastOfSeveralCounts)
{
    state.queue = {motion(100, 200), motion(7, 300), motion(600, 123)};
    checkevents();
    EXPECT_EQ(mouse_x, 600);
    EXPECT_EQ(mouse_y, 123);
    EXPECT_TRUE(state.queue.empty());
    // Four polls into the same record: three events, then the empty answer.
    EXPECT_EQ(calls(Fn::SDL_PollEvent), std::vector<Call>(4, Call{Fn::SDL_PollEvent, {P(&event)}}));
    moveplayerbar();
    EXPECT_EQ(playery, 123.0);
    EXPECT_FALSE(quit);
}

TEST_F(Input, PointerRowsAreTakenUnsignedAndUnbounded)
{
    for (int y : {0, 479, 480, 65535}) {
        state.queue = {motion(1, y)};
        checkevents();
        moveplayerbar();
        EXPECT_EQ(mouse_y, y);
        EXPECT_EQ(playery, double(y));
    }
}

TEST_F(Input, KeyDownEndsTheRunOnlyWhileEscapeIsDownInTheKeyState)
{
    // Escape's own key-down, but the key state no longer shows it down.
    state.queue = {keydown(SDLK_ESCAPE)};
    checkevents();
    EXPECT_FALSE(quit);
    EXPECT_EQ(calls(Fn::SDL_GetKeyState),
              (std::vector<Call>{Call{Fn::SDL_GetKeyState, {P(nullptr)}}}));

    // Releasing Escape, or any other event, does nothing.
    state.keys[SDLK_ESCAPE] = 1;
    state.queue = {keyup(SDLK_ESCAPE), other(SDL_MOUSEBUTTONDOWN), other(SDL_ACTIVEEVENT),
                   other(SDL_MOUSEBUTTONUP)};
    checkevents();
    EXPECT_FALSE(quit);

    // Any key pressed while Escape is held ends the run.
    state.queue = {keydown(SDLK_a)};
    checkevents();
    EXPECT_TRUE(quit);
}

TEST_F(Input, AnyNonZeroKeyStateCountsAsDown)
{
    state.keys[SDLK_ESCAPE] = 0x80;
    state.queue = {keydown(SDLK_ESCAPE)};
    checkevents();
    EXPECT_TRUE(quit);
}

TEST_F(Input, CloseRequestEndsTheRunAndTheQueueIsStillDrained)
{
    state.queue = {closerequest(), motion(0, 42), other(SDL_KEYUP)};
    checkevents();
    EXPECT_TRUE(quit);
    EXPECT_EQ(mouse_y, 42);
    EXPECT_TRUE(state.queue.empty());
    // Nothing clears quit again.
    checkevents();
    EXPECT_TRUE(quit);
}

TEST_F(Input, ComputerPaddleStepsTowardsTheBall)
{
    struct Row {
        double ball, before, after;
    } rows[] = {
        {320, 320, 320}, {316, 320, 320}, {318, 320, 320}, {315, 320, 316},
        {321, 320, 324}, {0, 320, 316},   {480, 320, 324}, {-1000, 4, 0},
    };
    for (const Row &r : rows) {
        ball_y = r.ball;
        enemyy = r.before;
        calccpu();
        EXPECT_EQ(enemyy, r.after) << "ball at " << r.ball;
    }
}

TEST_F(Input, ComputerPaddleSettlesWithTheBallLevelOrJustAbove)
{
    ball_y = 101.5;
    enemyy = 320;
    for (int i = 0; i < 100; i++)
        calccpu();
    EXPECT_EQ(enemyy, 104.0);
}

} // namespace
