// The sparks: one spark's motion and drawing, and the ring that owns them.
// Kept in one file so that the per-frame walk can inline each spark's step
// and draw: the calls would otherwise cost as much as the step's own
// arithmetic.
#include "effects/particle.h"
#include "effects/pool.h"

#include <GL/gl.h>

#include <cmath>

#include "game/game.h"
#include "game/trig.h"

Particle::Particle(double x, double y, double angle, int ltime, double speed, int red, int green,
                   int blue, double gravity)
    : x(x), y(y), angle(angle), speed(speed), ltime(ltime), red(red), green(green), blue(blue),
      fall(0), gravity(gravity)
{
}

// Bursts give every spark a whole-degree heading from -269 to 180, so the
// cosines and sines of those 450 headings are worked out once, by the same
// functions: a load where the step would make two calls.
static const int first_heading = -269;
static const int last_heading = 180;
static const struct Headings {
    double cosine[last_heading - first_heading + 1];
    double sine[last_heading - first_heading + 1];
    Headings()
    {
        for (int h = first_heading; h <= last_heading; h++) {
            cosine[h - first_heading] = cr_cos(double(h) * DEG);
            sine[h - first_heading] = cr_sin(double(h) * DEG);
        }
    }
} headings;

// The cosine and sine of angle * DEG. Any heading off the table is
// computed, -0 among them, whose sine keeps its sign.
static inline void turn(double angle, double &c, double &s)
{
    if (angle >= first_heading && angle <= last_heading) {
        int h = int(angle);
        if (h == angle && std::signbit(angle) == (h < 0)) {
            c = headings.cosine[h - first_heading];
            s = headings.sine[h - first_heading];
            return;
        }
    }
    c = cr_cos(angle * DEG);
    s = cr_sin(angle * DEG);
}

// The walk calls step and show directly, so that they inline into it; the
// member functions run the same code for every other caller.
static inline void step(Particle &p)
{
    double c, s;
    turn(p.angle, c, s);
    p.x = c * p.speed / 100 + p.x;
    p.y = s * p.speed / 100 + p.y;
    p.y = p.y + p.fall;
    p.fall = p.fall + p.gravity;
    p.ltime = p.ltime - 1;
}

// value / 255 in single precision for the 0..255 that bursts give, worked
// out once: the three divisions are most of drawing's own arithmetic.
static const struct Intensities {
    float of[256];
    Intensities()
    {
        for (int v = 0; v < 256; v++)
            of[v] = float(v / 255.0);
    }
} intensities;

static inline float intensity(int v)
{
    return unsigned(v) < 256u ? intensities.of[v] : float(v / 255.0);
}

static inline void show(const Particle &p)
{
    glColor3f(intensity(p.red), intensity(p.green), intensity(p.blue));
    glBegin(GL_LINES);
    glVertex3f(float(p.x), float(p.y), 0.0f);
    glVertex3f(float(p.x + 1), float(p.y), 0.0f);
    glEnd();
}

void Particle::update() { step(*this); }

void Particle::draw() { show(*this); }

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
        step(*p);
        show(*p);
        if (p->get_ltime() <= 0) {
            delete p;
            obj_particle[i] = nullptr;
        }
    }
}
