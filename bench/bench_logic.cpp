// The game's spark logic and bursts without drawing: OpenGL and SDL calls go
// to do-nothing stand-ins. Beside them, the floor that the rules impose on
// a spark's step: one cosine and one sine of its heading.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "effects/particle.h"
#include "effects/pool.h"
#include "effects/random.h"
#include "game/collisions.h"
#include "game/game.h"
#include "game/trig.h"
#include "ratios.h"
#include "ring.h"

namespace {

void perspark(benchmark::State &state, int n)
{
    if (n > 0)
        state.counters["ns_per_spark"] = benchmark::Counter(
            n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_updateparticles(benchmark::State &state)
{
    int n = int(state.range(0));
    fillring(n, false);
    for (auto _ : state)
        updateparticles();
    perspark(state, n);
}
BENCHMARK(BM_updateparticles)->Arg(0)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_cossin_floor(benchmark::State &state)
{
    int n = int(state.range(0));
    fillring(n, false);
    std::vector<double> angles;
    for (int i = 0; i < n; i++)
        angles.push_back(obj_particle[i]->angle);
    for (auto _ : state)
        for (double a : angles) {
            double c = cr_cos(a * DEG), s = cr_sin(a * DEG);
            benchmark::DoNotOptimize(c);
            benchmark::DoNotOptimize(s);
        }
    perspark(state, n);
}
BENCHMARK(BM_cossin_floor)->Arg(0)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

// One collision step with a paddle hit, then with a corner hit (paddle and
// top edge), into a full ring: 501 or 1002 sparks made, as many released.
void BM_burst(benchmark::State &state, double y, double paddle)
{
    fillring(5000, false);
    for (auto _ : state) {
        ball_x = 0;
        ball_y = y;
        ball_angle = 200;
        ball_speed = 4;
        playery = paddle;
        checkcollisions();
    }
}
BENCHMARK_CAPTURE(BM_burst, paddle, 240.0, 240.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_burst, corner, 5.0, 20.0)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return runwithratios(argc, argv,
                         {{"BM_updateparticles/1000", "BM_cossin_floor/1000"},
                          {"BM_updateparticles/5000", "BM_cossin_floor/5000"}});
}
