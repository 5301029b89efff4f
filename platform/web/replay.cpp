// The replay layer as the page reaches it: every match is recorded in
// memory for Save replay and Copy link; a replay handed over before the
// game starts is played instead; the page's Pause, Step, Speed and End
// buttons and a hidden tab reach the layer here. The page calls these
// between the game's frames, while the game sleeps.
#include "platform/web/replay.h"

#include <emscripten.h>

#include <cstdio>
#include <string>

#include "game/game.h"
#include "platform/web/webgl.h"
#include "replay/layer.h"
#include "replay/replayfile.h"

namespace {

struct Page {
    std::vector<uint8_t> recording;
    replay::Replay loaded;
    bool playing = false; // a replay was handed over: play it, not a match
    bool verify = false;  // and verify it, unseen, as fast as it goes
    std::string error;    // why the last replay handed over could not be read
    std::string result;   // what playing it gave, one line
} page;

// The run's end hands the page its recording and its result, copied out of
// the heap, which the runtime's exit frees.
EM_JS(void, handover, (const uint8_t *bytes, int size, const char *result), {
    Module.recording = HEAPU8.slice(bytes, bytes + size);
    Module.replayResult = UTF8ToString(result);
});

void tomemory(const std::vector<uint8_t> &bytes)
{
    page.recording.insert(page.recording.end(), bytes.begin(), bytes.end());
}

} // namespace

void webreplay_start()
{
    if (page.playing)
        layer::playback(&page.loaded, page.verify);
    else
        layer::live(tomemory);
}

void webreplay_end()
{
    uint64_t digest = layer::finish();
    layer::Verdict v = layer::verdict();
    std::string verdict = !page.playing          ? "recorded"
                          : v.drifted            ? "drifted:" + std::to_string(v.drifted)
                          : v.ended_early        ? "ended"
                          : page.loaded.complete ? "verified"
                                                 : "incomplete";
    char line[200];
    snprintf(line, sizeof line, "%d-%d %u 0x%016llx %s", pointsp, pointse, v.frames,
             (unsigned long long)digest, verdict.c_str());
    page.result = line;
    handover(page.recording.data(), int(page.recording.size()), page.result.c_str());
}

extern "C" {

// Hands over a replay before the game starts: null when it reads, else
// the one line that says what is wrong with it.
EMSCRIPTEN_KEEPALIVE const char *sparkrally_load_replay(const uint8_t *data, int size, int verify)
{
    page.playing = replay::read(data, size_t(size), SPARKRALLY_VERSION, page.loaded, page.error);
    page.verify = page.playing && verify;
    webgl_idle(page.verify);
    return page.playing ? nullptr : page.error.c_str();
}

EMSCRIPTEN_KEEPALIVE void sparkrally_pause() { layer::togglepause(); }
EMSCRIPTEN_KEEPALIVE int sparkrally_paused() { return layer::paused(); }
EMSCRIPTEN_KEEPALIVE void sparkrally_hold(int held) { layer::hold(held != 0); }
EMSCRIPTEN_KEEPALIVE void sparkrally_step() { layer::step(); }
EMSCRIPTEN_KEEPALIVE void sparkrally_speed(double factor) { layer::setspeed(factor); }
EMSCRIPTEN_KEEPALIVE double sparkrally_current_speed() { return layer::speed(); }
// Frames played so far (of the replay, when one plays).
EMSCRIPTEN_KEEPALIVE int sparkrally_frame() { return int(layer::verdict().frames); }
EMSCRIPTEN_KEEPALIVE void sparkrally_end() { layer::stop(); }
}
