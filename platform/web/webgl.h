// What the web platform's SDL pieces need of its OpenGL layer.
#ifndef SPARKRALLY_PLATFORM_WEB_WEBGL_H
#define SPARKRALLY_PLATFORM_WEB_WEBGL_H

// Makes what the layer draws with in the context that the video mode has
// just made current, and keeps that context through a loss. False, with the
// reason on standard error, when WebGL refuses the layer's shaders.
bool webgl_setup();

// Whether the browser has taken the context away, for now or for good.
bool webgl_lost();

// Draws the frame kept since the last swap into the page's canvas, which
// the browser shows when the game next yields.
void webgl_present();

// While set, the drawing calls keep nothing: a replay verified in the page
// plays with no frame drawn, as --verify does on the desktop.
void webgl_idle(bool idle);

#endif
