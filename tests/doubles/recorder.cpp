// The recorder behind the SDL and OpenGL doubles.
#include "recorder.h"

#include <cstring>
#include <iomanip>

namespace doubles {

State state;

void reset() { state = State(); }

void note(Fn fn, std::initializer_list<Arg> args)
{
    state.counts[size_t(fn)]++;
    if (state.recording)
        state.log.push_back({fn, std::vector<Arg>(args)});
}

Arg I(long long v) { return {'i', uint64_t(v)}; }
Arg U(unsigned long long v) { return {'u', v}; }
Arg F(float v)
{
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return {'f', b};
}
Arg D(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return {'d', b};
}
Arg P(const void *v) { return {'p', uint64_t(uintptr_t(v))}; }

const char *name(Fn fn)
{
    static const char *const names[] = {"SDL_Init",
                                        "SDL_VideoDriverName",
                                        "SDL_GL_SetAttribute",
                                        "SDL_SetVideoMode",
                                        "SDL_GetError",
                                        "SDL_PollEvent",
                                        "SDL_GetKeyState",
                                        "SDL_GL_SwapBuffers",
                                        "SDL_Delay",
                                        "SDL_Quit",
                                        "glClearColor",
                                        "glEnable",
                                        "glViewport",
                                        "glMatrixMode",
                                        "glLoadIdentity",
                                        "glOrtho",
                                        "glClear",
                                        "glColor3f",
                                        "glBegin",
                                        "glVertex3f",
                                        "glEnd"};
    return names[size_t(fn)];
}

std::ostream &operator<<(std::ostream &os, const Call &c)
{
    os << name(c.fn) << '(';
    for (size_t i = 0; i < c.args.size(); i++) {
        const Arg &a = c.args[i];
        if (i)
            os << ", ";
        if (a.kind == 'f') {
            float f;
            uint32_t b = uint32_t(a.bits);
            std::memcpy(&f, &b, sizeof f);
            os << std::setprecision(9) << f << 'f';
        } else if (a.kind == 'd') {
            double d;
            std::memcpy(&d, &a.bits, sizeof d);
            os << std::setprecision(17) << d;
        } else if (a.kind == 'i') {
            os << (long long)a.bits;
        } else {
            os << a.bits;
        }
    }
    return os << ')';
}

static SDL_Event blank(Uint8 type)
{
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    return e;
}

SDL_Event motion(int x, int y)
{
    SDL_Event e = blank(SDL_MOUSEMOTION);
    e.motion.x = Uint16(x);
    e.motion.y = Uint16(y);
    return e;
}

SDL_Event keydown(SDLKey key)
{
    SDL_Event e = blank(SDL_KEYDOWN);
    e.key.keysym.sym = key;
    e.key.state = SDL_PRESSED;
    return e;
}

SDL_Event keyup(SDLKey key)
{
    SDL_Event e = blank(SDL_KEYUP);
    e.key.keysym.sym = key;
    e.key.state = SDL_RELEASED;
    return e;
}

SDL_Event closerequest() { return blank(SDL_QUIT); }
SDL_Event other(Uint8 type) { return blank(type); }

} // namespace doubles
