// The game's sine and cosine, and the fused multiply-add under them, give
// the same bits on every target the unit tests run on: each digest below
// was taken once and must come out the same natively, in wasm and on
// Windows. A maths library that answers with other last bits fails here.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "effects/particle.h"
#include "fma.h"
#include "game/game.h"
#include "game/trig.h"
#include "hardest_inputs.h"
#include "support.h"

namespace {

uint64_t bits(double d)
{
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

TEST(Trig, FusedMultiplyAddRoundsOnce)
{
    // Operands read through volatile, so that the compiler cannot fold them.
    struct {
        volatile double x, y, z;
        double exact;
    } rows[] = {
        // (1 + 2^-52)^2 + 2^-53 lies just above a tie: a plain multiply-add
        // loses the 2^-104, and so does a sum rounded first to 64 bits.
        {0x1.0000000000001p0, 0x1.0000000000001p0, 0x1p-53, 0x1.0000000000003p0},
        // The product's low part alone survives the cancellation.
        {0x1.0000000000001p0, 0x1.0000000000001p0, -0x1.0000000000002p0, 0x1p-104},
        {0x1.fffffffffffffp-1, 0x1.0000000000001p0, -1.0, 0x1.ffffffffffffep-54},
        // Below half the smallest subnormal: -0, where the rounded product
        // would cancel to +0.
        {0x1.0000000000001p-600, 0x1.8p-474, -0x1p-1073, -0.0},
        // An infinite addend wins over a product that would overflow alone.
        {0x1p1000, -0x1p1000, INFINITY, INFINITY},
    };
    for (auto &r : rows)
        EXPECT_EQ(bits(sr_fma(r.x, r.y, r.z)), bits(r.exact))
            << std::hexfloat << r.x << " * " << r.y << " + " << r.z << " gave "
            << sr_fma(r.x, r.y, r.z) << ", not " << r.exact;
}

TEST(Trig, EveryWholeDegreeSparkHeadingStepsByTheFunctions)
{
    // Bursts give headings from -269 to 180; a spark's step must give
    // exactly what the functions give for each, however it finds them.
    Fnv1a d;
    for (int h = -269; h <= 180; h++) {
        Particle p(0, 0, h, 2, 100, 0, 0, 0, 0);
        p.update();
        double c = cr_cos(h * double(DEG)), s = cr_sin(h * double(DEG));
        EXPECT_EQ(bits(p.x), bits(c * 100 / 100 + 0)) << h;
        EXPECT_EQ(bits(p.y), bits(s * 100 / 100 + 0)) << h;
        d.add(c);
        d.add(s);
    }
    EXPECT_EQ(d.h, 0x03cf10d26977466eull);
    // Off the whole degrees, and -0, the step still gives the functions'.
    for (double a : {0.5, -269.5, 180.25, 1e6, -0.0}) {
        Particle p(0, 0, a, 2, 100, 0, 0, 0, 0);
        p.update();
        EXPECT_EQ(bits(p.x), bits(cr_cos(a * DEG) * 100 / 100 + 0)) << a;
        EXPECT_EQ(bits(p.y), bits(cr_sin(a * DEG) * 100 / 100 + 0)) << a;
    }
}

TEST(Trig, HardestInputsGiveTheSameBitsEverywhere)
{
    // CORE-MATH's lists of the inputs hardest to round, and their negatives.
    Fnv1a ds, dc;
    for (double x : hardest_sin) {
        ds.add(cr_sin(x));
        ds.add(cr_sin(-x));
    }
    for (double x : hardest_cos) {
        dc.add(cr_cos(x));
        dc.add(cr_cos(-x));
    }
    EXPECT_EQ(ds.h, 0x0f27d80a0e78e917ull);
    EXPECT_EQ(dc.h, 0xc379bc00d2953797ull);
}

// Ball headings spread over everything the game can reach before a fold,
// -217.5 to 577.5 degrees, with every bit of the fraction in play.
TEST(Trig, AMillionBallHeadingsGiveTheSameBitsEverywhere)
{
    uint64_t state = 12545;
    Fnv1a d;
    for (int i = 0; i < 1000000; i++) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        double h = -217.5 + double(state >> 11) * 0x1p-53 * 795.0;
        double x = h * DEG;
        d.add(cr_sin(x));
        d.add(cr_cos(x));
    }
    EXPECT_EQ(d.h, 0xe7b96b1288fe3857ull);
}

} // namespace
