// Draws a fixed set of scenes through the game's own drawing functions and
// prints every lit pixel of each as text. Built for the desktop (real SDL
// and OpenGL) and for the browser (the web platform's OpenGL layer), so that
// the two outputs can be compared pixel by pixel.
//
// Output, one item a line:
//   bits R G B           the colour bits of the buffer that is read
//   scene NAME LINES     a scene starts; it holds LINES line segments
//   px NAME X Y R G B    a lit pixel, Y counted from the top of the field
//   end                  every scene was drawn
#include <GL/gl.h>

#include <cstdio>
#include <vector>

#include "effects/pool.h"
#include "game/game.h"
#include "graphics/scene.h"
#include "graphics/video.h"

namespace {

// The ball's outline is ten segments; a spark is one.
const int ball_lines = 10;

// Finishes the scene and prints its lit pixels. The read is taken from the
// buffer being drawn into, which is what the next swap would show. Lines
// are counted because rasterizers may differ at a line's end pixels, while
// rectangles on whole pixels cover the same pixels on every OpenGL.
void dump(const char *name, int lines)
{
    glFinish();
    std::vector<unsigned char> px(640 * 480 * 4);
    // WebGL reads this buffer only as RGBA bytes; the desktop reads them too.
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    std::printf("scene %s %d\n", name, lines);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            // OpenGL's rows run from the bottom; the field's from the top.
            const unsigned char *p = &px[((479 - y) * 640 + x) * 4];
            if (p[0] || p[1] || p[2])
                std::printf("px %s %d %d %d %d %d\n", name, x, y, p[0], p[1], p[2]);
        }
}

void ballat(const char *name, double x, double y)
{
    glClear(GL_COLOR_BUFFER_BIT);
    ball_x = x;
    ball_y = y;
    ball_r = 5;
    glColor3f(1, 1, 1);
    drawball();
    dump(name, ball_lines);
}

} // namespace

int main()
{
    if (initgraphics() != 0)
        return 1;
    GLint bits[3];
    glGetIntegerv(GL_RED_BITS, &bits[0]);
    glGetIntegerv(GL_GREEN_BITS, &bits[1]);
    glGetIntegerv(GL_BLUE_BITS, &bits[2]);
    std::printf("bits %d %d %d\n", bits[0], bits[1], bits[2]);

    // Paddles: the computer's centre is truncated toward zero.
    glClear(GL_COLOR_BUFFER_BIT);
    playery = 150;
    enemyy = 300.7;
    drawbars();
    dump("paddles", 0);

    // Paddles at the field's edges, partly outside it.
    glClear(GL_COLOR_BUFFER_BIT);
    playery = 5;
    enemyy = 470;
    drawbars();
    dump("paddles-edge", 0);

    glClear(GL_COLOR_BUFFER_BIT);
    pointsp = 2;
    pointse = 4;
    glColor3f(1, 1, 1);
    drawpoints();
    dump("pips", 0);

    ballat("ball-centre", 320, 240);
    ballat("ball-fraction", 100.5, 200.25);
    ballat("ball-odd", 37.3, 411.7);
    ballat("ball-top", 600.8, 5.5);

    // A handful of sparks in full and mixed colours, in headings that leave
    // them between pixels, one of them falling. They live for the seven
    // frames drawn here, so the ring is empty again afterwards.
    glClear(GL_COLOR_BUFFER_BIT);
    emitparticle(100, 100, 30, 7, 150, 255, 0, 0, 0.0);
    emitparticle(200, 120, 200, 7, 90, 0, 255, 0, 0.0);
    emitparticle(300, 140, 315, 7, 199, 0, 0, 255, 0.0);
    emitparticle(400, 160, 90, 7, 55, 255, 255, 0, 0.0);
    emitparticle(500, 180, -90, 7, 120, 0, 128, 255, 0.0);
    emitparticle(150, 300, 135, 7, 170, 200, 30, 120, 0.0);
    emitparticle(250, 320, 10, 7, 33, 12, 180, 240, 0.0);
    emitparticle(350, 340, 250, 7, 101, 155, 99, 0, 0.3);
    updateparticles();
    dump("sparks-first", 8);
    for (int i = 0; i < 6; i++) {
        glClear(GL_COLOR_BUFFER_BIT);
        updateparticles();
    }
    dump("sparks-later", 8);

    // A frame in the game's order: paddles, ball and pips, then two sparks
    // that land on the player's paddle (x 3 and 4) and must cover it.
    glClear(GL_COLOR_BUFFER_BIT);
    playery = 200;
    enemyy = 200;
    drawbars();
    ball_x = 12.25;
    ball_y = 201.5;
    drawball();
    drawpoints();
    emitparticle(2, 190, 20, 20, 100, 0, 40, 200, 0.0);
    emitparticle(3, 205, -15, 20, 100, 0, 20, 170, 0.0);
    updateparticles();
    dump("frame", ball_lines + 2);

    std::printf("end\n");
    return 0;
}
