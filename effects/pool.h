// The spark ring: obj_particle's 5000 slots, filled in strict cyclic order.
// The ring owns every live spark; nothing else holds one.
#ifndef SPARKRALLY_EFFECTS_POOL_H
#define SPARKRALLY_EFFECTS_POOL_H

// Creates a spark in slot particlec, releasing the spark emitted 5000
// emissions earlier if it is still there, and advances particlec. Constant
// time: it never looks for a free slot.
void emitparticle(int x, int y, int angle, int ltime, int speed, int red, int green, int blue,
                  double gravity);

// Steps and draws every live spark in slot order and releases those whose
// life has run out. Called once per frame.
void updateparticles();

#endif
