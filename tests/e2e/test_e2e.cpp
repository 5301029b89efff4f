// The real binary in a real window under Xvfb, driven by XTEST through
// xdotool and watched through screenshots, with real timing throughout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "xsession.h"

namespace {

// The left-alone match, as the recording doubles count it: 446 frames of
// 16 ms, six 500 ms serves (the first and one per goal) and the 2000 ms end.
const long long leftalone_frames = 446;
const long long leftalone_min_ms = leftalone_frames * 16 + 6 * 500 + 2000;

void sleepms(int ms) { usleep(useconds_t(ms) * 1000); }

// Whether two screenshots show the same picture.
bool same(const Image &a, const Image &b) { return a.w == b.w && a.h == b.h && a.rgb == b.rgb; }

class EndToEnd : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(x.ok()) << "Xvfb did not start"; }

    // Starts the game with the pointer wherever it is now. A fatal failure
    // when no window appears: call it under ASSERT_NO_FATAL_FAILURE.
    void start(const std::string &binary = SPARKRALLY_BIN, std::vector<std::string> args = {})
    {
        args.insert(args.begin(), binary);
        game = spawn(args, x.env());
        ASSERT_GT(game.pid, 0) << game.failure;
        win = x.window(game.pid);
        ASSERT_NE(win, 0ul) << "no window appeared";
    }

    // Takes screenshots until `seen` holds for one, up to timeout_ms.
    template <class Pred> Image waitfor(const std::string &name, Pred seen, int timeout_ms)
    {
        long long deadline = nowms() + timeout_ms;
        Image img;
        do {
            img = x.shot(win, name);
            if (img.w == 640 && img.h == 480 && seen(img))
                return img;
            sleepms(50);
        } while (nowms() < deadline);
        ADD_FAILURE() << name << ": not seen within " << timeout_ms << " ms";
        return img;
    }

    void holdescape() { x.holdkey(win, "Escape", 100); }

    // Presses `key`, then takes two screenshots half a second apart, the
    // later kept in `last`: whether the picture stayed still.
    bool stillafter(const char *key, const std::string &name)
    {
        x.holdkey(win, key, 50);
        sleepms(300);
        Image first = x.shot(win, name + "-a");
        sleepms(500);
        last = x.shot(win, name + "-b");
        EXPECT_EQ(first.w, 640);
        return same(first, last);
    }
    Image last;

    // The process must end with status 0 and nothing on standard error.
    Outcome expectcleanexit(int timeout_ms)
    {
        Outcome r = finish(game, timeout_ms);
        EXPECT_FALSE(r.timedout);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        return r;
    }

    void TearDown() override
    {
        if (game.pid > 0)
            finish(game, 1);
    }

    XSession x;
    Child game;
    unsigned long win = 0;
};

int rightpips(const Image &img)
{
    int n = 0;
    for (int s = 625; s >= 605; s -= 5)
        n += img.white(s + 1, 8);
    return n;
}

TEST_F(EndToEnd, PlayerPaddleFollowsThePointerAndHeldKeysMoveItFromThere)
{
    ASSERT_NO_FATAL_FAILURE(start());
    x.client({"xdotool", "mousemove", "--window", std::to_string(win), "320", "150"});
    Image img = waitfor(
        "paddle-follows-pointer", [](const Image &i) { return i.whiterun(3).first == 130; }, 5000);
    for (int col : {2, 3, 4})
        EXPECT_EQ(img.whiterun(col), std::make_pair(130, 169)) << "column " << col;
    EXPECT_TRUE(img.black(1, 150));
    EXPECT_TRUE(img.black(5, 150));
    for (int col : {635, 636, 637}) {
        std::pair<int, int> run = img.whiterun(col);
        EXPECT_EQ(run.second - run.first, 39) << "column " << col;
    }
    EXPECT_TRUE(img.black(634, img.whiterun(636).first));
    EXPECT_TRUE(img.black(638, img.whiterun(636).first));
    // Down held moves the paddle on from the pointer's row, at the keys'
    // profile however many frames the hold lasted.
    x.holdkey(win, "Down", 300);
    sleepms(200);
    const int moved = x.shot(win, "paddle-after-down").whiterun(3).first - 130;
    EXPECT_TRUE(keysprofile(moved)) << "Down moved the paddle by " << moved;
    holdescape();
    expectcleanexit(5000);
}

