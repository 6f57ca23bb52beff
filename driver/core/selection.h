// The checks every function acting on one measurement starts with, before
// its own arguments: the channel as parameter 2, the measurement as 3.
#ifndef KAVREL_CORE_SELECTION_H
#define KAVREL_CORE_SELECTION_H

#include "driver/core/frame.h"

namespace kavrel {

// Continue the chain with the function's own checks:
// selectionChecks(channel, measurement).index(input, kInputs, VI_ERROR_PARAMETER4).
inline Checks selectionChecks(ViBoolean channel, ViBoolean measurement) {
  Checks checks;
  checks.flag(channel, VI_ERROR_PARAMETER2).flag(measurement, VI_ERROR_PARAMETER3);
  return checks;
}

}  // namespace kavrel

#endif
