// Lets a benchmark play the same frame over and over: what a frame moves
// is saved once and put back before each frame.
#ifndef SPARKRALLY_BENCH_REWIND_H
#define SPARKRALLY_BENCH_REWIND_H

#include <cstddef>
#include <vector>

#include "effects/particle.h"
#include "game/game.h"

// What a frame changes in one spark.
struct Saved {
    double x, y, fall;
    int ltime;
};

// The first n sparks of the ring as they are now.
inline std::vector<Saved> saveparticles(int n)
{
    std::vector<Saved> saved;
    for (int i = 0; i < n; i++) {
        Particle *p = obj_particle[i];
        saved.push_back({p->x, p->y, p->fall, p->ltime});
    }
    return saved;
}

// Puts the ball mid-field and the sparks back where they started, so every
// iteration draws the same picture and no bounce or goal happens.
inline void rewind(const std::vector<Saved> &saved)
{
    ball_x = 320;
    ball_y = 240;
    ball_angle = 200;
    ball_speed = 4;
    for (size_t i = 0; i < saved.size(); i++) {
        Particle *p = obj_particle[i];
        p->x = saved[i].x;
        p->y = saved[i].y;
        p->fall = saved[i].fall;
        p->ltime = saved[i].ltime;
    }
}

#endif
