// The game's sine and cosine: CORE-MATH's, correctly rounded, so that the
// ball, the sparks and the ball's outline come out bit for bit the same on
// every target, whatever its own maths library gives.
#ifndef SPARKRALLY_GAME_TRIG_H
#define SPARKRALLY_GAME_TRIG_H

extern "C" double cr_sin(double x);
extern "C" double cr_cos(double x);

#endif
