// Ball motion: a heading in degrees and a speed in pixels per frame.
#ifndef SPARKRALLY_GAME_BALL_H
#define SPARKRALLY_GAME_BALL_H

// Runs the collision step, moves the ball one step along its heading, then
// folds the heading back into [0, 360). Called once per frame.
void moveball();

// Folds an angle in degrees once: a >= 360 loses 360, a < 0 gains 360.
// One fold is all the game ever needs; larger excursions stay out of range.
double correctangle(double a);

#endif
