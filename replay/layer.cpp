// The replay layer's wraps of the four SDL calls through which input and
// time reach the game. Frames are counted at the swap; a frame's events are
// gathered at the first poll after it.
#include "replay/layer.h"

#include <SDL.h>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include "game/digest.h"
#include "replay/pad.h"
#include "replay/steer.h"

extern "C" {
int __real_SDL_PollEvent(SDL_Event *event);
Uint8 *__real_SDL_GetKeyState(int *numkeys);
void __real_SDL_GL_SwapBuffers(void);
void __real_SDL_Delay(Uint32 ms);
}

namespace {

enum class Mode { live, shown, verify };

// What this run does, and where it is.
struct Run {
    Mode mode = Mode::live;
    layer::Sink sink = nullptr;
    replay::Writer *writer = nullptr;
    const replay::Replay *from = nullptr;
    uint32_t frames = 0;   // frames swapped so far
    size_t nextdigest = 0; // the replay's next kept digest to compare
    layer::Verdict verdict;
    std::string recordingerror;
} run;

// The frame being handed to the game, event by event: a motion to its
// pointer position, a key going down with Escape held, a close request.
struct Serving {
    bool draining = false; // between a frame's first poll and its last
    replay::Frame frame;
    SDL_Event events[3];
    size_t count = 0, next = 0;
    replay::Frame pending; // what arrived during a pause, kept as it came
    Uint8 keys[512] = {};  // the key state the game reads
} serving;

// The viewer's and the player's controls.
struct Controls {
    volatile std::sig_atomic_t stopping = 0;
    volatile std::sig_atomic_t held = 0;
    bool paused = false;
    bool stepping = false;
    double speed = 1;
} controls;

// The program's, not a run's: a new run keeps it.
void (*swaphook)() = nullptr;

// An event as the game reads it, into the frame; the rest it ignores.
void add(const SDL_Event &e, replay::Frame &frame)
{
    if (e.type == SDL_MOUSEMOTION) {
        frame.flags |= replay::moved;
        frame.x = e.motion.x;
        frame.y = e.motion.y;
    } else if (e.type == SDL_KEYDOWN && __real_SDL_GetKeyState(nullptr)[SDLK_ESCAPE]) {
        frame.flags |= replay::escaped;
    } else if (e.type == SDL_QUIT) {
        frame.flags |= replay::closed;
    }
}

void flush()
{
    if (!run.writer || !run.sink)
        return;
    std::vector<uint8_t> bytes = run.writer->take();
    if (!bytes.empty())
        run.sink(bytes);
    if (!run.writer->error().empty() && run.recordingerror.empty()) {
        run.recordingerror = run.writer->error();
        fprintf(stderr, "sparkrally: %s; the match plays on unrecorded\n",
                run.recordingerror.c_str());
    }
}

// Live play: the frame's events from SDL, recorded as the game will read
// them.
void gatherlive()
{
    replay::Frame &got = serving.frame;
    got = serving.pending;
    serving.pending = replay::Frame();
    SDL_Event e;
    while (__real_SDL_PollEvent(&e)) {
        add(e, got);
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_p)
            controls.paused = !controls.paused;
    }
    const pad::Reading pads = pad::read();
    if (pads.start)
        controls.paused = !controls.paused;
    if (pads.back)
        got.flags |= replay::escaped;
    const Uint8 *held = __real_SDL_GetKeyState(nullptr);
    steer::keys(got, steer::upheld(held) || pads.up, steer::downheld(held) || pads.down,
                pads.stick);
    if (controls.stopping)
        got.flags |= replay::closed;
    if (run.writer)
        run.writer->frame(got);
}

// Playback: the replay's frame; past its end, or once stopped, a close
// request ends the run.
void gatherreplay()
{
    serving.frame = replay::Frame();
    if (run.frames < run.from->frames.size() && !controls.stopping)
        serving.frame = run.from->frames[run.frames];
    else
        serving.frame.flags = replay::closed;
}

// One more event for the game to poll, blank but for its type.
SDL_Event &serve(decltype(SDL_Event::type) type)
{
    SDL_Event &e = serving.events[serving.count++] = SDL_Event();
    e.type = type;
    return e;
}

// The frame as the events the game polls, in the order it reads them.
void toevents(const replay::Frame &f)
{
    serving.count = 0;
    if (f.flags & replay::moved) {
        SDL_Event &e = serve(SDL_MOUSEMOTION);
        e.motion.x = f.x;
        e.motion.y = f.y;
    }
    if (f.flags & replay::escaped)
        serve(SDL_KEYDOWN);
    if (f.flags & replay::closed)
        serve(SDL_QUIT);
}

// The replay's kept digest for this frame, if it keeps one, against the
// game's state now.
void check()
{
    const replay::Replay &r = *run.from;
    while (run.nextdigest < r.digest_frames.size() && r.digest_frames[run.nextdigest] < run.frames)
        run.nextdigest++;
    if (run.nextdigest == r.digest_frames.size() || r.digest_frames[run.nextdigest] != run.frames)
        return;
    run.verdict.checked++;
    if (statedigest() != r.digests[run.nextdigest] && run.verdict.drifted == 0) {
        run.verdict.drifted = run.frames;
        run.verdict.ended_early = true;
        controls.stopping = 1;
    }
    run.nextdigest++;
}

