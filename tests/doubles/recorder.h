// Recording test doubles of the SDL and OpenGL calls the game makes. Linked
// in place of the real libraries, they record each call in order with its
// exact arguments (floats and doubles by their bits), hand out scripted
// events, and record SDL_Delay instead of sleeping, so whole runs take
// milliseconds.
#ifndef SPARKRALLY_TESTS_DOUBLES_RECORDER_H
#define SPARKRALLY_TESTS_DOUBLES_RECORDER_H

#include <SDL.h>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace doubles {

enum class Fn {
    SDL_Init,
    SDL_VideoDriverName,
    SDL_GL_SetAttribute,
    SDL_SetVideoMode,
    SDL_GetError,
    SDL_PollEvent,
    SDL_GetKeyState,
    SDL_GL_SwapBuffers,
    SDL_Delay,
    SDL_Quit,
    glClearColor,
    glEnable,
    glViewport,
    glMatrixMode,
    glLoadIdentity,
    glOrtho,
    glClear,
    glColor3f,
    glBegin,
    glVertex3f,
    glEnd,
    count
};

// An argument as its type and exact bits, so 0.1f and 0.1 never compare equal.
struct Arg {
    char kind; // 'i' int, 'u' unsigned, 'f' float, 'd' double, 'p' pointer
    uint64_t bits;
    bool operator==(const Arg &o) const { return kind == o.kind && bits == o.bits; }
};
Arg I(long long v);
Arg U(unsigned long long v);
Arg F(float v);
Arg D(double v);
Arg P(const void *v);

struct Call {
    Fn fn;
    std::vector<Arg> args;
    bool operator==(const Call &o) const { return fn == o.fn && args == o.args; }
};
std::ostream &operator<<(std::ostream &os, const Call &c);
const char *name(Fn fn);

// Pending events. Draining it frees nothing, so that tests can count the
// game's own allocations and releases while the game polls.
class EventQueue
{
  public:
    EventQueue &operator=(std::initializer_list<SDL_Event> events)
    {
        items.assign(events);
        next = 0;
        return *this;
    }
    void push_back(const SDL_Event &e)
    {
        if (empty()) {
            items.clear();
            next = 0;
        }
        items.push_back(e);
    }
    bool empty() const { return next == items.size(); }
    SDL_Event pop() { return items[next++]; }

  private:
    std::vector<SDL_Event> items;
    size_t next = 0;
};

// What the doubles do and what they saw. reset() restores a quiet default:
// SDL starts, the video mode opens, no events, no keys down.
struct State {
    bool recording = true; // keep every call in log; counts are always kept
    std::vector<Call> log;
    std::array<long long, size_t(Fn::count)> counts{};
    std::vector<Uint32> delays; // every SDL_Delay, in order

    int init_result = 0;      // SDL_Init's result
    bool video_fails = false; // SDL_SetVideoMode returns null
    std::string error_text = "no such device";
    std::string driver = "x11"; // the video driver SDL_VideoDriverName reports

    EventQueue queue;           // drained by SDL_PollEvent
    Uint8 keys[SDLK_LAST] = {}; // the key-state array

    int frames = 0;                              // glClear calls so far: a frame begins with one
    std::function<void(int frame)> before_frame; // at each glClear
    std::function<void(int frame)> after_frame;  // at each swap
    std::function<void(float x, float y, float z)> on_vertex;
    std::function<void(Uint32 ms)> on_delay; // at each SDL_Delay, after it is noted

    long long count(Fn fn) const { return counts[size_t(fn)]; }
};

extern State state;
void reset();

// Counts a call and, while recording, logs it. Allocates nothing otherwise,
// so tests can count the game's own allocations.
void note(Fn fn, std::initializer_list<Arg> args = {});

SDL_Event motion(int x, int y);
SDL_Event keydown(SDLKey key);
SDL_Event keyup(SDLKey key);
SDL_Event closerequest();
SDL_Event other(Uint8 type);

} // namespace doubles

#endif
