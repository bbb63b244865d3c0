// The small numeric helpers in one include: flags and bit counts, rounding
// and step sizes, vector normalisation. New code includes the one header it
// needs.
//
//   #include "core/math/numeric_helpers.h"
//   double v = RoundToDecimals(x, 3);
#pragma once

#include "core/math/flags.h"
#include "core/math/rounding.h"
#include "core/math/vector_normalize.h"
