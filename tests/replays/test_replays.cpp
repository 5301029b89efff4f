// The replay layer through the test doubles: live play recorded and played
// back, a pause, drift and a cut-short file found, and the golden replays
// verified with their kept digests, on every target the tests run on.
#include <string>

#include "bot.h"
#include "game/game.h"
#include "golden.h"
#include "platform/replay/layer.h"
#include "platform/replay/replayfile.h"
#include "support.h"

using namespace doubles;

namespace {

std::vector<uint8_t> recorded;
void tomemory(const std::vector<uint8_t> &bytes)
{
    recorded.insert(recorded.end(), bytes.begin(), bytes.end());
}

struct Played {
    layer::Verdict verdict;
    uint64_t digest;
    int pointsp, pointse, frames;
};

// Plays `r` with no window and no sleeps, as --verify does.
Played verify(const replay::Replay &r)
{
    freshgame();
    state.recording = false;
    layer::playback(&r, true);
    runmain();
    uint64_t digest = layer::finish();
    return {layer::verdict(), digest, pointsp, pointse, state.frames};
}

// Plays `s` live, recorded; returns the replay read back.
replay::Replay record(const Script &s, uint64_t &digest)
{
    recorded.clear();
    freshgame();
    playscript(s);
    layer::live(tomemory);
    runmain();
    digest = layer::finish();
    replay::Replay r;
    std::string error;
    EXPECT_TRUE(replay::read(recorded.data(), recorded.size(), SPARKRALLY_VERSION, r, error))
        << error;
    return r;
}

using Layer = GameTest;

TEST_F(Layer, LivePlayIsRecordedAsTheGameReadItAndPlaysBackTheSame)
{
    uint64_t live;
    replay::Replay r = record({2, 25, 700, true}, live);
    int frames = state.frames, p = pointsp, e = pointse;
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(int(r.frames.size()), frames);
    // Only what the game reads is kept: the motions, the key-downs with
    // Escape's state, the close request.
    int keys = 0;
    for (const replay::Frame &f : r.frames)
        for (const replay::Event &ev : f)
            keys += ev.kind == replay::key;
    EXPECT_GE(keys, 3);
    bool escape = false;
    for (const replay::Event &ev : r.frames.back())
        escape = escape || (ev.kind == replay::key && ev.escape == 1);
    EXPECT_TRUE(escape);

    Played back = verify(r);
    EXPECT_EQ(back.verdict.drifted, 0u);
    EXPECT_EQ(back.verdict.checked, uint32_t(frames / replay::digest_every + 1));
    EXPECT_EQ(back.digest, live);
    EXPECT_EQ(back.frames, frames);
    EXPECT_EQ(back.pointsp, p);
    EXPECT_EQ(back.pointse, e);
}

// A player who may only hold Up and Down, never move the pointer: the keys
// reach the game as the pointer motions that the replay keeps, and the
// paddle moves no faster than the keys' top speed.
TEST_F(Layer, AKeysOnlyPlayerWinsAMatchThatPlaysBackTheSame)
{
    uint64_t live;
    replay::Replay r = record({5, 15, 0, false, true}, live);
    int frames = state.frames;
    RecordProperty("score", std::to_string(pointsp) + "-" + std::to_string(pointse));
    RecordProperty("frames", frames);
    EXPECT_EQ(pointsp, 5) << "the computer scored " << pointse << " in " << frames << " frames";
    EXPECT_LT(pointse, 5);
    int moves = 0, last = -1;
    for (const replay::Frame &f : r.frames)
        for (const replay::Event &ev : f)
            if (ev.kind == replay::motion) {
                if (last >= 0) {
                    EXPECT_LE(std::abs(ev.y - last), 16);
                }
                last = ev.y;
                moves++;
            }
    EXPECT_GT(moves, 100);

    Played back = verify(r);
    EXPECT_EQ(back.verdict.drifted, 0u);
    EXPECT_EQ(back.digest, live);
    EXPECT_EQ(back.pointsp, 5);
}

TEST_F(Layer, ADriftIsFoundAtTheFirstKeptDigestAfterIt)
{
    uint64_t live;
    replay::Replay r = record({2, 25, 1000, false}, live);
    // From frame 400 the pointer is far from the ball: the paddle misses,
    // and the digest after frame 600 no longer matches.
    for (size_t f = 399; f < r.frames.size(); f++)
        for (replay::Event &ev : r.frames[f])
            if (ev.kind == replay::motion)
                ev.y = Uint16(ev.y < 240 ? 470 : 10);
    Played back = verify(r);
    EXPECT_EQ(back.verdict.drifted, 600u);
    EXPECT_TRUE(back.verdict.ended_early);
    // A run that ends before the replay does has drifted too.
    r = record({2, 25, 1000, false}, live);
    r.frames[449].push_back({replay::closed, 0, 0, 0});
    back = verify(r);
    EXPECT_EQ(back.verdict.drifted, 450u);
}

TEST_F(Layer, AReplayStoppedBeforeItsEndHasEndedWithoutADrift)
{
    uint64_t live;
    replay::Replay r = record({2, 25, 1000, false}, live);
    freshgame();
    state.recording = false;
    state.before_frame = [](int frame) {
        if (frame == 450)
            layer::stop(); // as Escape in the viewer, the page's End, SIGINT
    };
    layer::playback(&r, true);
    runmain();
    layer::finish();
    layer::Verdict v = layer::verdict();
    EXPECT_EQ(v.drifted, 0u);
    EXPECT_TRUE(v.ended_early);
    EXPECT_EQ(v.frames, 451u); // the frame that reads the close request runs to its end
}

TEST_F(Layer, AFileCutShortPlaysToItsLastWholeFrame)
{
    uint64_t live;
    replay::Replay r = record({2, 25, 1000, false}, live);
    r.frames.resize(600);
    r.digest_frames.resize(2);
    r.digests.resize(2);
    r.complete = false;
    Played back = verify(r);
    EXPECT_EQ(back.verdict.drifted, 0u);
    EXPECT_EQ(back.verdict.checked, 2u);
    EXPECT_EQ(back.verdict.frames, 600u);
}

TEST_F(Layer, PIsAPauseAtTheSwapThatIsNotPartOfTheReplay)
{
    uint64_t live;
    Script s = {2, 25, 500, false};
    recorded.clear();
    freshgame();
    playscript(s);
    auto script = state.before_frame;
    state.before_frame = [script](int frame) {
        script(frame);
        if (frame == 100)
            state.queue.push_back(keydown(SDLK_p));
    };
    // While paused, the swap waits and polls: after five waits a motion
    // comes, then P again ends the pause; both go to the next frame.
    state.on_delay = [](Uint32 ms) {
        static int waits = 0;
        if (ms == 10 && ++waits == 5) {
            state.queue.push_back(motion(100, 33));
            state.queue.push_back(keydown(SDLK_p));
        }
    };
    layer::live(tomemory);
    runmain();
    live = layer::finish();
    EXPECT_FALSE(layer::paused());
    int waits = 0;
    for (Uint32 d : state.delays)
        waits += d == 10;
    EXPECT_EQ(waits, 5);
    replay::Replay r;
    std::string error;
    ASSERT_TRUE(replay::read(recorded.data(), recorded.size(), SPARKRALLY_VERSION, r, error))
        << error;
    EXPECT_EQ(int(r.frames.size()), state.frames);
    EXPECT_EQ(verify(r).digest, live);
}

// The golden replays, recorded by make_golden, and what each must give.
TEST(GoldenReplays, EachPlaysToItsKeptDigest)
{
    std::vector<Golden> list = goldens(SPARKRALLY_REPLAYS);
    ASSERT_GE(list.size(), 4u) << SPARKRALLY_REPLAYS "/golden.txt";
    for (const Golden &g : list) {
        replay::Replay r;
        std::string error;
        ASSERT_TRUE(replay::readfile((std::string(SPARKRALLY_REPLAYS) + "/" + g.name).c_str(),
                                     SPARKRALLY_VERSION, r, error))
            << error;
        EXPECT_TRUE(r.complete) << g.name;
        Played back = verify(r);
        char hex[19];
        snprintf(hex, sizeof hex, "0x%016llx", (unsigned long long)back.digest);
        EXPECT_EQ(back.verdict.drifted, 0u) << g.name;
        EXPECT_EQ(back.frames, g.frames) << g.name;
        EXPECT_EQ(back.pointsp, g.pointsp) << g.name;
        EXPECT_EQ(back.pointse, g.pointse) << g.name;
        EXPECT_EQ(hex, g.digest) << g.name;
    }
}

} // namespace
