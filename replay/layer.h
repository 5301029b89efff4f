// The replay layer: sits between the game and its platform's SDL, on every
// target, through the linker's --wrap of SDL_PollEvent, SDL_GetKeyState,
// SDL_GL_SwapBuffers and SDL_Delay. In live play it reduces each frame's
// events to what the game reads of them, records that frame and hands the
// game exactly that frame, so what is recorded is what was played; in
// playback it answers the same calls from a replay.
// The game's own code and calls are untouched.
#ifndef SPARKRALLY_REPLAY_LAYER_H
#define SPARKRALLY_REPLAY_LAYER_H

#include <cstdint>
#include <string>
#include <vector>

#include "replay/replayfile.h"

namespace layer {

// Where a recording's bytes go as they are finished, in order.
using Sink = void (*)(const std::vector<uint8_t> &bytes);

// Live play, recorded into `sink`. Call before the game starts.
void live(Sink sink);
// Plays `r` back: shown in the window at the game's pace with the viewer's
// keys, or verified as fast as it goes (no sleeps). Call before the game
// starts; `r` must outlive the run.
void playback(const replay::Replay *r, bool verify);

// After the game's entry has returned: a recording's last bytes go to its
// sink. Returns the state's digest after the last frame.
uint64_t finish();

// Empty unless the recording failed (and was said so on stderr): then
// why, and the sink had its last bytes before the failure.
const std::string &recordingerror();

// What a playback found.
struct Verdict {
    uint32_t frames = 0;      // frames played from the replay
    uint32_t checked = 0;     // digests compared
    uint32_t drifted = 0;     // the first frame whose digest differs, 0 when none
    bool ended_early = false; // the viewer ended it, or it drifted
};
Verdict verdict();

// The run ends at the end of the next frame, as by a close request; safe
// to call from a signal handler.
void stop();

// While set, the match waits at the end of its frame (a hidden page).
void hold(bool held);

// Live play's pause, by P or the page's button.
void togglepause();
bool paused();

// Playback speed for the viewer: a power of two from 1/4 to 8.
void setspeed(double factor);
double speed();
// While paused in playback, plays one frame.
void step();

// Called after each frame's swap, once any pause is over, in every run
// until changed (null for none); verification, which swaps nothing, never
// calls it. For a program that watches the frames go by, such as a
// benchmark's clock or a test's frame limit: the layer already wraps the
// swap, and a second wrap of it cannot be linked.
void onswap(void (*hook)());

} // namespace layer

#endif
