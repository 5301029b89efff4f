// Prints the game's sine and cosine of the inputs that check_rounding.py
// checks against a high-precision reference, one "function x result" line
// each, in hexadecimal: CORE-MATH's hardest inputs, every whole-degree
// spark heading, and every hundredth of the ball headings the unit tests
// digest.
#include <cstdint>
#include <cstdio>

#include "game/game.h"
#include "game/trig.h"
#include "hardest_inputs.h"

static void line(const char *fn, double x, double r) { printf("%s %a %a\n", fn, x, r); }

int main()
{
    for (double x : hardest_sin)
        line("sin", x, cr_sin(x));
    for (double x : hardest_cos)
        line("cos", x, cr_cos(x));
    for (int h = -269; h <= 180; h++) {
        double x = h * double(DEG);
        line("sin", x, cr_sin(x));
        line("cos", x, cr_cos(x));
    }
    uint64_t state = 12545;
    for (int i = 0; i < 1000000; i++) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        if (i % 100)
            continue;
        double x = (-217.5 + double(state >> 11) * 0x1p-53 * 795.0) * DEG;
        line("sin", x, cr_sin(x));
        line("cos", x, cr_cos(x));
    }
    return 0;
}
