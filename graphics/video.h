// The window and the OpenGL state that all drawing relies on.
#ifndef SPARKRALLY_GRAPHICS_VIDEO_H
#define SPARKRALLY_GRAPHICS_VIDEO_H

// Opens the 640 x 480 double-buffered OpenGL window and sets a projection in
// which one unit is one pixel, the origin is the top-left corner and y grows
// downward, with black as the clear colour. Returns 0 on success; on failure
// prints one line to standard output and returns 1.
int initgraphics();

#endif
