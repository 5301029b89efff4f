// The run as a whole: set-up, failed set-up, frame order, serve and quit.
#include <GL/gl.h>

#include "effects/pool.h"
#include "effects/random.h"
#include "game/game.h"
#include "graphics/video.h"
#include "support.h"

using namespace doubles;

namespace {

std::vector<Fn> fns(size_t from = 0)
{
    std::vector<Fn> out;
    for (size_t i = from; i < state.log.size(); i++)
        out.push_back(state.log[i].fn);
    return out;
}

size_t firstof(Fn fn)
{
    for (size_t i = 0; i < state.log.size(); i++)
        if (state.log[i].fn == fn)
            return i;
    return state.log.size();
}

// The game state as the program starts with it, taken during static
// initialisation: the game's globals are constant-initialised before that,
// and no test or helper has run yet.
struct Startup {
    int anzahl_particle = ::anzahl_particle, particlec = ::particlec, livesparks = ::livesparks();
    double ball_x = ::ball_x, ball_y = ::ball_y, ball_r = ::ball_r;
    double ball_angle = ::ball_angle, ball_speed = ::ball_speed, cpuspeed = ::cpuspeed;
    int barsize = ::barsize;
    bool quit = ::quit;
    int mouse_x = ::mouse_x, mouse_y = ::mouse_y, pointsp = ::pointsp, pointse = ::pointse;
    double playery = ::playery, enemyy = ::enemyy;
    Uint8 eventtype = ::event.type;
};
const Startup startup;

using FrameLoop = GameTest;

TEST_F(FrameLoop, AFreshProgramStartsWithTheSettingsAndAnEmptyState)
{
    EXPECT_EQ(startup.anzahl_particle, 5000);
    EXPECT_EQ(startup.ball_x, 320.0);
    EXPECT_EQ(startup.ball_y, 240.0);
    EXPECT_EQ(startup.ball_r, 5.0);
    EXPECT_EQ(startup.ball_angle, 200.0);
    EXPECT_EQ(startup.ball_speed, 4.0);
    EXPECT_EQ(startup.barsize, 20);
    EXPECT_EQ(startup.cpuspeed, 4.0);
    EXPECT_EQ(startup.particlec, 0);
    EXPECT_EQ(startup.livesparks, 0);
    EXPECT_FALSE(startup.quit);
    EXPECT_EQ(startup.mouse_x, 0);
    EXPECT_EQ(startup.mouse_y, 0);
    EXPECT_EQ(startup.playery, 0.0);
    EXPECT_EQ(startup.enemyy, 0.0);
    EXPECT_EQ(startup.pointsp, 0);
    EXPECT_EQ(startup.pointse, 0);
    EXPECT_EQ(startup.eventtype, 0);
}

TEST_F(FrameLoop, SetUpMakesTheWindowAndProjectionCallsInOrder)
{
    EXPECT_EQ(initgraphics(), 0);
    std::vector<Call> want = {
        {Fn::SDL_Init, {U(0x20)}},
        {Fn::SDL_VideoDriverName, {I(32)}},
        {Fn::SDL_GL_SetAttribute, {I(5), I(1)}}, // SDL_GL_DOUBLEBUFFER
        {Fn::SDL_SetVideoMode, {I(640), I(480), I(16), U(3)}},
        {Fn::glClearColor, {F(0), F(0), F(0), F(1)}},
        {Fn::glEnable, {U(0x0DE1)}},
        {Fn::glViewport, {I(0), I(0), I(640), I(480)}},
        {Fn::glMatrixMode, {U(0x1701)}},
        {Fn::glLoadIdentity, {}},
        {Fn::glOrtho, {D(0), D(640), D(480), D(0), D(-1), D(1)}},
        {Fn::glMatrixMode, {U(0x1700)}},
        {Fn::glLoadIdentity, {}},
    };
    EXPECT_EQ(state.log, want);
}

TEST_F(FrameLoop, FailedSdlStartPrintsOneLineAndEndsWithStatusOne)
{
    state.init_result = -1;
    state.error_text = "video is gone";
    testing::internal::CaptureStdout();
    int status = runmain();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to initialize SDL: video is gone\n");
    EXPECT_EQ(status, 1);
    // No video mode is asked for, no frame runs, no serve pause, SDL is shut.
    EXPECT_EQ(fns(), (std::vector<Fn>{Fn::SDL_Init, Fn::SDL_GetError, Fn::SDL_Quit}));
}

TEST_F(FrameLoop, FailedVideoModePrintsOneLineAndMakesNoOpenGLCall)
{
    state.video_fails = true;
    state.error_text = "no mode";
    testing::internal::CaptureStdout();
    int status = runmain();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to set video mode: no mode\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(fns(),
              (std::vector<Fn>{Fn::SDL_Init, Fn::SDL_VideoDriverName, Fn::SDL_GL_SetAttribute,
                               Fn::SDL_SetVideoMode, Fn::SDL_GetError, Fn::SDL_Quit}));
}

TEST_F(FrameLoop, DriverThatShowsNothingIsAFailedStartUnlessThePlayerAskedForIt)
{
    const std::string noscreen =
        "Unable to initialize SDL: no display found (set SDL_VIDEODRIVER=offscreen to run "
        "without one on purpose)\n";
    for (const char *driver : {"offscreen", "dummy"}) {
        freshgame();
        state.driver = driver;
        random(99); // a known point in the sequence
        testing::internal::CaptureStdout();
        int status = runmain();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), noscreen) << driver;
        EXPECT_EQ(status, 1) << driver;
        // As any failed start: no mode, no OpenGL call, no seeding, no pause.
        EXPECT_EQ(fns(), (std::vector<Fn>{Fn::SDL_Init, Fn::SDL_VideoDriverName, Fn::SDL_Quit}))
            << driver;
        EXPECT_EQ(random(0), 1109130893u) << "the generator was seeded"; // the draw after 99's
    }

    // Named in SDL_VIDEODRIVER, alone or in SDL's list, in any case: played.
    for (const char *wanted : {"offscreen", "x11,OffScreen", ",offscreen,"}) {
        freshgame();
        state.driver = "offscreen";
        setvar("SDL_VIDEODRIVER", wanted);
        EXPECT_EQ(initgraphics(), 0) << wanted;
        EXPECT_EQ(state.count(Fn::SDL_SetVideoMode), 1) << wanted;
    }
    // A name that merely contains it is not a request for it.
    for (const char *other : {"offscreenx", "offscree", "x11"}) {
        freshgame();
        state.driver = "offscreen";
        setvar("SDL_VIDEODRIVER", other);
        testing::internal::CaptureStdout();
        EXPECT_EQ(initgraphics(), 1) << other;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), noscreen) << other;
    }
    // Drivers that show a window are never refused, asked for or not.
    for (const char *real : {"x11", "wayland", "kmsdrm", "windows"}) {
        freshgame();
        state.driver = real;
        EXPECT_EQ(initgraphics(), 0) << real;
    }
    setvar("SDL_VIDEODRIVER", nullptr);
}

