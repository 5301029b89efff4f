/* Included before each CORE-MATH source: its fused multiply-adds go to
   sr_fma, which every target links from a correctly rounded implementation
   (coremath.cmake says which). */
#ifndef SPARKRALLY_PLATFORM_MATHS_FMA_H
#define SPARKRALLY_PLATFORM_MATHS_FMA_H

#ifdef __cplusplus
extern "C" {
#endif

/* x * y + z with one rounding, to nearest, ties to even. */
double sr_fma(double x, double y, double z);

#ifdef __cplusplus
}
#endif

#ifndef __cplusplus
#define __builtin_fma sr_fma
#endif

#endif
