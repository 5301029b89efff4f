// The replay layer through the test doubles: live play recorded and played
// back, a pause, drift and a cut-short file found, and the golden replays
// verified with their kept digests, on every target the tests run on.
#include <cstdio>
#include <string>

#include <zlib.h>

#include "bot.h"
#include "game/game.h"
#include "golden.h"
#include "replay/layer.h"
#include "replay/replayfile.h"
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
    // Only what the game reads is kept: the script's keys without Escape
    // are gone, and the one with it ends the run.
    for (int f = 0; f + 1 < frames; f++)
        ASSERT_EQ(r.frames[f].flags & ~replay::moved, 0) << "frame " << f + 1;
    EXPECT_EQ(r.frames.back().flags & replay::escaped, replay::escaped);

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
        if (f.flags & replay::moved) {
            if (last >= 0) {
                EXPECT_LE(std::abs(f.y - last), 16);
            }
            last = f.y;
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
        r.frames[f].y = Uint16(r.frames[f].y < 240 ? 470 : 10);
    Played back = verify(r);
    EXPECT_EQ(back.verdict.drifted, 600u);
    EXPECT_TRUE(back.verdict.ended_early);
    // A run that ends before the replay does has drifted too.
    r = record({2, 25, 1000, false}, live);
    r.frames[449].flags |= replay::closed;
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
    // While paused, the swap waits and polls: after five waits a fast
    // mouse's 70,000 motions come, then P again ends the pause; the next
    // frame reads them, and the file keeps it whole.
    state.on_delay = [](Uint32 ms) {
        static int waits = 0;
        if (ms == 10 && ++waits == 5) {
            for (int i = 0; i < 70000; i++)
                state.queue.push_back(motion(100 + i % 50, 33));
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

// The kept replays, scripted by make_golden and played through every
// input path, and what each must give. They are files of the first format
// and game 1.0.0, which every release of the same rules must play.
TEST(GoldenReplays, EachPlaysToItsKeptDigest)
{
    std::vector<Golden> list = goldens(SPARKRALLY_REPLAYS);
    ASSERT_GE(list.size(), 13u) << SPARKRALLY_REPLAYS "/golden.txt";
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
        EXPECT_EQ(back.verdict.drifted, 0u)
            << g.name << " drifts at frame " << back.verdict.drifted << ": " << rules_changed;
        EXPECT_EQ(back.frames, g.frames) << g.name << ": " << rules_changed;
        EXPECT_EQ(back.pointsp, g.pointsp) << g.name << ": " << rules_changed;
        EXPECT_EQ(back.pointse, g.pointse) << g.name << ": " << rules_changed;
        EXPECT_EQ(hex, g.digest) << g.name << ": " << rules_changed;
    }
}

// A later release of the same rules plays them: the golden match, its
// game version made 1.0.1 and its checks made again, verifies.
TEST(GoldenReplays, ALaterGameOfTheSameRulesPlaysThem)
{
    FILE *f = fopen(SPARKRALLY_REPLAYS "/match.sparkrally", "rb");
    ASSERT_NE(f, nullptr) << SPARKRALLY_REPLAYS "/match.sparkrally";
    std::vector<uint8_t> bytes(1 << 16);
    bytes.resize(fread(bytes.data(), 1, bytes.size(), f));
    fclose(f);
    ASSERT_EQ(std::string(bytes.begin() + 11, bytes.begin() + 16), "1.0.0");
    bytes[15] = '1';
    auto check = [&bytes](size_t at) {
        uint32_t c = uint32_t(crc32(0, bytes.data(), uInt(at)));
        for (int i = 0; i < 4; i++)
            bytes[at + i] = uint8_t(c >> (8 * i));
    };
    check(16);
    check(bytes.size() - 4);
    replay::Replay r;
    std::string error;
    ASSERT_TRUE(replay::read(bytes.data(), bytes.size(), SPARKRALLY_VERSION, r, error)) << error;
    EXPECT_EQ(r.gameversion, "1.0.1");
    Played back = verify(r);
    EXPECT_EQ(back.verdict.drifted, 0u);
    EXPECT_EQ(back.verdict.checked, uint32_t(r.digests.size()));
}

} // namespace
