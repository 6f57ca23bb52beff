// Checks shared by the functions that act on one measurement of a channel.
#ifndef KAVREL_CORE_MEASUREMENT_H
#define KAVREL_CORE_MEASUREMENT_H

#include "driver/core/frame.h"

namespace kavrel {

// Channel (parameter 2) and measurement (parameter 3): the first checks of
// every function that selects a measurement; chain the rest after them.
inline Checks measurementChecks(ViBoolean channel, ViBoolean measurement) {
  Checks checks;
  checks.flag(channel, VI_ERROR_PARAMETER2).flag(measurement, VI_ERROR_PARAMETER3);
  return checks;
}

}  // namespace kavrel

#endif
