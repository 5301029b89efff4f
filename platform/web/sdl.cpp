// Where the browser's SDL differs from the desktop's in what the game sees.
#include <SDL.h>
#include <emscripten.h>
#include <emscripten/html5.h>

#include "platform/web/webgl.h"

// The browser's SDL keeps SDL_GetError's text here; its SDL_SetError does
// nothing.
EM_JS(void, seterror, (const char *text), { SDL.errorMessage = allocateUTF8(UTF8ToString(text)); });

// SDL's own call, which the linker renames so that the one below wraps it.
extern "C" SDL_Surface *__real_SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags);

// The browser's SDL hands back a surface even when the canvas gives no
// WebGL context. Without one, or without the layer's shaders, there is
// nothing to draw with, so the mode is refused with the reason, as a
// desktop without OpenGL refuses it.
extern "C" SDL_Surface *__wrap_SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    SDL_Surface *screen = __real_SDL_SetVideoMode(width, height, bpp, flags);
    if (!(flags & SDL_OPENGL))
        return screen;
    if (emscripten_webgl_get_current_context() == 0) {
        seterror("this browser gives the page no WebGL");
        return nullptr;
    }
    if (!webgl_setup()) {
        seterror("WebGL refused the field's shaders");
        return nullptr;
    }
    return screen;
}

// The frame is kept off screen until the swap draws it. The browser puts
// the canvas on screen whenever the game yields (in SDL_Delay), so a pause
// in the middle of a frame keeps showing the last swapped frame. While the
// browser has taken the display away the match waits here, its events
// queued, so that a player who cannot see the field loses nothing; the
// frame is drawn once the display is back.
void SDL_GL_SwapBuffers(void)
{
    while (webgl_lost())
        emscripten_sleep(100);
    webgl_present();
}

// The canvas outlives the run and keeps the last frame; the page itself
// says that the match is over. The browser's own SDL_Quit would only print
// a line that the game never wrote.
void SDL_Quit(void) {}
