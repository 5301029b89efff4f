// Definitions of the shared game state, with the values of a fresh run.
#include "effects/particle.h"
#include "game/game.h"

#define DEFINE(type, name, fresh) type name = fresh;
SPARKRALLY_STATE(DEFINE)
#undef DEFINE

Particle *obj_particle[5000];
SDL_Event event;

void freshstate()
{
    for (Particle *&p : obj_particle) {
        delete p;
        p = nullptr;
    }
    event = SDL_Event();
#define RESET(type, name, fresh) name = fresh;
    SPARKRALLY_STATE(RESET)
#undef RESET
}
