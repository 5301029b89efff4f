// The game state: the one set of globals that every subsystem reads and
// writes by name, and the match's own operations. One run is one match.
#ifndef SPARKRALLY_GAME_GAME_H
#define SPARKRALLY_GAME_GAME_H

#include <SDL.h>

class Particle;

// Field size. Nothing reads these: the rules use 640 and 480 as fixed
// numbers, so the field cannot be resized by changing them.
static const int screen_w = 640;
static const int screen_h = 480;
static const float pi = 3.14159274f;

// Degrees to radians, in single precision, shared by the ball, the sparks
// and the ball's outline so that they all turn by exactly the same factor.
static const float DEG = pi / 180.0f;

// Settings, with the values of a fresh run.
extern int anzahl_particle; // slots in the spark ring
extern double ball_x;       // ball centre, pixels
extern double ball_y;
extern double ball_r;     // ball radius, pixels
extern double ball_angle; // heading, degrees; 0 right, 90 down
extern double ball_speed; // pixels per frame
extern int barsize;       // half a paddle's height, pixels
extern double cpuspeed;   // computer paddle's step, pixels per frame

// Run-time state, zero at start.
extern Particle *obj_particle[5000]; // the spark ring; null is an empty slot
extern int particlec;                // next ring slot to fill
extern SDL_Event event;              // each polled event lands here
extern bool quit;                    // once set, the current frame is the last
extern int mouse_x;                  // pointer, from the latest motion event
extern int mouse_y;
extern double playery; // centre y of the player's (left) paddle
extern double enemyy;  // centre y of the computer's (right) paddle
extern int pointsp;    // player's points
extern int pointse;    // computer's points

// The game's entry: sets up, plays frames until quit, shuts SDL down.
// Returns 0, or 1 when the window could not be opened (no frame runs then).
// C linkage, as SDL's entry wrapper calls it where SDL supplies one.
extern "C" int SDL_main(int argc, char *argv[]);

// Puts every global above back to its value in a fresh process, freeing
// the sparks, so that one process may play one run after another.
void freshstate();

// Puts paddles and ball into the serve state, then pauses 500 ms.
void resetgame();

// Ends the match (after a 2000 ms pause) once a side has 5 points.
void checkifwin();

#endif
