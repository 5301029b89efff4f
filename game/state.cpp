// Definitions of the shared game state, with the values of a fresh run.
#include "game/game.h"

int anzahl_particle = 5000;
double ball_x = 320.0;
double ball_y = 240.0;
double ball_r = 5.0;
double ball_angle = 200.0;
double ball_speed = 4.0;
int barsize = 20;
double cpuspeed = 4.0;

Particle *obj_particle[5000];
int particlec;
SDL_Event event;
bool quit;
int mouse_x;
int mouse_y;
double playery;
double enemyy;
int pointsp;
int pointse;
