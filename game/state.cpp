// Definitions of the shared game state, with the values of a fresh run.
#include "effects/particle.h"
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

void freshstate()
{
    for (Particle *&p : obj_particle) {
        delete p;
        p = nullptr;
    }
    anzahl_particle = 5000;
    ball_x = 320.0;
    ball_y = 240.0;
    ball_r = 5.0;
    ball_angle = 200.0;
    ball_speed = 4.0;
    barsize = 20;
    cpuspeed = 4.0;
    particlec = 0;
    event = SDL_Event();
    quit = false;
    mouse_x = 0;
    mouse_y = 0;
    playery = 0;
    enemyy = 0;
    pointsp = 0;
    pointse = 0;
}
