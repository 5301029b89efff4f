// What recording costs a frame: the replay layer's own work for one frame
// (its poll, the frame kept for the writer, its swap, and every 300 frames
// the state's digest and the block encoded and deflated) beside the game's
// work for a frame with 0, 1000 and 5000 sparks, all on the do-nothing null
// platform, which gives no events: a pointer motion adds a few bytes to
// encode.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "game/frameloop.h"
#include "game/game.h"
#include "ratios.h"
#include "replay/layer.h"
#include "rewind.h"
#include "ring.h"

namespace {

std::vector<uint8_t> sunk;
void sink(const std::vector<uint8_t> &bytes)
{
    sunk.insert(sunk.end(), bytes.begin(), bytes.end());
}

void BM_recordingframe(benchmark::State &state)
{
    fillring(int(state.range(0)), true);
    layer::live(sink);
    SDL_Event e;
    for (auto _ : state) {
        while (SDL_PollEvent(&e))
            benchmark::DoNotOptimize(e);
        SDL_GL_SwapBuffers();
        if (sunk.size() > (1u << 20))
            sunk.clear();
    }
    layer::finish();
}
BENCHMARK(BM_recordingframe)->Arg(0)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_gameframe(benchmark::State &state)
{
    int n = int(state.range(0));
    fillring(n, true);
    std::vector<Saved> saved = saveparticles(n);
    layer::live(nullptr);
    for (auto _ : state) {
        rewind(saved);
        playframe();
    }
}
BENCHMARK(BM_gameframe)->Arg(0)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return runwithratios(argc, argv,
                         {{"BM_recordingframe/0", "BM_gameframe/0"},
                          {"BM_recordingframe/1000", "BM_gameframe/1000"},
                          {"BM_recordingframe/5000", "BM_gameframe/5000"}});
}
