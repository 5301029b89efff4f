// Fills the spark ring for the benchmarks: n sparks that outlive any run,
// with the spread of headings, speeds and colours that bursts give.
#ifndef SPARKRALLY_BENCH_RING_H
#define SPARKRALLY_BENCH_RING_H

#include <malloc.h>

#include "effects/particle.h"
#include "effects/pool.h"
#include "effects/random.h"
#include "game/game.h"

// Empties the ring, then emits n sparks: all from the field's centre, or
// spread over the field when `spread`.
inline void fillring(int n, bool spread)
{
    for (Particle *&p : obj_particle) {
        delete p;
        p = nullptr;
    }
    particlec = 0;
    // Hand freed blocks back, so that every fill lays its sparks out in the
    // heap alike, whatever ran before: walk times depend on that layout.
    malloc_trim(0);
    random(12545);
    for (int i = 0; i < n; i++) {
        uint32_t a = random(0), b = random(0);
        emitparticle(spread ? int(a % 640u) : 320, spread ? int(b % 480u) : 240,
                     int(a % 360u) - 180, 1 << 30, int(b % 200u), int(a % 256u), int(b % 256u),
                     int((a >> 8) % 256u), 0.0);
    }
}

#endif
