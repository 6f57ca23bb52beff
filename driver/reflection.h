// What the reflection functions share: the time-domain state query and the
// check of a gate or zoom window against the limits of the current x-axis.
#ifndef KAVREL_REFLECTION_H
#define KAVREL_REFLECTION_H

#include <string_view>

#include "driver/core/frame.h"

namespace kavrel {

// Position keywords of a window: centre and span (VI_FALSE), start and stop (VI_TRUE).
inline constexpr Keywords<2> kWindowFirst{"CENT", "STAR"};
inline constexpr Keywords<2> kWindowSecond{"SPAN", "STOP"};

// ":REFL:TDOM:STAT?" read into at most `maxBytes`; a reply without an
// integer counts as 0 (off). Only a failing write or read is an error.
ViStatus reflTimeDomainState(ViSession vi, ViUInt32 maxBytes, ViInt32& state);

// Both positions within lower..upper (parameter codes 4 and 5), then the window:
// start/stop form, stop not below start (VI_ERROR_INSTR_START_GT_STOP); centre/span
// form, both ends of centre ± half the span within the limits
// (VI_ERROR_INSTR_CENTER_SPAN_RANGE). Equality passes everywhere.
Checks& reflCheckWindow(Checks& checks, ViBoolean startStop, ViReal64 first, ViReal64 second, ViReal64 lower,
                        ViReal64 upper);

}  // namespace kavrel

#endif