TEST_F(FrameLoop, ServeStateAndItsPauseComeBeforeTheFirstFrame)
{
    bool checked = false;
    state.before_frame = [&](int frame) {
        if (frame != 0)
            return;
        checked = true;
        EXPECT_EQ(state.delays, std::vector<Uint32>{500});
        EXPECT_EQ(state.count(Fn::SDL_GL_SwapBuffers), 0);
        EXPECT_EQ(playery, 320.0);
        EXPECT_EQ(enemyy, 320.0);
        EXPECT_EQ(ball_x, 320.0);
        EXPECT_EQ(ball_y, 240.0);
        EXPECT_EQ(ball_r, 5.0);
        EXPECT_EQ(ball_angle, 200.0);
        EXPECT_EQ(ball_speed, 4.0);
        // Seeded with 12545: the next draw is the sequence's second value.
        EXPECT_EQ(random(0), 675602139u);
        state.queue.push_back(closerequest());
    };
    EXPECT_EQ(runmain(), 0);
    EXPECT_TRUE(checked);
    EXPECT_EQ(state.delays, (std::vector<Uint32>{500, 16}));
    EXPECT_LT(firstof(Fn::SDL_Delay), firstof(Fn::glClear));
}

TEST_F(FrameLoop, OneFrameRunsInItsFixedOrderAndQuitEndsTheRunAfterIt)
{
    state.queue.push_back(closerequest());
    EXPECT_EQ(runmain(), 0);
    EXPECT_EQ(state.count(Fn::glClear), 1);
    std::vector<Fn> want = {Fn::glClear,
                            Fn::SDL_PollEvent, // the close request
                            Fn::SDL_PollEvent, // empty: the queue is drained
                            Fn::glColor3f};
    for (int bar = 0; bar < 2; bar++) {
        want.push_back(Fn::glBegin);
        want.insert(want.end(), 4, Fn::glVertex3f);
        want.push_back(Fn::glEnd);
    }
    want.push_back(Fn::glBegin);
    want.insert(want.end(), 11, Fn::glVertex3f);
    want.push_back(Fn::glEnd);
    want.insert(want.end(), {Fn::SDL_GL_SwapBuffers, Fn::SDL_Delay, Fn::SDL_Quit});
    EXPECT_EQ(fns(firstof(Fn::glClear)), want);
    EXPECT_EQ(state.log[firstof(Fn::glClear)], (Call{Fn::glClear, {U(GL_COLOR_BUFFER_BIT)}}));
}

