#include "xsession.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

std::pair<int, int> Image::whiterun(int x) const
{
    int first = -1, last = -1;
    for (int y = 0; y < h; y++)
        if (white(x, y)) {
            if (first < 0)
                first = y;
            last = y;
        }
    return {first, last};
}

static std::string cookie()
{
    std::random_device rd;
    char buf[33];
    for (int i = 0; i < 32; i += 8)
        snprintf(buf + i, 9, "%08x", unsigned(rd()));
    return buf;
}

XSession::XSession()
{
    char path[] = "/tmp/sparkrally-xauth-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return;
    close(fd);
    authfile = path;
    std::string magic = cookie();
    // The server loads every cookie in its file; the client needs one for
    // the display number, which is known only once the server has picked it.
    if (run({"xauth", "-q", "-f", authfile, "add", ":0", ".", magic}, {}, 5000).status != 0)
        return;
    server = spawn({"Xvfb", "-displayfd", "1", "-auth", authfile, "-screen", "0", "1024x768x24",
                    "-nolisten", "tcp", "-noreset"});
    std::string n = readline(server, 10000);
    if (n.empty() || n.back() != '\n')
        return;
    n.pop_back();
    if (run({"xauth", "-q", "-f", authfile, "add", ":" + n, ".", magic}, {}, 5000).status != 0)
        return;
    display = ":" + n;
}

XSession::~XSession()
{
    if (server.pid > 0) {
        kill(server.pid, SIGTERM);
        finish(server, 5000);
    }
    if (!authfile.empty())
        unlink(authfile.c_str());
}

std::vector<std::string> XSession::env() const
{
    return {"DISPLAY=" + display, "XAUTHORITY=" + authfile};
}

Outcome XSession::client(const std::vector<std::string> &argv, int timeout_ms) const
{
    return run(argv, env(), timeout_ms);
}

unsigned long XSession::window(pid_t pid, int timeout_ms) const
{
    long long deadline = nowms() + timeout_ms;
    while (nowms() < deadline) {
        Outcome r =
            client({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}, 5000);
        if (r.status == 0 && !r.out.empty())
            return std::stoul(r.out);
        usleep(50000);
    }
    return 0;
}

Image XSession::shot(unsigned long window, const std::string &name) const
{
    Image img;
    mkdir("e2e-shots", 0755);
    std::string png = "e2e-shots/" + name + ".png";
    if (client({"import", "-window", std::to_string(window), png}).status != 0)
        return img;
    Outcome raw = run({"convert", png, "-depth", "8", "rgb:-"}, {}, 10000);
    Outcome size = run({"identify", "-format", "%w %h", png}, {}, 10000);
    if (raw.status != 0 || sscanf(size.out.c_str(), "%d %d", &img.w, &img.h) != 2 ||
        raw.out.size() != size_t(img.w * img.h * 3))
        return Image();
    img.rgb.assign(raw.out.begin(), raw.out.end());
    return img;
}

void XSession::holdkey(unsigned long window, const std::string &key, int ms) const
{
    client({"xdotool", "windowfocus", "--sync", std::to_string(window)});
    client({"xdotool", "keydown", key});
    usleep(useconds_t(ms) * 1000);
    client({"xdotool", "keyup", key});
}

bool XSession::closerequest(unsigned long window) const
{
    setenv("XAUTHORITY", authfile.c_str(), 1);
    Display *d = XOpenDisplay(display.c_str());
    if (!d)
        return false;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(d, window, False, NoEventMask, &ev);
    XSync(d, False);
    XCloseDisplay(d);
    return sent != 0;
}

std::string XSession::wmclass(unsigned long window) const
{
    setenv("XAUTHORITY", authfile.c_str(), 1);
    Display *d = XOpenDisplay(display.c_str());
    if (!d)
        return "";
    XClassHint hint{};
    std::string name;
    if (XGetClassHint(d, window, &hint)) {
        if (hint.res_class)
            name = hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    XCloseDisplay(d);
    return name;
}

bool keysprofile(int pixels)
{
    int moved = 0;
    for (int frame = 0; moved < pixels; frame++)
        moved += std::min(3 + frame, 16);
    return pixels > 0 && moved == pixels;
}
