/* CORE-MATH's sin, its fused multiply-adds sent to sr_fma. */
#include "fma.h"

#include "sin/sin.c"
