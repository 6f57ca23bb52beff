// Settings several measurement families share: averaging, smoothing and the
// manual scale check.
#ifndef KAVREL_CORE_SETTINGS_H
#define KAVREL_CORE_SETTINGS_H

#include <string>
#include <string_view>

#include "driver/core/frame.h"

namespace kavrel {

// The averaging line of a family: mode 0 "<root>:AVER OFF", 1
// "<root>:AVER ON;<numberCommand><averages>", 2 "<root>:AVER:REST".
std::string averagingLine(std::string_view root, std::string_view numberCommand, ViInt32 mode, ViInt32 averages);

// Smoothing of the selected measurement: the switch (parameter 4) and the
// aperture (5, checked whether or not smoothing is on), the selection, the
// line and the status check.
ViStatus setSmoothing(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean smoothing, ViReal64 aperture);

// The values of a scaling call after its mode: in manual mode (`manual`
// names the limits of the format shown) the value per division (parameter
// 5) and the reference level (7); then, in every mode, the reference
// position (6).
Checks scaleChecks(const ScaleLimits* manual, ViReal64 perDivision, ViInt32 referencePosition, ViReal64 referenceLevel);

}  // namespace kavrel

#endif
