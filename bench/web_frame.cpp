// The whole frame in the browser: the game's frame functions in their order
// over the web platform's OpenGL layer and WebGL, with 0, 1000 and 5000
// sparks, as the desktop's frame benchmark plays them. The 16 ms sleep is
// left out. Each frame is timed from the rewind to the swap and glFinish,
// and then to a one-pixel read: the browser's glFinish only flushes, and
// the read is what waits until the renderer has drawn the frame.
//
// Prints one line per spark count that the benchmark's driver reads:
//   web_frame sparks=N frames=F median_us=... min_us=... p90_us=... mean_us=...
//     game_us=... swap_us=... finish_us=... wait_us=...
// where the last four are medians of the frame's parts: the game's
// functions up to the sparks (with the drawing they hand to WebGL on the
// way), the swap, glFinish and the read. Arguments, all optional:
//   frames=F  timed frames per count (300)
//   warmup=W  untimed frames before them (50)
//   sync=finish  end each frame at glFinish, without the read
// Ends with "web_frame done", or "web_frame failed: ..." when no frame ran.
// Linked as the game is, with -sASYNCIFY: the page gets the thread back
// between spark counts.
#include <GL/gl.h>
#include <SDL.h>
#include <emscripten.h>
// Emscripten declares malloc_trim here rather than in malloc.h.
#include <emscripten/emmalloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/frameloop.h"
#include "game/game.h"
#include "graphics/video.h"
#include "rewind.h"
#include "ring.h"

namespace {

// What the page's WebGL runs on: the unmasked renderer where the browser
// tells it, else the masked one; and whether the clock is fine-grained
// (the browser coarsens it for pages that are not cross-origin isolated).
EM_JS(void, describewebgl, (), {
    var gl = GLctx;
    var info = gl.getExtension('WEBGL_debug_renderer_info');
    var renderer =
        info ? gl.getParameter(info.UNMASKED_RENDERER_WEBGL) : gl.getParameter(gl.RENDERER);
    var vendor = info ? gl.getParameter(info.UNMASKED_VENDOR_WEBGL) : gl.getParameter(gl.VENDOR);
    out('renderer: ' + renderer);
    out('vendor: ' + vendor);
    out('webgl: ' + gl.getParameter(gl.VERSION));
    out('isolated: ' + (self.crossOriginIsolated ? 'yes' : 'no'));
});

struct Options {
    int frames = 300;
    int warmup = 50;
    bool read = true;
};

// A count from "name=value", kept within 1..100000; false if arg is not it.
bool count(const char *arg, const char *name, int &value)
{
    size_t n = strlen(name);
    if (strncmp(arg, name, n) != 0 || arg[n] != '=')
        return false;
    char *end = nullptr;
    long v = strtol(arg + n + 1, &end, 10);
    if (end == arg + n + 1 || *end != '\0' || v < 1 || v > 100000)
        return false;
    value = int(v);
    return true;
}

bool parse(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; i++) {
        if (count(argv[i], "frames", o.frames) || count(argv[i], "warmup", o.warmup))
            continue;
        if (strcmp(argv[i], "sync=finish") == 0) {
            o.read = false;
            continue;
        }
        if (strcmp(argv[i], "sync=read") == 0) {
            o.read = true;
            continue;
        }
        printf("web_frame failed: unknown argument %s\n", argv[i]);
        return false;
    }
    return true;
}

// Microsecond stamps of one frame: start, after the sparks, after the swap,
// after glFinish, after the read.
struct Stamps {
    double at[5];
};

Stamps frame(const std::vector<Saved> &saved, bool read)
{
    Stamps s;
    s.at[0] = emscripten_get_now();
    rewind(saved);
    playframe();
    s.at[1] = emscripten_get_now();
    SDL_GL_SwapBuffers();
    s.at[2] = emscripten_get_now();
    glFinish();
    s.at[3] = emscripten_get_now();
    if (read) {
        GLubyte pixel[4];
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    }
    s.at[4] = emscripten_get_now();
    for (double &t : s.at)
        t *= 1000; // milliseconds to microseconds
    return s;
}

// The value at fraction q of the sorted times, by the nearest rank.
double rank(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    size_t i = size_t(q * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

void series(int n, const Options &o)
{
    fillring(n, true);
    pointsp = 2;
    pointse = 3;
    std::vector<Saved> saved = saveparticles(n);
    for (int i = 0; i < o.warmup; i++)
        frame(saved, o.read);
    std::vector<double> total, parts[4];
    double sum = 0;
    for (int i = 0; i < o.frames; i++) {
        Stamps s = frame(saved, o.read);
        total.push_back(s.at[4] - s.at[0]);
        sum += total.back();
        for (int k = 0; k < 4; k++)
            parts[k].push_back(s.at[k + 1] - s.at[k]);
    }
    printf("web_frame sparks=%d frames=%d median_us=%.1f min_us=%.1f p90_us=%.1f mean_us=%.1f "
           "game_us=%.1f swap_us=%.1f finish_us=%.1f wait_us=%.1f\n",
           n, o.frames, rank(total, 0.5), rank(total, 0), rank(total, 0.9), sum / double(o.frames),
           rank(parts[0], 0.5), rank(parts[1], 0.5), rank(parts[2], 0.5), rank(parts[3], 0.5));
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    if (!parse(argc, argv, o))
        return 2;
    if (initgraphics() != 0) {
        printf("web_frame failed: no video mode\n");
        return 1;
    }
    describewebgl();
    for (int n : {0, 1000, 5000}) {
        series(n, o);
        // Lets the page show the line and its driver read it.
        emscripten_sleep(0);
    }
    printf("web_frame done\n");
    return 0;
}
