#include "support.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "game/game.h"

void freshgame()
{
    freshstate();
    doubles::reset();
    setvar("SDL_VIDEODRIVER", nullptr);
}

void setvar(const char *name, const char *value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

int runmain()
{
    char arg0[] = "sparkrally";
    char *argv[] = {arg0, nullptr};
    return SDL_main(1, argv);
}

int livesparks()
{
    int n = 0;
    for (Particle *p : obj_particle)
        n += p != nullptr;
    return n;
}

std::vector<doubles::Call> calls(doubles::Fn fn)
{
    std::vector<doubles::Call> out;
    for (const doubles::Call &c : doubles::state.log)
        if (c.fn == fn)
            out.push_back(c);
    return out;
}

doubles::Call vertex(float x, float y)
{
    return {doubles::Fn::glVertex3f, {doubles::F(x), doubles::F(y), doubles::F(0.0f)}};
}

void Fnv1a::add(double d)
{
    uint64_t bits;
    memcpy(&bits, &d, sizeof bits);
    add(bits);
}
