// Emission into and the per-frame walk of the spark ring.
#include "effects/pool.h"

#include "effects/particle.h"
#include "game/game.h"

void emitparticle(int x, int y, int angle, int ltime, int speed, int red, int green, int blue,
                  double gravity)
{
    int i = particlec;
    // The slot's previous spark, if still alive, is the oldest that can be:
    // it ends at once so the ring never holds more than 5000.
    delete obj_particle[i];
    obj_particle[i] = new Particle(x, y, angle, ltime, speed, red, green, blue, gravity);
    particlec++;
    if (particlec == anzahl_particle)
        particlec = 0;
}

void updateparticles()
{
    for (int i = 0; i < anzahl_particle; i++) {
        Particle *p = obj_particle[i];
        if (!p)
            continue;
        p->update();
        p->draw();
        if (p->get_ltime() <= 0) {
            delete p;
            obj_particle[i] = nullptr;
        }
    }
}