// The viewer's keys, read at the swap: Space pauses, the right arrow steps
// while paused, + and - set the speed, Escape or closing the window ends.
void viewerkeys()
{
    SDL_Event e;
    while (__real_SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT)
            layer::stop();
        if (e.type != SDL_KEYDOWN)
            continue;
        switch (e.key.keysym.sym) {
        case SDLK_ESCAPE:
            layer::stop();
            break;
        case SDLK_SPACE:
            controls.paused = !controls.paused;
            break;
        case SDLK_RIGHT:
            layer::step();
            break;
        case SDLK_PLUS:
        case SDLK_EQUALS:
        case SDLK_KP_PLUS:
            layer::setspeed(controls.speed * 2);
            break;
        case SDLK_MINUS:
        case SDLK_KP_MINUS:
            layer::setspeed(controls.speed / 2);
            break;
        default:
            break;
        }
    }
}

// Live play's pause: P or Start again ends it, and so do Escape, Back and
// the close request, which the game then reads in the next frame.
// Everything else waits for that frame too, kept as it comes, Escape's
// state with it.
void livepausekeys()
{
    SDL_Event e;
    while (__real_SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT || (e.type == SDL_KEYDOWN &&
                                   (e.key.keysym.sym == SDLK_p || e.key.keysym.sym == SDLK_ESCAPE)))
            controls.paused = false;
        add(e, serving.pending);
    }
    const pad::Reading pads = pad::read();
    if (pads.start || pads.back)
        controls.paused = false;
    if (pads.back)
        serving.pending.flags |= replay::escaped;
}

// A new run starts from a quiet layer; a hold from the page stays.
void reset()
{
    run = Run();
    serving = Serving();
    bool held = controls.held;
    controls = Controls();
    controls.held = held;
}

} // namespace

namespace layer {

void live(Sink sink)
{
    reset();
    run.mode = Mode::live;
    run.sink = sink;
    run.writer = sink ? new replay::Writer(SPARKRALLY_VERSION) : nullptr;
    flush(); // the header, at once
}

void playback(const replay::Replay *r, bool verify)
{
    reset();
    run.mode = verify ? Mode::verify : Mode::shown;
    run.from = r;
}

uint64_t finish()
{
    uint64_t digest = statedigest();
    if (run.writer) {
        std::vector<uint8_t> bytes = run.writer->take();
        std::vector<uint8_t> last = run.writer->finish(digest);
        bytes.insert(bytes.end(), last.begin(), last.end());
        if (run.sink)
            run.sink(bytes);
        flush(); // says why, if compressing failed
        delete run.writer;
        run.writer = nullptr;
    }
    return digest;
}

const std::string &recordingerror() { return run.recordingerror; }

Verdict verdict()
{
    Verdict v = run.verdict;
    if (!run.from) {
        v.frames = run.frames;
        return v;
    }
    uint32_t kept = uint32_t(run.from->frames.size());
    v.frames = std::min(run.frames, kept);
    // A stop asked for (the viewer, the page, a signal) ends a replay early
    // without a drift; a drift stops it too, but has said so already.
    if (controls.stopping && !v.drifted)
        v.ended_early = true;
    if (v.drifted || v.ended_early)
        return v;
    // The game must end where the replay does: earlier, or past the end of
    // a whole replay, it has drifted.
    if (run.frames < kept)
        v.drifted = run.frames;
    else if (run.frames > kept && run.from->complete)
        v.drifted = kept + 1;
    return v;
}

void stop() { controls.stopping = 1; }
void hold(bool held) { controls.held = held; }
void togglepause() { controls.paused = !controls.paused; }
bool paused() { return controls.paused; }

void setspeed(double factor)
{
    if (factor >= 0.25 && factor <= 8)
        controls.speed = factor;
}

double speed() { return controls.speed; }
void step() { controls.stepping = true; }
void onswap(void (*hook)()) { swaphook = hook; }

} // namespace layer

extern "C" int __wrap_SDL_PollEvent(SDL_Event *event)
{
    if (!serving.draining) {
        if (run.mode == Mode::live)
            gatherlive();
        else
            gatherreplay();
        toevents(serving.frame);
        serving.keys[SDLK_ESCAPE] = (serving.frame.flags & replay::escaped) != 0;
        serving.next = 0;
        serving.draining = true;
    }
    if (serving.next == serving.count) {
        serving.draining = false;
        return 0;
    }
    if (event)
        *event = serving.events[serving.next];
    serving.next++;
    return 1;
}

extern "C" Uint8 *__wrap_SDL_GetKeyState(int *numkeys)
{
    if (numkeys)
        *numkeys = int(sizeof serving.keys);
    return serving.keys;
}

extern "C" void __wrap_SDL_GL_SwapBuffers(void)
{
    run.frames++;
    if (run.mode == Mode::live) {
        if (run.writer && run.frames % replay::digest_every == 0) {
            run.writer->keep(statedigest());
            flush();
        }
    } else {
        check();
    }
    if (run.mode == Mode::verify)
        return;
    __real_SDL_GL_SwapBuffers();
    // Paused or held, the last whole frame stays on screen and the match
    // waits here; a step plays one frame and pauses again.
    for (;;) {
        if (run.mode == Mode::shown)
            viewerkeys();
        else if (controls.paused)
            livepausekeys();
        if (controls.stopping || (!controls.paused && !controls.held))
            break;
        if (controls.stepping && run.mode == Mode::shown) {
            controls.stepping = false;
            break;
        }
        __real_SDL_Delay(10);
    }
    if (swaphook)
        swaphook();
}

extern "C" void __wrap_SDL_Delay(Uint32 ms)
{
    if (run.mode == Mode::verify)
        return;
    if (run.mode == Mode::shown)
        ms = Uint32(ms / controls.speed);
    __real_SDL_Delay(ms);
}
