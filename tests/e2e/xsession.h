// A private X server for end-to-end tests: Xvfb with its own cookie, and
// the clients that drive and watch the game's real window through it.
#ifndef SPARKRALLY_TESTS_E2E_XSESSION_H
#define SPARKRALLY_TESTS_E2E_XSESSION_H

#include <string>
#include <utility>
#include <vector>

#include "process/run.h"

// A screenshot as rows from the top, one RGB triple a pixel. A pixel outside
// it, or in an image that could not be taken, reads as black.
struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    const unsigned char *at(int x, int y) const
    {
        static const unsigned char none[3] = {0, 0, 0};
        if (x < 0 || y < 0 || x >= w || y >= h || rgb.size() < size_t(w) * size_t(h) * 3)
            return none;
        return &rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
    }
    bool white(int x, int y) const
    {
        return at(x, y)[0] > 240 && at(x, y)[1] > 240 && at(x, y)[2] > 240;
    }
    bool black(int x, int y) const { return at(x, y)[0] < 8 && at(x, y)[1] < 8 && at(x, y)[2] < 8; }
    // The rows of column x that are white, as a run [first, last]; -1 if none.
    std::pair<int, int> whiterun(int x) const;
};

// Whether the paddle moved by `pixels` while a key was held for some whole
// number of frames at the keys' profile: 3 pixels in the first, 1 more in
// each next, up to 16.
bool keysprofile(int pixels);

class XSession
{
  public:
    XSession(); // starts Xvfb; ok() says whether it came up
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool ok() const { return !display.empty(); }

    // DISPLAY and XAUTHORITY for a client of this server.
    std::vector<std::string> env() const;

    // Runs an X client (xdotool, import, ...) against this server.
    Outcome client(const std::vector<std::string> &argv, int timeout_ms = 10000) const;

    // The top-level window of a process, waiting for it to be mapped; 0 if
    // none appears in time.
    unsigned long window(pid_t pid, int timeout_ms = 10000) const;

    // The window's contents; saved as build/e2e-shots/NAME.png for people.
    Image shot(unsigned long window, const std::string &name) const;

    // Focuses the window and holds key down for ms, as a person presses it.
    void holdkey(unsigned long window, const std::string &key, int ms) const;

    // A WM_DELETE_WINDOW client message, as a window manager sends it.
    bool closerequest(unsigned long window) const;

    // The class part of the window's WM_CLASS, which docks match against a
    // desktop entry's StartupWMClass; empty if it has none.
    std::string wmclass(unsigned long window) const;

    std::string display;

  private:
    Child server;
    std::string authfile;
};

#endif
