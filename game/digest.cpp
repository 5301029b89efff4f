// The game state's digest, word by word.
#include "game/digest.h"

#include <cstring>

#include "effects/particle.h"
#include "game/game.h"

static const uint64_t fnv_basis = 14695981039346656037ull;
static const uint64_t fnv_prime = 1099511628211ull;

static inline uint64_t mix(uint64_t h, uint64_t word) { return (h ^ word) * fnv_prime; }

static inline uint64_t mix(uint64_t h, double d)
{
    uint64_t bits;
    memcpy(&bits, &d, sizeof bits);
    return mix(h, bits);
}

static inline uint64_t mix(uint64_t h, int i) { return mix(h, uint64_t(int64_t(i))); }

uint64_t chaindigest(uint64_t chain, uint64_t digest) { return mix(chain, digest); }

uint64_t statedigest()
{
    uint64_t h = fnv_basis;
    // A bool goes in as the int 0 or 1.
#define MIX(type, name, fresh) h = mix(h, name);
    SPARKRALLY_STATE(MIX)
#undef MIX
    for (const Particle *p : obj_particle) {
        // An empty slot is one word, 0; a spark is 1 and then its values.
        if (!p) {
            h = mix(h, uint64_t(0));
            continue;
        }
        h = mix(h, uint64_t(1));
        h = mix(h, p->x);
        h = mix(h, p->y);
        h = mix(h, p->angle);
        h = mix(h, p->speed);
        h = mix(h, p->ltime);
        h = mix(h, p->red);
        h = mix(h, p->green);
        h = mix(h, p->blue);
        h = mix(h, p->fall);
        h = mix(h, p->gravity);
    }
    return h;
}
