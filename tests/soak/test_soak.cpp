// Long play with hostile input: whole matches back to back, each from a
// fresh process state, with every frame's invariants checked. The frame
// count comes from SPARKRALLY_SOAK_FRAMES (100000 by default).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "doubles/recorder.h"
#include "game/game.h"
#include "watch.h"

namespace {

// The test's own generator, apart from the game's.
class Dice
{
  public:
    explicit Dice(uint64_t seed) : s(seed) {}
    uint64_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    unsigned below(unsigned n) { return unsigned(next() % n); }
    bool chance(double p) { return double(next() % 1000000) < p * 1000000; }

  private:
    uint64_t s;
};

// Pointer rows: the edges often, anywhere sometimes, and mostly near the
// ball so that rallies run and sparks fly.
int pointerrow(Dice &d)
{
    static const int edges[] = {0, 479, 480, 65535};
    unsigned pick = d.below(10);
    if (pick < 3)
        return edges[d.below(4)];
    if (pick < 5)
        return int(d.below(65536));
    return std::clamp(int(ball_y) + int(d.below(61)) - 30, 0, 65535);
}

// Mostly motion, then keys, focus and buttons, and now and then an event
// of any type at all (a close request among them).
SDL_Event anyevent(Dice &d)
{
    using namespace doubles;
    unsigned pick = d.below(100);
    if (pick < 60)
        return motion(int(d.below(65536)), pointerrow(d));
    if (pick < 70)
        return keydown(SDLKey(d.below(SDLK_LAST)));
    if (pick < 80)
        return keyup(SDLKey(d.below(SDLK_LAST)));
    if (pick < 88)
        return other(SDL_ACTIVEEVENT);
    if (pick < 98)
        return other(d.chance(0.5) ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
    return d.chance(0.9) ? other(Uint8(d.below(256))) : other(SDL_USEREVENT);
}

TEST(Soak, HostileInputOverManyMatchesKeepsEveryInvariant)
{
    const char *env = std::getenv("SPARKRALLY_SOAK_FRAMES");
    const long long total = env ? std::atoll(env) : 100000;
    Dice d(0x5eed5eedULL);
    Watched w;
    int runs = 0;
    while (w.frames < total && w.failure.empty()) {
        Feed feed = [&](int) {
            using namespace doubles;
            // Escape held now and then: a key-down in such a frame ends the run.
            state.keys[SDLK_ESCAPE] = d.chance(0.0003);
            bool asked = false;
            unsigned n = 0;
            if (d.chance(0.0005))
                n = 1 + d.below(10000);
            else if (d.chance(0.05))
                n = 1 + d.below(100);
            else if (d.chance(0.3))
                n = 1 + d.below(3);
            else
                state.queue.push_back(motion(100, pointerrow(d)));
            for (unsigned i = 0; i < n; i++) {
                SDL_Event e = anyevent(d);
                asked = asked || e.type == SDL_QUIT ||
                        (e.type == SDL_KEYDOWN && state.keys[SDLK_ESCAPE]);
                state.queue.push_back(e);
            }
            w.events += n + 1;
            return asked;
        };
        watchrun(feed, int(std::min<long long>(total - w.frames, 1000000)), w);
        runs++;
    }
    EXPECT_EQ(w.failure, "");
    EXPECT_GE(w.frames, total);
    EXPECT_GT(w.emitted, 0);
    EXPECT_GT(w.matches, 0);
    std::printf("soak: %lld frames, %d runs (%d matches played out), %lld events, %lld sparks, "
                "at most %d live, every frame checked\n",
                w.frames, runs, w.matches, w.events, w.emitted, w.most_live);
}

} // namespace
