// The null platform: every SDL and OpenGL call the game makes (see
// platform/README.md), answered as the contract asks but with nothing shown,
// no input and no time passing. The game plays a whole match on it, as
// fast as the machine goes; the benchmarks of the game's logic link it so
// that they measure the game alone, and a port can start from it.
#include <GL/gl.h>
#include <SDL.h>

#include "platform/null/answers.h"

static Uint8 keys[SDLK_LAST];

int SDL_Init(Uint32) { return 0; }
char *SDL_VideoDriverName(char *buf, int size) { return nullplatform::videodrivername(buf, size); }
int SDL_GL_SetAttribute(SDL_GLattr, int) { return 0; }

SDL_Surface *SDL_SetVideoMode(int width, int height, int, Uint32 flags)
{
    return nullplatform::setvideomode(width, height, flags);
}

char *SDL_GetError(void) { return nullplatform::error(); }
int SDL_PollEvent(SDL_Event *) { return 0; }

Uint8 *SDL_GetKeyState(int *count)
{
    if (count)
        *count = SDLK_LAST;
    return keys;
}

void SDL_GL_SwapBuffers(void) {}
// Returns at once: the game's pace is counted in frames, so a match plays
// the same without the sleeps.
void SDL_Delay(Uint32) {}
void SDL_Quit(void) {}
void glClearColor(GLclampf, GLclampf, GLclampf, GLclampf) {}
void glEnable(GLenum) {}
void glViewport(GLint, GLint, GLsizei, GLsizei) {}
void glMatrixMode(GLenum) {}
void glLoadIdentity(void) {}
void glOrtho(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble) {}
void glClear(GLbitfield) {}
void glColor3f(GLfloat, GLfloat, GLfloat) {}
void glBegin(GLenum) {}
void glVertex3f(GLfloat, GLfloat, GLfloat) {}
void glEnd(void) {}
