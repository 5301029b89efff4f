/* x * y + z rounded once, in integer arithmetic, for runtimes whose fma
   rounds twice (mingw-w64's goes through the x87's 64-bit significand, so
   a sum that lands just past a tie between two doubles is rounded to the
   tie first and then to even). */
#include "fma.h"

#include <stdint.h>
#include <string.h>

/* A GCC extension, which every compiler of this file has. */
__extension__ typedef unsigned __int128 u128;

static uint64_t bitsof(double d)
{
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

static double fromBits(uint64_t u)
{
    double d;
    memcpy(&d, &u, sizeof d);
    return d;
}

/* A finite non-zero double as m * 2^e with m a whole number below 2^53. */
static void split(double d, uint64_t *m, int *e)
{
    uint64_t u = bitsof(d);
    int biased = (int)((u >> 52) & 0x7ff);
    *m = u & 0xfffffffffffffull;
    if (biased) {
        *m |= 1ull << 52;
        *e = biased - 1075;
    } else {
        *e = -1074;
    }
}

static int topbit(u128 v)
{
    uint64_t hi = (uint64_t)(v >> 64);
    return hi ? 127 - __builtin_clzll(hi) : 63 - __builtin_clzll((uint64_t)v);
}

/* Shifts right, keeping any bit shifted out as a 1 in the lowest place. */
static u128 shiftsticky(u128 v, int n)
{
    if (n <= 0)
        return v;
    if (n >= 128)
        return v != 0;
    return (v >> n) | ((v & (((u128)1 << n) - 1)) != 0);
}

double sr_fma(double x, double y, double z)
{
    /* Infinities, NaNs and zero operands: the plain expression is exact or
       gives IEEE's answer, signs of zero included. An infinite or NaN z
       with finite x and y is z, even where x * y alone would overflow. */
    uint64_t ux = bitsof(x), uy = bitsof(y), uz = bitsof(z);
    if (((ux >> 52) & 0x7ff) == 0x7ff || ((uy >> 52) & 0x7ff) == 0x7ff || x == 0 || y == 0)
        return x * y + z;
    if (((uz >> 52) & 0x7ff) == 0x7ff)
        return z;
    if (z == 0)
        return x * y;

    uint64_t mx, my, mz;
    int ex, ey, ez;
    split(x, &mx, &ex);
    split(y, &my, &ey);
    split(z, &mz, &ez);
    int sp = (int)((ux ^ uy) >> 63), sz = (int)(uz >> 63);

    /* Both terms with their leading bit at bit 125, so that the sum fits
       and every bit the rounding needs is kept or folded into a sticky bit. */
    u128 p = (u128)mx * my;
    int ep = ex + ey;
    int sh = 125 - topbit(p);
    p <<= sh;
    ep -= sh;
    u128 c = (u128)mz;
    int ec = ez;
    sh = 125 - topbit(c);
    c <<= sh;
    ec -= sh;

    int e;
    if (ep >= ec) {
        c = shiftsticky(c, ep - ec);
        e = ep;
    } else {
        p = shiftsticky(p, ec - ep);
        e = ec;
    }
    u128 r;
    int sign;
    if (sp == sz) {
        r = p + c;
        sign = sp;
    } else if (p >= c) {
        r = p - c;
        sign = sp;
    } else {
        r = c - p;
        sign = sz;
    }
    if (r == 0)
        return 0.0; /* exact cancellation is +0 when rounding to nearest */

    /* Keep 53 bits, or fewer where the result is subnormal. */
    int drop = topbit(r) - 52;
    if (e + drop < -1074)
        drop = -1074 - e;
    uint64_t m;
    if (drop <= 0) {
        m = (uint64_t)(r << -drop);
    } else if (drop >= 128) {
        m = 0; /* below half the smallest subnormal */
    } else {
        m = (uint64_t)(r >> drop);
        u128 rest = r & (((u128)1 << drop) - 1);
        u128 half = (u128)1 << (drop - 1);
        if (rest > half || (rest == half && (m & 1)))
            m++;
    }
    e += drop;
    if (m == 1ull << 53) {
        m >>= 1;
        e++;
    }
    uint64_t s = (uint64_t)sign << 63;
    if (m == 0)
        return fromBits(s);
    if (m < (1ull << 52)) /* subnormal: e is -1074 */
        return fromBits(s | m);
    if (e + 1075 >= 0x7ff)
        return fromBits(s | 0x7ff0000000000000ull);
    return fromBits(s | ((uint64_t)(e + 1075) << 52) | (m & 0xfffffffffffffull));
}
