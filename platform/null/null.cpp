// The null platform: every SDL and OpenGL call the game makes (see
// platform/README.md), doing nothing. The benchmarks of the game's logic
// link it so that they measure the game alone; a port can start from it.
#include <GL/gl.h>
#include <SDL.h>

int SDL_Init(Uint32) { return 0; }
char *SDL_VideoDriverName(char *, int) { return nullptr; }
int SDL_GL_SetAttribute(SDL_GLattr, int) { return 0; }
SDL_Surface *SDL_SetVideoMode(int, int, int, Uint32) { return nullptr; }
char *SDL_GetError(void) { return nullptr; }
int SDL_PollEvent(SDL_Event *) { return 0; }
Uint8 *SDL_GetKeyState(int *) { return nullptr; }
void SDL_GL_SwapBuffers(void) {}
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