// A goal that wins the match: the paddles were drawn where they stood before
// the serve reset them, and the end's pause falls before the sparks' walk.
TEST_F(FrameLoop, WinningGoalFrameDrawsPaddlesBeforeTheServeAndPausesBeforeTheSparks)
{
    pointse = 4;
    emitparticle(100, 100, 0, 50, 100, 10, 20, 30, 0.0); // a spark in flight
    state.before_frame = [](int frame) {
        if (frame != 0)
            return;
        state.queue.push_back(motion(0, 100));
        ball_x = -20; // past the goal line, far from the paddle
        ball_y = 300;
        state.log.clear();
    };
    EXPECT_EQ(runmain(), 0);
    EXPECT_EQ(state.count(Fn::glClear), 1);
    std::vector<Call> v = calls(Fn::glVertex3f);
    ASSERT_GE(v.size(), 8u);
    // The player's paddle at the pointer, the computer's one step up from 320.
    EXPECT_EQ(std::vector<Call>(v.begin(), v.begin() + 8),
              (std::vector<Call>{vertex(2, 80), vertex(2, 120), vertex(5, 120), vertex(5, 80),
                                 vertex(638, 296), vertex(638, 336), vertex(635, 336),
                                 vertex(635, 296)}));
    // The frame's pauses and the spark's line, in their order.
    std::vector<Call> order;
    for (const Call &c : state.log)
        if (c.fn == Fn::SDL_Delay || (c.fn == Fn::glBegin && c.args[0].bits == GL_LINES))
            order.push_back(c);
    EXPECT_EQ(order, (std::vector<Call>{{Fn::SDL_Delay, {U(500)}},
                                        {Fn::SDL_Delay, {U(2000)}},
                                        {Fn::glBegin, {U(GL_LINES)}},
                                        {Fn::SDL_Delay, {U(16)}}}));
}

TEST_F(FrameLoop, QuitSetMidFrameStillFinishesThatFrame)
{
    state.before_frame = [](int frame) {
        if (frame == 3) {
            state.keys[SDLK_ESCAPE] = 1;
            state.queue.push_back(keydown(SDLK_ESCAPE));
        }
    };
    EXPECT_EQ(runmain(), 0);
    EXPECT_EQ(state.count(Fn::glClear), 4);
    EXPECT_EQ(state.count(Fn::SDL_GL_SwapBuffers), 4);
    std::vector<Fn> tail(state.log.size() >= 3 ? fns(state.log.size() - 3) : fns());
    EXPECT_EQ(tail, (std::vector<Fn>{Fn::SDL_GL_SwapBuffers, Fn::SDL_Delay, Fn::SDL_Quit}));
    EXPECT_EQ(state.delays.back(), 16u);
}