TEST_F(EndToEnd, FirstBounceAtThePlayerPaddleThrowsBlueSparks)
{
    ASSERT_NO_FATAL_FAILURE(start());
    // The serve reaches the player's line near y 122.
    x.client({"xdotool", "mousemove", "--window", std::to_string(win), "300", "124"});
    auto bluesparks = [](const Image &img) {
        int n = 0;
        for (int y = 0; y < 480; y++)
            for (int x = 6; x < 640; x++) {
                const unsigned char *p = img.at(x, y);
                n += p[0] <= 8 && p[1] <= 57 && p[2] >= 148;
            }
        return n;
    };
    Image img = waitfor(
        "blue-sparks", [&](const Image &i) { return bluesparks(i) >= 20; }, 8000);
    EXPECT_GE(bluesparks(img), 20);
    holdescape();
    expectcleanexit(5000);
}

TEST_F(EndToEnd, EscapeHeldLikeAPersonEndsTheRunAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(start());
    waitfor(
        "before-escape", [](const Image &i) { return i.whiterun(636).first >= 0; }, 5000);
    long long pressed = nowms();
    holdescape();
    expectcleanexit(5000);
    EXPECT_LT(nowms() - pressed, 1500);
}

TEST_F(EndToEnd, CloseRequestEndsTheRun)
{
    ASSERT_NO_FATAL_FAILURE(start());
    waitfor(
        "before-close", [](const Image &i) { return i.whiterun(636).first >= 0; }, 5000);
    ASSERT_TRUE(x.closerequest(win));
    expectcleanexit(5000);
}

TEST_F(EndToEnd, CloseRequestDuringTheServePauseStillEndsTheRun)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(x.closerequest(win));
    Outcome r = expectcleanexit(5000);
    EXPECT_LT(r.elapsed_ms, 5000);
}

TEST_F(EndToEnd, LeftAloneTheComputerWinsAndTheWindowCloses)
{
    // The pointer stays outside the window, so no motion ever reaches it.
    x.client({"xdotool", "mousemove", "0", "0"});
    ASSERT_NO_FATAL_FAILURE(start());
    int most = 0;
    while (running(game) && nowms() - game.started_ms < 60000) {
        Image img = x.shot(win, "left-alone");
        if (img.w == 640)
            most = std::max(most, rightpips(img));
        sleepms(300);
    }
    Outcome r = expectcleanexit(60000);
    // The fifth pip is on screen for one 16 ms frame only; the fourth stays
    // through the final pauses.
    EXPECT_GE(most, 4);
    EXPECT_GE(r.elapsed_ms, leftalone_min_ms);
    EXPECT_LT(r.elapsed_ms, leftalone_min_ms * 2 + 10000);
}

TEST_F(EndToEnd, PPausesTheMatchWithItsLastFrameShownAndPAgainResumes)
{
    ASSERT_NO_FATAL_FAILURE(start());
    sleepms(1500); // past the serve's pause, the ball in play
    EXPECT_TRUE(stillafter("p", "pause")) << "the field changed while paused";
    x.holdkey(win, "p", 50);
    sleepms(500);
    EXPECT_FALSE(same(last, x.shot(win, "pause-c"))) << "the match did not resume";
    // Held past a serve's pause: the pointer is left alone, so goals come.
    x.holdkey(win, "Escape", 700);
    expectcleanexit(10000);
}

TEST_F(EndToEnd, AReplayPlaysInTheWindowPausesStepsAndEndsOnEscape)
{
    ASSERT_NO_FATAL_FAILURE(
        start(SPARKRALLY_BIN, {"--replay", std::string(SPARKRALLY_REPLAYS) + "/rally.sparkrally"}));
    sleepms(1500);
    EXPECT_TRUE(stillafter("space", "replay")) << "the replay went on while paused";
    Image paused = last;
    EXPECT_TRUE(stillafter("Right", "replay-step")) << "a step went on playing";
    EXPECT_FALSE(same(paused, last)) << "the right arrow did not step a frame";
    holdescape();
    expectcleanexit(10000);
}

} // namespace
