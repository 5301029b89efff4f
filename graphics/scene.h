// Drawing of the paddles, the ball and the score, in white, in pixels.
#ifndef SPARKRALLY_GRAPHICS_SCENE_H
#define SPARKRALLY_GRAPHICS_SCENE_H

// One paddle, 3 pixels wide and 2 * barsize tall, centred on row cy, in the
// current colour: the computer's at x 635..638 when right, else the
// player's at x 2..5.
void drawbar(int cy, bool right);

// Sets white and draws both paddles at their centres truncated toward zero.
void drawbars();

// The ball as a closed ten-sided outline in the current colour.
void drawball();

// The score pips along the top edge in the current colour: the player's
// from x 10 rightward, the computer's ending at x 628.
void drawpoints();

#endif
