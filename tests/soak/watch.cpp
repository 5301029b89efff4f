#include "watch.h"

#include <cmath>
#include <sstream>

#include "alloccount.h"
#include "doubles/recorder.h"
#include "effects/particle.h"
#include "game/game.h"
#include "support.h"

namespace {

bool finite(double v) { return std::isfinite(v); }

std::string checkstate(long long livebefore, bool quitasked, int frame)
{
    std::ostringstream why;
    int live = 0;
    for (Particle *p : obj_particle) {
        if (!p)
            continue;
        live++;
        if (p->get_ltime() <= 0)
            why << "a spark with ltime " << p->get_ltime() << " is still in the ring; ";
        if (!finite(p->x) || !finite(p->y) || !finite(p->angle) || !finite(p->speed) ||
            !finite(p->fall) || !finite(p->gravity))
            why << "a spark holds a non-finite number; ";
    }
    if (live > 5000)
        why << live << " sparks live; ";
    long long heap = livebefore + alloccount::news - alloccount::deletes;
    if (heap != live)
        why << "heap holds " << heap << " spark blocks, the ring " << live << "; ";
    if (!(ball_speed >= 4 && ball_speed <= 10))
        why << "ball_speed " << ball_speed << "; ";
    if (!(ball_angle >= 0 && ball_angle < 360))
        why << "ball_angle " << ball_angle << "; ";
    for (double v : {ball_x, ball_y, ball_r, ball_angle, ball_speed, playery, enemyy, cpuspeed})
        if (!finite(v))
            why << "a game variable is not finite; ";
    if (pointsp > 5 || pointse > 5 || pointsp < 0 || pointse < 0)
        why << "score " << pointsp << ":" << pointse << "; ";
    bool won = pointsp == 5 || pointse == 5;
    if (won && !quit)
        why << "a side has 5 points and the run goes on; ";
    if (quit && !won && !quitasked)
        why << "the run ends with nobody at 5 and no quit asked; ";
    std::string s = why.str();
    return s.empty() ? s : "frame " + std::to_string(frame) + ": " + s;
}

} // namespace

void watchrun(const Feed &feed, int maxframes, Watched &w)
{
    using doubles::state;
    freshgame();
    state.recording = false;
    state.delays.reserve(size_t(maxframes) + 64);
    long long livebefore = 0;
    bool quitasked = false, ended = false;
    bool vertexbad = false;
    state.before_frame = [&](int frame) {
        if (ended && w.failure.empty())
            w.failure = "frame " + std::to_string(frame) + ": a frame after the last one";
        if (frame >= maxframes) {
            state.queue.push_back(doubles::closerequest());
            quitasked = true;
        } else {
            quitasked = feed(frame) || quitasked;
        }
        livebefore = livesparks();
        alloccount::start();
    };
    state.on_vertex = [&](float x, float y, float z) {
        if (!std::isfinite(x) || !std::isfinite(y) || z != 0)
            vertexbad = true;
    };
    state.after_frame = [&](int frame) {
        alloccount::stop();
        w.frames++;
        w.emitted += alloccount::news;
        int live = livesparks();
        if (live > w.most_live)
            w.most_live = live;
        std::string why = checkstate(livebefore, quitasked, frame);
        if (vertexbad)
            why += "frame " + std::to_string(frame) + ": a non-finite vertex; ";
        if (!why.empty() && w.failure.empty())
            w.failure = why;
        ended = quit;
        if (quit && (pointsp == 5 || pointse == 5))
            w.matches++;
    };
    SDL_main(0, nullptr);
    state.before_frame = nullptr;
    state.after_frame = nullptr;
    state.on_vertex = nullptr;
    freshgame();
}
