// SDL 1.2 as the game sees it, answered from the recorder's state.
#include <SDL.h>

#include <cstdio>

#include "recorder.h"

using namespace doubles;

int SDL_Init(Uint32 flags)
{
    note(Fn::SDL_Init, {U(flags)});
    return state.init_result;
}

char *SDL_VideoDriverName(char *namebuf, int maxlen)
{
    note(Fn::SDL_VideoDriverName, {I(maxlen)});
    if (maxlen <= 0)
        return nullptr;
    snprintf(namebuf, size_t(maxlen), "%s", state.driver.c_str());
    return namebuf;
}

int SDL_GL_SetAttribute(SDL_GLattr attr, int value)
{
    note(Fn::SDL_GL_SetAttribute, {I(attr), I(value)});
    return 0;
}

SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    static SDL_Surface surface;
    note(Fn::SDL_SetVideoMode, {I(width), I(height), I(bpp), U(flags)});
    return state.video_fails ? nullptr : &surface;
}

char *SDL_GetError(void)
{
    note(Fn::SDL_GetError);
    return &state.error_text[0];
}

int SDL_PollEvent(SDL_Event *event)
{
    note(Fn::SDL_PollEvent, {P(event)});
    if (state.queue.empty())
        return 0;
    *event = state.queue.pop();
    return 1;
}

Uint8 *SDL_GetKeyState(int *numkeys)
{
    note(Fn::SDL_GetKeyState, {P(numkeys)});
    if (numkeys)
        *numkeys = SDLK_LAST;
    return state.keys;
}

void SDL_GL_SwapBuffers(void)
{
    note(Fn::SDL_GL_SwapBuffers);
    if (state.after_frame)
        state.after_frame(state.frames - 1);
}

void SDL_Delay(Uint32 ms)
{
    note(Fn::SDL_Delay, {U(ms)});
    state.delays.push_back(ms);
    if (state.on_delay)
        state.on_delay(ms);
}

void SDL_Quit(void) { note(Fn::SDL_Quit); }
