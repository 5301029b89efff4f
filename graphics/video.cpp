// Video mode and projection set-up.
#include "graphics/video.h"

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

// Whether the player named this driver in SDL_VIDEODRIVER, which SDL reads
// as a comma-separated list and matches without regard to case.
static bool asked(const char *driver)
{
    const char *list = getenv("SDL_VIDEODRIVER");
    size_t n = strlen(driver);
    while (list && *list) {
        size_t len = strcspn(list, ",");
        if (len == n && strncasecmp(list, driver, n) == 0)
            return true;
        list += len + (list[len] == ',');
    }
    return false;
}

int initgraphics()
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        printf("Unable to initialize SDL: %s\n", SDL_GetError());
        return 1;
    }
    // Where no display can be reached, SDL falls back to a driver that shows
    // nothing: the match would play unseen and end as a success. Only a
    // player who asks for such a driver gets it.
    char driver[32];
    if (SDL_VideoDriverName(driver, int(sizeof driver)) &&
        (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0) && !asked(driver)) {
        printf("Unable to initialize SDL: %s\n",
               "no display found (set SDL_VIDEODRIVER=offscreen to run without one on purpose)");
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
