// Video mode and projection set-up.
#include "graphics/video.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>

int initgraphics()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        printf("Unable to initialize SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (SDL_SetVideoMode(640, 480, 16, SDL_HWSURFACE | SDL_OPENGL) == nullptr) {
        printf("Unable to set video mode: %s\n", SDL_GetError());
        return 1;
    }
    glClearColor(0, 0, 0, 1);
    // No texture is ever specified, so this leaves primitives flat-coloured.
    glEnable(GL_TEXTURE_2D);
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // Bottom 480, top 0: y counts screen rows from the top.
    glOrtho(0, 640, 480, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return 0;
}
