#!/usr/bin/env python3
"""Checks that every "function x result" line on standard input holds the
double nearest to the function's exact value, computed with mpmath at 256
bits: enough for inputs whose value lies within 2^-120 of a tie. Prints each
wrong result and exits 1 if any; prints how many were checked."""
import math
import sys

import mpmath

mpmath.mp.prec = 256
functions = {"sin": mpmath.sin, "cos": mpmath.cos}


def nearest(exact, r):
    """Whether no double lies nearer the exact value than r does."""
    d = abs(exact - mpmath.mpf(r))
    return all(d <= abs(exact - mpmath.mpf(n))
               for n in (math.nextafter(r, math.inf), math.nextafter(r, -math.inf)))


def main():
    checked = wrong = 0
    for line in sys.stdin:
        fn, x, r = line.split()
        x, r = float.fromhex(x), float.fromhex(r)
        exact = functions[fn](mpmath.mpf(x))
        checked += 1
        if not nearest(exact, r):
            wrong += 1
            print(f"{fn}({x.hex()}) gave {r.hex()}, exact {mpmath.nstr(exact, 40)}")
    if checked == 0:
        print("no values to check")
        return 1
    print(f"{checked} results checked against 256-bit values: {wrong} not correctly rounded")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
