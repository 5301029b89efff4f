// The page's side of the replay layer (replay.cpp): the entry starts and
// ends every run through these.
#ifndef SPARKRALLY_PLATFORM_WEB_REPLAY_H
#define SPARKRALLY_PLATFORM_WEB_REPLAY_H

// Before the game's entry: the replay the page handed over, or live play
// recorded in memory.
void webreplay_start();
// After it: the recording's last bytes, and the line the page reads
// (sparkrally_result): "P-E FRAMES DIGEST VERDICT".
void webreplay_end();

#endif
