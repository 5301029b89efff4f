// Motion and drawing of one spark.
#include "effects/particle.h"

#include <GL/gl.h>

#include <cmath>

#include "game/game.h"

Particle::Particle(double x, double y, double angle, int ltime, double speed, int red, int green,
                   int blue, double gravity)
    : x(x), y(y), angle(angle), speed(speed), ltime(ltime), red(red), green(green), blue(blue),
      fall(0), gravity(gravity)
{
}

void Particle::update()
{
    x = std::cos(angle * DEG) * speed / 100 + x;
    y = std::sin(angle * DEG) * speed / 100 + y;
    y = y + fall;
    fall = fall + gravity;
    ltime = ltime - 1;
}

void Particle::draw()
{
    glColor3f(float(red / 255.0), float(green / 255.0), float(blue / 255.0));
    glBegin(GL_LINES);
    glVertex3f(float(x), float(y), 0.0f);
    glVertex3f(float(x + 1), float(y), 0.0f);
    glEnd();
}

int Particle::get_ltime() { return ltime; }
