// Gamepads, read by the layer in live play: the D-pad and the left stick
// move the paddle, Start pauses as P does, Back (Select) ends the run as
// Escape does.
#ifndef SPARKRALLY_REPLAY_PAD_H
#define SPARKRALLY_REPLAY_PAD_H

namespace pad {

// Every pad's state at one reading, taken together.
struct Reading {
    bool up = false, down = false;    // the D-pad held
    int stick = 0;                    // the left stick's vertical travel furthest
                                      // from the centre, -32768 (up) to 32767
    bool start = false, back = false; // pressed since the previous reading
};

// The pads' state now. The first reading starts SDL's joystick support; a
// pad that SDL comes to list later (the browser lists one once a button has
// been pressed) is opened when it does, and one pulled out reads as idle.
Reading read();

} // namespace pad

#endif
