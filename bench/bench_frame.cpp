// The whole frame on real SDL and Mesa (offscreen driver, no display): the
// game's frame functions in their order, against a floor that issues exactly
// the same OpenGL calls from precomputed values with no game logic. Both end
// with the buffer swap and glFinish, so the renderer's deferred work counts
// on both sides. The 16 ms sleep is left out of both.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "effects/particle.h"
#include "effects/random.h"
#include "game/frameloop.h"
#include "game/game.h"
#include "game/trig.h"
#include "graphics/video.h"
#include "ratios.h"
#include "rewind.h"
#include "ring.h"

namespace {

void BM_gameframe(benchmark::State &state)
{
    int n = int(state.range(0));
    fillring(n, true);
    pointsp = 2;
    pointse = 3;
    std::vector<Saved> saved = saveparticles(n);
    // The rewind is timed with the frame: pausing the clock costs more than
    // its few thousand stores, and stalls the renderer's threads.
    for (auto _ : state) {
        rewind(saved);
        playframe();
        SDL_GL_SwapBuffers();
        glFinish();
    }
}
BENCHMARK(BM_gameframe)->Arg(0)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

struct Line {
    float r, g, b, x0, x1, y;
};

void quad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, 0);
    glVertex3f(x0, y1, 0);
    glVertex3f(x1, y1, 0);
    glVertex3f(x1, y0, 0);
    glEnd();
}

void BM_floorframe(benchmark::State &state)
{
    int n = int(state.range(0));
    fillring(n, true);
    // What the game's frame draws, worked out once.
    std::vector<Line> lines;
    for (int i = 0; i < n; i++) {
        Particle q = *obj_particle[i];
        q.update();
        lines.push_back({float(q.red / 255.0), float(q.green / 255.0), float(q.blue / 255.0),
                         float(q.x), float(q.x + 1), float(q.y)});
    }
    float ring[11][2];
    for (int k = 0; k < 11; k++) {
        double t = 36 * k * double(DEG);
        ring[k][0] = float(316.2412 + 5 * cr_cos(t));
        ring[k][1] = float(238.6319 + 5 * cr_sin(t));
    }
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        quad(2, -20, 5, 20);
        quad(638, 300, 635, 340);
        glBegin(GL_LINE_STRIP);
        for (auto &v : ring)
            glVertex3f(v[0], v[1], 0);
        glEnd();
        for (float s : {10.f, 15.f, 615.f, 620.f, 625.f})
            quad(s, 2, s + 3, 15);
        for (const Line &l : lines) {
            glColor3f(l.r, l.g, l.b);
            glBegin(GL_LINES);
            glVertex3f(l.x0, l.y, 0);
            glVertex3f(l.x1, l.y, 0);
            glEnd();
        }
        SDL_GL_SwapBuffers();
        glFinish();
    }
}
BENCHMARK(BM_floorframe)->Arg(0)->Arg(1000)->Arg(5000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    // Frames are measured on Mesa offscreen, whatever driver the session names.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // llvmpipe renders on the calling thread, so each frame's rendering is
    // timed where it is issued, without the scheduling noise of its threads.
    setenv("LP_NUM_THREADS", "0", 0);
    if (initgraphics() != 0)
        return 1;
    const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
    printf("renderer: %s\n", renderer ? renderer : "unknown");
    int status = runwithratios(argc, argv,
                               {{"BM_gameframe/0", "BM_floorframe/0"},
                                {"BM_gameframe/1000", "BM_floorframe/1000"},
                                {"BM_gameframe/5000", "BM_floorframe/5000"}});
    SDL_Quit();
    return status;
}
