// Whole matches through SDL_main, frame by frame against scripted input.
#include <GL/gl.h>

#include <algorithm>
#include <cstdint>

#include "effects/particle.h"
#include "game/game.h"
#include "support.h"

using namespace doubles;

namespace {

// Ends a runaway run instead of looping for ever.
void guard(int frame)
{
    if (frame > 200000)
        state.queue.push_back(closerequest());
}

// A player who keeps the pointer `offset` pixels above the ball, so the
// ball meets the paddle below its centre and leaves at a steep angle.
void follow(int offset)
{
    state.recording = false;
    state.before_frame = [offset](int frame) {
        guard(frame);
        int y = std::clamp(int(ball_y) - offset, 0, 479);
        state.queue.push_back(motion(100, y));
    };
}

using Match = GameTest;

TEST_F(Match, PointerNeverMovingLosesFiveNil)
{
    std::vector<int> goalframes;
    state.recording = false;
    state.before_frame = guard;
    state.after_frame = [&](int frame) {
        if (pointse > int(goalframes.size()))
            goalframes.push_back(frame);
    };
    EXPECT_EQ(runmain(), 0);
    EXPECT_EQ(pointse, 5);
    EXPECT_EQ(pointsp, 0);
    EXPECT_EQ(mouse_y, 0);
    // Every serve plays out alike; the goal frame also takes the new
    // serve's first step.
    ASSERT_EQ(goalframes.size(), 5u);
    for (size_t i = 2; i < 5; i++)
        EXPECT_EQ(goalframes[i] - goalframes[i - 1], goalframes[1] - goalframes[0]);
    EXPECT_EQ(goalframes[1] - goalframes[0], goalframes[0]);
    // No bounce in the whole match: the ball rises into the top-left corner
    // past a paddle centred on the top edge, every serve alike.
    EXPECT_EQ(state.count(Fn::glBegin) - state.count(Fn::glEnd), 0);
    EXPECT_EQ(livesparks(), 0);
    long long frames = state.frames;
    EXPECT_EQ(frames, goalframes[4] + 1);
    // Serve, four serves after goals, the fifth goal's serve, the match end.
    std::vector<Uint32> pauses;
    for (Uint32 d : state.delays)
        if (d != 16)
            pauses.push_back(d);
    EXPECT_EQ(pauses, (std::vector<Uint32>{500, 500, 500, 500, 500, 500, 2000}));
    EXPECT_EQ(std::count(state.delays.begin(), state.delays.end(), 16u), frames);
    EXPECT_EQ(state.delays.back(), 16u);
    EXPECT_EQ(state.delays[state.delays.size() - 2], 2000u);
    EXPECT_EQ(state.delays[state.delays.size() - 3], 500u);
    EXPECT_EQ(state.count(Fn::SDL_Quit), 1);
}

TEST_F(Match, LastFrameShowsTheServeStepAndFivePips)
{
    pointse = 4;
    bool seen = false;
    state.recording = false;
    state.before_frame = guard;
    state.after_frame = [&](int) {
        if (!quit)
            return;
        seen = true;
        EXPECT_NEAR(ball_x, 316.2412, 5e-5);
        EXPECT_NEAR(ball_y, 238.6319, 5e-5);
    };
    runmain();
    EXPECT_TRUE(seen);
    EXPECT_EQ(pointse, 5);
}

TEST_F(Match, EscapeInTheFrameOfTheFifthPointStillRunsBothPauses)
{
    pointse = 4;
    state.recording = false;
    state.before_frame = [](int frame) {
        guard(frame);
        // A ball already past the goal line scores in this frame.
        if (ball_x < -15) {
            state.keys[SDLK_ESCAPE] = 1;
            state.queue.push_back(keydown(SDLK_ESCAPE));
        }
    };
    runmain();
    EXPECT_EQ(pointse, 5);
    size_t n = state.delays.size();
    ASSERT_GE(n, 3u);
    EXPECT_EQ(state.delays[n - 3], 500u);
    EXPECT_EQ(state.delays[n - 2], 2000u);
    EXPECT_EQ(state.delays[n - 1], 16u);
}

TEST_F(Match, FollowingTheBallOffCentreWinsLongRallies)
{
    follow(12);
    EXPECT_EQ(runmain(), 0);
    EXPECT_EQ(pointsp, 5);
    EXPECT_LT(pointse, 5);
    EXPECT_GT(state.frames, 2000);
    EXPECT_LE(livesparks(), 5000);
}

TEST_F(Match, SamePointerMotionGivesTheSameSparksFrameForFrame)
{
    auto fingerprint = [] {
        freshgame();
        uint64_t h = 1469598103934665603ull;
        follow(12);
        state.on_vertex = [&h](float x, float y, float) {
            h = (h ^ uint64_t(F(x).bits)) * 1099511628211ull;
            h = (h ^ uint64_t(F(y).bits)) * 1099511628211ull;
        };
        runmain();
        return std::make_pair(h, state.count(Fn::glVertex3f));
    };
    auto a = fingerprint();
    auto b = fingerprint();
    EXPECT_EQ(a, b);
    EXPECT_GT(a.second, 1000000);
}

} // namespace
