/* The C library's fma, where it rounds once: glibc's and musl's do, in
   hardware or in integer arithmetic. */
#include "fma.h"

#include <math.h>

double sr_fma(double x, double y, double z) { return fma(x, y, z); }
