/* CORE-MATH's cos, its fused multiply-adds sent to sr_fma. */
#include "fma.h"

#include "cos/cos.c"
