// A private X server for end-to-end tests: Xvfb with its own cookie, and
// the clients that drive and watch the game's real window through it.
#ifndef SPARKRALLY_TESTS_E2E_XSESSION_H
#define SPARKRALLY_TESTS_E2E_XSESSION_H

#include <string>
#include <vector>

#include "process/run.h"

// A screenshot as rows from the top, one RGB triple a pixel.
struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    const unsigned char *at(int x, int y) const { return &rgb[size_t(y * w + x) * 3]; }
    bool white(int x, int y) const
    {
        return at(x, y)[0] > 240 && at(x, y)[1] > 240 && at(x, y)[2] > 240;
    }
    bool black(int x, int y) const { return at(x, y)[0] < 8 && at(x, y)[1] < 8 && at(x, y)[2] < 8; }
};

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

    // A WM_DELETE_WINDOW client message, as a window manager sends it.
    bool closerequest(unsigned long window) const;

    std::string display;

  private:
    Child server;
    std::string authfile;
};

#endif
