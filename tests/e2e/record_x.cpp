// Records the corpus's window matches into the folder named on the command
// line: the real game (and, given Wine and the Windows build, the real
// sparkrally.exe) with --record, in a window on a private Xvfb, played by
// the X server's own pointer moved through XTEST by xdotool, as a person's
// mouse moves it. The pointer follows the ball as the window shows it, a
// little off at times, so the matches have rallies and goals.
// scripts/record_corpus.sh runs it; each file's line in the list comes
// from verifying it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "xsession.h"

namespace {

enum class Ending { escape, close };

struct Match {
    const char *name;
    bool wine;
    int play_ms;  // from the window's appearance to the ending
    int pause_ms; // when P pauses for two seconds; 0 for no pause
    Ending ending;
};

const Match matches[] = {
    {"x11-escape", false, 20000, 0, Ending::escape},
    {"x11-close", false, 15000, 0, Ending::close},
    {"x11-pause", false, 20000, 8000, Ending::escape},
    {"wine-escape", true, 20000, 0, Ending::escape},
};

void sleepms(int ms) { usleep(useconds_t(ms) * 1000); }

// The ball's centre row in the window, from the X server's copy of it: the
// white in the field's interior, away from the paddles and the pips; -1
// when it is not in play.
int ballrow(const XSession &x, unsigned long win)
{
    setenv("XAUTHORITY", x.env()[1].substr(11).c_str(), 1);
    Display *d = XOpenDisplay(x.display.c_str());
    if (!d)
        return -1;
    int row = -1;
    XImage *img = XGetImage(d, win, 8, 20, 624, 460, AllPlanes, ZPixmap);
    if (img) {
        int top = -1, bottom = -1;
        for (int y = 0; y < 460; y++)
            for (int col = 0; col < 624; col += 2)
                if ((XGetPixel(img, col, y) & 0xffffff) == 0xffffff) {
                    if (top < 0)
                        top = y;
                    bottom = y;
                    break;
                }
        if (top >= 0)
            row = 20 + (top + bottom) / 2;
        XDestroyImage(img);
    }
    XCloseDisplay(d);
    return row;
}

// Moves the X pointer for ms, after the ball, off by a slow swing of up to
// 15 rows either way (the paddle is 40 rows tall: an edge sends the ball off at an angle).
void play(const XSession &x, unsigned long win, int ms, long long t0)
{
    long long end = nowms() + ms;
    int row = 240;
    while (nowms() < end) {
        int ball = ballrow(x, win);
        double t = double(nowms() - t0) / 1000;
        if (ball >= 0)
            row = ball + int(std::lround(15 * std::sin(t * 0.9)));
        else
            row = 240 + int(std::lround(120 * std::sin(t * 2.1)));
        row = row < 0 ? 0 : row > 479 ? 479 : row;
        x.client({"xdotool", "mousemove", "--window", std::to_string(win),
                  std::to_string(300 + int(std::lround(40 * std::sin(t * 1.3)))),
                  std::to_string(row)});
        sleepms(30);
    }
}

// Records one match; false, saying why, when it did not end cleanly.
bool record(const Match &m, const std::string &folder, const std::string &wine64,
            const std::string &winbuild)
{
    XSession x;
    if (!x.ok()) {
        fprintf(stderr, "%s: Xvfb did not start\n", m.name);
        return false;
    }
    std::string path = folder + "/" + m.name + ".sparkrally";
    std::vector<std::string> argv = {SPARKRALLY_BIN, "--record", path};
    std::vector<std::string> env = x.env();
    std::string prefix, stage;
    if (m.wine) {
        prefix = tempdir("wineprefix");
        stage = tempdir("windows");
        for (const char *f : {"sparkrally.exe", "SDL.dll", "SDL2.dll"})
            if (run({"cp", winbuild + "/" + f, stage}, {}, 10000).status != 0) {
                fprintf(stderr, "%s: no %s in %s\n", m.name, f, winbuild.c_str());
                return false;
            }
        argv = {wine64, stage + "/sparkrally.exe", "--record", "Z:" + path};
        std::vector<std::string> wine = wineenv(prefix);
        env.insert(env.end(), wine.begin(), wine.end());
    }
    Child game = spawn(argv, env);
    unsigned long win = game.pid > 0 ? x.window(game.pid, 60000) : 0;
    bool ok = win != 0;
    if (ok) {
        long long t0 = nowms();
        if (m.pause_ms) {
            play(x, win, m.pause_ms, t0);
            x.holdkey(win, "p", 60);
            play(x, win, 2000, t0); // the pointer's motions while paused are kept too
            x.holdkey(win, "p", 60);
        }
        play(x, win, m.play_ms - m.pause_ms, t0);
        if (m.ending == Ending::escape)
            x.holdkey(win, "Escape", 100);
        else
            ok = x.closerequest(win);
    }
    Outcome r = finish(game, 20000);
    if (!ok || r.timedout || r.status != 0)
        fprintf(stderr, "%s: %s, status %d%s\n%s", m.name, win ? "ended" : "no window appeared",
                r.status, r.timedout ? " (killed)" : "", r.err.c_str());
    if (m.wine) {
        run({"wineserver", "-k"}, {"WINEPREFIX=" + prefix}, 20000);
        run({"rm", "-rf", prefix, stage}, {}, 60000);
    }
    return ok && !r.timedout && r.status == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 4) {
        fprintf(stderr, "usage: record_x FOLDER [WINE64 WINDOWS_BUILD]\n");
        return 2;
    }
    bool ok = true;
    for (const Match &m : matches) {
        if (m.wine && argc != 4)
            continue;
        bool made = record(m, argv[1], argc == 4 ? argv[2] : "", argc == 4 ? argv[3] : "");
        printf("%s.sparkrally %s\n", m.name, made ? "recorded" : "FAILED");
        ok = ok && made;
    }
    return ok ? 0 : 1;
}
