// Gamepads through the replay layer on real SDL: a virtual pad, attached
// through SDL 2 under sdl12-compat in this process, stands in for a real
// one, which nothing here can press. The layer reads it as the game runs:
// the test polls and swaps as the game does, and sees what the game sees.
#include <SDL.h>
#include <csignal>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "process/run.h"
#include "replay/layer.h"

namespace {

// SDL's offscreen window on Mesa's software renderer. That window never has
// the keyboard's focus, and SDL drops a pad's input for a window without it
// unless told to take it.
const bool isolated = (cleanownenv({"SDL_VIDEODRIVER=offscreen", "LIBGL_ALWAYS_SOFTWARE=1",
                                    "SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS=1"}),
                       true);

// SDL 2's own calls for a virtual pad, from the library that sdl12-compat
// itself loaded (its names clash with SDL 1.2's, so they are looked up).
struct Sdl2 {
    void *lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    template <typename F> F get(const char *name) { return F(lib ? dlsym(lib, name) : nullptr); }
    int (*initsubsystem)(Uint32) = get<int (*)(Uint32)>("SDL_InitSubSystem");
    int (*attach)(int, int, int,
                  int) = get<int (*)(int, int, int, int)>("SDL_JoystickAttachVirtual");
    int (*detach)(int) = get<int (*)(int)>("SDL_JoystickDetachVirtual");
    void *(*open)(int) = get<void *(*)(int)>("SDL_JoystickOpen");
    int (*setaxis)(void *, int,
                   Sint16) = get<int (*)(void *, int, Sint16)>("SDL_JoystickSetVirtualAxis");
    int (*setbutton)(void *, int,
                     Uint8) = get<int (*)(void *, int, Uint8)>("SDL_JoystickSetVirtualButton");
};

// A pad in SDL 2's game controller layout: axis 1 is the left stick's
// vertical, buttons 4 Back, 6 Start, 11 and 12 the D-pad's up and down.
constexpr int game_controller = 1, axes = 6, buttons = 15;
constexpr int stick = 1, back = 4, start = 6, dpad_up = 11, dpad_down = 12;

// What the game reads in one frame.
struct Seen {
    int y = -1;          // the pointer's row, -1 without a motion
    bool escape = false; // a key down with Escape held
};

Seen poll()
{
    Seen s;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_MOUSEMOTION)
            s.y = e.motion.y;
        else if (e.type == SDL_KEYDOWN)
            s.escape = SDL_GetKeyState(nullptr)[SDLK_ESCAPE] != 0;
    }
    return s;
}

// The swap, which waits while the run is paused: a pause that the pad
// failed to end is ended after 5 seconds, as by a signal, so that the test
// fails with its message.
void swap()
{
    signal(SIGALRM, [](int) { layer::stop(); });
    alarm(5);
    SDL_GL_SwapBuffers();
    alarm(0);
}

Seen frame()
{
    Seen s = poll();
    swap();
    return s;
}

void pointerat(int y)
{
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = 20;
    e.motion.y = Uint16(y);
    SDL_PushEvent(&e);
}

// One live run on SDL's offscreen window with a pad attached before the
// layer starts SDL's joystick support, as a pad plugged in before the game.
class Pad : public ::testing::Test
{
  protected:
    static Sdl2 sdl2;
    static int index;
    static void *pad;

    static void SetUpTestSuite()
    {
        ASSERT_TRUE(isolated);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(SDL_SetVideoMode(640, 480, 0, SDL_OPENGL)) << SDL_GetError();
        ASSERT_TRUE(sdl2.lib && sdl2.attach && sdl2.setbutton) << "no SDL 2 with virtual pads";
        ASSERT_EQ(sdl2.initsubsystem(SDL_INIT_JOYSTICK), 0);
        index = sdl2.attach(game_controller, axes, buttons, 0);
        ASSERT_GE(index, 0);
        pad = sdl2.open(index);
        ASSERT_TRUE(pad);
        layer::live(nullptr);
    }

    static void set(int button, bool down) { ASSERT_EQ(sdl2.setbutton(pad, button, down), 0); }
    static void tilt(Sint16 value) { ASSERT_EQ(sdl2.setaxis(pad, stick, value), 0); }
};
Sdl2 Pad::sdl2;
int Pad::index = -1;
void *Pad::pad = nullptr;

// The D-pad moves at the keys' profile: 3 pixels, then one more each frame.
// A full tilt of the stick moves at the top speed, a slight one within the
// dead zone not at all.
TEST_F(Pad, DpadAndStickMoveThePaddle)
{
    pointerat(240);
    EXPECT_EQ(frame().y, 240);
    set(dpad_down, true);
    for (int y : {243, 247, 252, 258})
        EXPECT_EQ(frame().y, y);
    set(dpad_down, false);
    EXPECT_EQ(frame().y, -1);
    set(dpad_up, true);
    EXPECT_EQ(frame().y, 255);
    set(dpad_up, false);
    tilt(32767);
    EXPECT_EQ(frame().y, 271);
    tilt(-32768);
    EXPECT_EQ(frame().y, 255);
    tilt(7000);
    EXPECT_EQ(frame().y, -1);
    tilt(0);
    EXPECT_EQ(frame().y, -1);
}

// Start pauses at the end of the frame and, pressed again while the swap
// waits, ends the pause; Back ends the run as Escape does, in play and from
// the pause. Before each press in the pause a frame's events are gathered
// with the button up, as the pause's own reading would see it.
TEST_F(Pad, StartPausesAndBackEndsTheRun)
{
    set(start, true);
    EXPECT_FALSE(poll().escape);
    EXPECT_TRUE(layer::paused());
    set(start, false);
    poll();
    set(start, true);
    swap();
    EXPECT_FALSE(layer::paused());
    set(start, false);
    EXPECT_FALSE(frame().escape);
    set(back, true);
    EXPECT_TRUE(frame().escape);
    set(back, false);
    EXPECT_FALSE(frame().escape);

    set(start, true);
    poll();
    set(start, false);
    poll();
    set(back, true);
    swap();
    EXPECT_FALSE(layer::paused());
    EXPECT_TRUE(frame().escape);
    set(back, false);
}

// A pad pulled out while held reads as idle and the frames go on; one
// plugged in after the start is not seen by sdl12-compat.
TEST_F(Pad, APadPulledOutOrPluggedInNeitherStopsNorStalls)
{
    pointerat(100);
    frame();
    set(dpad_down, true);
    EXPECT_EQ(frame().y, 103);
    ASSERT_EQ(sdl2.detach(index), 0);
    EXPECT_EQ(frame().y, -1);
    const int later = sdl2.attach(game_controller, axes, buttons, 0);
    ASSERT_GE(later, 0);
    void *pad2 = sdl2.open(later);
    ASSERT_TRUE(pad2);
    ASSERT_EQ(sdl2.setbutton(pad2, dpad_down, 1), 0);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(frame().y, -1);
}

} // namespace