TEST_F(FrameLoop, EveryFrameDrawsPaddlesBallAndPipsInWhite)
{
    pointsp = 2;
    pointse = 1;
    state.before_frame = [](int frame) {
        if (frame == 40)
            state.queue.push_back(closerequest());
    };
    runmain();
    // Each frame's first colour is white, set before any drawing, and no
    // colour is set again until the pips are drawn.
    size_t frame_start = 0;
    for (size_t i = 0; i < state.log.size(); i++) {
        if (state.log[i].fn == Fn::glClear)
            frame_start = i;
        if (state.log[i].fn != Fn::glBegin || frame_start == 0)
            continue;
        size_t colours = 0;
        for (size_t j = frame_start; j < i; j++)
            if (state.log[j].fn == Fn::glColor3f) {
                colours++;
                EXPECT_EQ(state.log[j], (Call{Fn::glColor3f, {F(1), F(1), F(1)}}));
            }
        EXPECT_EQ(colours, 1u);
        frame_start = 0;
    }
    EXPECT_EQ(state.count(Fn::glColor3f), 41);
}

TEST_F(FrameLoop, SparksNeverTintTheNextFramesBallAndPips)
{
    pointsp = 1;
    pointse = 2;
    // Meet the serve with the paddle so that bursts fly, then close.
    state.before_frame = [](int frame) {
        state.queue.push_back(motion(10, int(ball_y)));
        if (frame == 300)
            state.queue.push_back(closerequest());
    };
    runmain();
    ASSERT_GT(calls(Fn::glColor3f).size(), 1000u);
    const Call white{Fn::glColor3f, {F(1), F(1), F(1)}};
    // Within each frame: white first, then every quad and the ball's strip,
    // and only then the sparks' own colours.
    bool inframe = false, sawcolour = false, sparkcolour = false;
    int frames = 0;
    for (const Call &c : state.log) {
        if (c.fn == Fn::glClear) {
            inframe = true;
            sawcolour = sparkcolour = false;
            frames++;
        } else if (inframe && c.fn == Fn::glColor3f) {
            if (!sawcolour)
                EXPECT_EQ(c, white) << "frame " << frames;
            else
                sparkcolour = true;
            sawcolour = true;
        } else if (inframe && c.fn == Fn::glBegin && c.args[0].bits != GL_LINES) {
            EXPECT_TRUE(sawcolour);
            EXPECT_FALSE(sparkcolour) << "frame " << frames;
        }
    }
    EXPECT_EQ(frames, 301);
}

TEST_F(FrameLoop, MatchEndsFromFivePointsOnWithTwoSecondsForEachSide)
{
    pointsp = 4;
    pointse = 4;
    checkifwin();
    EXPECT_FALSE(quit);
    EXPECT_TRUE(state.delays.empty());

    pointsp = 5;
    checkifwin();
    EXPECT_TRUE(quit);
    EXPECT_EQ(state.delays, std::vector<Uint32>{2000});

    // Never both at once in a game, but if so, both pauses run.
    reset();
    quit = false;
    pointse = 5;
    checkifwin();
    EXPECT_TRUE(quit);
    EXPECT_EQ(state.delays, (std::vector<Uint32>{2000, 2000}));
    EXPECT_TRUE(calls(Fn::glBegin).empty());
}

TEST_F(FrameLoop, WithoutPointerMotionThePlayerPaddleIsCentredOnTheTopEdge)
{
    state.before_frame = [](int frame) {
        if (frame == 1)
            state.queue.push_back(closerequest());
    };
    runmain();
    std::vector<Call> v = calls(Fn::glVertex3f);
    ASSERT_GE(v.size(), 30u);
    for (size_t frame = 0; frame < 2; frame++) {
        size_t first = frame * (v.size() / 2);
        EXPECT_EQ(v[first], vertex(2, -20));
        EXPECT_EQ(v[first + 1], vertex(2, 20));
    }
}

} // namespace
