// The heap over whole matches: the blocks alive are exactly the ring's
// sparks, so never more than its 5000 slots, and nothing is allocated in a
// frame without a burst.
#include <algorithm>

#include "alloccount.h"
#include "game/game.h"
#include "support.h"

using namespace doubles;

namespace {

using Memory = GameTest;

TEST_F(Memory, SparkBlocksStayWithinTheRingAndQuietFramesAllocateNothing)
{
    long long live = 0, most = 0, quiet = 0, bursts = 0;
    int slot = 0;
    state.recording = false;
    state.delays.reserve(100000); // the doubles' own log must not allocate mid-frame
    state.before_frame = [&](int frame) {
        if (frame > 200000)
            state.queue.push_back(closerequest());
        state.queue.push_back(motion(100, std::clamp(int(ball_y) - 12, 0, 479)));
        slot = particlec;
        alloccount::start();
    };
    state.after_frame = [&](int) {
        alloccount::stop();
        live += alloccount::news - alloccount::deletes;
        most = std::max(most, live);
        ASSERT_EQ(live, livesparks());
        int emitted = (particlec - slot + 5000) % 5000;
        ASSERT_EQ(alloccount::news, emitted);
        if (emitted == 0)
            quiet++;
        else
            bursts++;
    };
    SDL_main(0, nullptr);
    EXPECT_EQ(pointsp, 5);
    EXPECT_GT(most, 0);
    EXPECT_GT(quiet, 1000);
    EXPECT_GT(bursts, 50);
}

TEST_F(Memory, ABurstEveryFrameReplacesTheOldestSparksBlockForBlock)
{
    long long news = 0, deletes = 0;
    state.recording = false;
    state.before_frame = [&](int frame) {
        if (frame == 100)
            state.queue.push_back(closerequest());
        ball_y = 3; // at the top edge: a burst of 501 every frame
        alloccount::start();
    };
    state.after_frame = [&](int) {
        alloccount::stop();
        news += alloccount::news;
        deletes += alloccount::deletes;
        ASSERT_EQ(news - deletes, livesparks());
    };
    SDL_main(0, nullptr);
    EXPECT_GE(news, 101 * 501);
    EXPECT_EQ(news % 501, 0);
    EXPECT_EQ(livesparks(), 5000);
}

} // namespace
