// The page's side of the replay layer (replay.cpp): the entry starts and
// ends every run through these.
#ifndef SPARKRALLY_PLATFORM_WEB_REPLAY_H
#define SPARKRALLY_PLATFORM_WEB_REPLAY_H

// Before the game's entry: the replay the page handed over, or live play
// recorded in memory.
void webreplay_start();
// After it: the recording's last bytes, then the recording and the result
// handed to the page as Module.recording (bytes) and Module.replayResult
// ("P-E FRAMES DIGEST VERDICT", the verdict one of recorded, verified,
// incomplete, drifted or ended).
void webreplay_end();

#endif
