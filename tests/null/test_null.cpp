// The game linked against the null platform with the whole seam, as a port
// starts from it: the whole match plays to its end with no window, no input
// and no sleeps.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>

#include "game/game.h"
#include "replay/layer.h"

// The layer answers the game's key state; the platform's own is behind it.
extern "C" Uint8 *__real_SDL_GetKeyState(int *numkeys);

// Far beyond any match the computer wins against an idle player.
static const long frame_limit = 1000000;
static long frames = 0;

// Each swap ends a frame; a run that never ends is stopped with the match
// unfinished.
static void countframe()
{
    if (++frames >= frame_limit)
        quit = true;
}

TEST(NullPlatform, PlaysAWholeMatchThatAnIdlePlayerLoses)
{
    // A player's driver choice must not reach the set-up's check.
    unsetenv("SDL_VIDEODRIVER");
    layer::onswap(countframe);
    char name[] = "sparkrally";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(SDL_main(1, argv), 0);
    ASSERT_LT(frames, frame_limit) << "the match did not end";
    EXPECT_EQ(pointsp, 0);
    EXPECT_EQ(pointse, 5);
}

// What a port's code may rely on beyond the game's own calls.
TEST(NullPlatform, AnswersEveryQueryWithSomethingUsable)
{
    int count = 0;
    Uint8 *keys = __real_SDL_GetKeyState(&count);
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(count, int(SDLK_LAST));
    for (int k = 0; k < count; k++)
        EXPECT_EQ(keys[k], 0) << "key " << k;
    ASSERT_NE(SDL_GetError(), nullptr);

    char driver[32];
    EXPECT_STREQ(SDL_VideoDriverName(driver, int(sizeof driver)), "null");
    char small[3] = {'x', 'x', 'x'};
    EXPECT_STREQ(SDL_VideoDriverName(small, int(sizeof small)), "nu");
    EXPECT_EQ(SDL_VideoDriverName(small, 0), nullptr);
}
