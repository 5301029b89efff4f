// What the web platform's SDL pieces need of its OpenGL layer.
#ifndef SPARKRALLY_PLATFORM_WEB_WEBGL_H
#define SPARKRALLY_PLATFORM_WEB_WEBGL_H

// Draws the frame kept since the last swap into the page's canvas, which
// the browser shows when the game next yields.
void webgl_present();

#endif
