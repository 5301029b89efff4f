// Immediate-mode drawing of everything but the sparks.
#include "graphics/scene.h"

#include <GL/gl.h>

#include "game/game.h"
#include "game/trig.h"

static void quad(int x0, int y0, int x1, int y1)
{
    glBegin(GL_QUADS);
    glVertex3f(float(x0), float(y0), 0.0f);
    glVertex3f(float(x0), float(y1), 0.0f);
    glVertex3f(float(x1), float(y1), 0.0f);
    glVertex3f(float(x1), float(y0), 0.0f);
    glEnd();
}

void drawbar(int cy, bool right)
{
    int outer = right ? 638 : 2;
    int inner = right ? outer - 3 : outer + 3;
    quad(outer, cy - barsize, inner, cy + barsize);
}

void drawbars()
{
    // The only colour set outside the sparks: the ball and pips that follow
    // inherit this white.
    glColor3f(1, 1, 1);
    drawbar(int(playery), false);
    drawbar(int(enemyy), true);
}

// The outline's eleven points every 36 degrees, the last closing it onto
// the first: their sines and cosines are the same every frame, so they are
// worked out once.
static const struct Outline {
    double sine[11], cosine[11];
    Outline()
    {
        for (int k = 0; k <= 10; k++) {
            double t = 36 * k * double(DEG);
            sine[k] = cr_sin(t);
            cosine[k] = cr_cos(t);
        }
    }
} outline;

void drawball()
{
    glBegin(GL_LINE_STRIP);
    for (int k = 0; k <= 10; k++) {
        double y = ball_y + ball_r * outline.sine[k];
        double x = ball_x + ball_r * outline.cosine[k];
        glVertex3f(float(x), float(y), 0.0f);
    }
    glEnd();
}

static void piprow(int start, int n)
{
    for (int k = 0; k < n; k++) {
        int s = start + 5 * k;
        quad(s, 2, s + 3, 15);
    }
}

void drawpoints()
{
    piprow(10, pointsp);
    piprow(630 - 5 * pointse, pointse);
}
