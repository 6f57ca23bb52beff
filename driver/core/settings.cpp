#include "driver/core/settings.h"

namespace kavrel {

std::string averagingLine(std::string_view root, std::string_view numberCommand, ViInt32 mode, ViInt32 averages) {
  switch (mode) {
    case 0:
      return line(root, ":AVER OFF");
    case 1:
      return line(root, ":AVER ON;", numberCommand, averages);
    default:
      return line(root, ":AVER:REST");
  }
}

ViStatus setSmoothing(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean smoothing, ViReal64 aperture) {
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .flag(smoothing, VI_ERROR_PARAMETER4)
                             .real(aperture, kMinAperture, kMaxAperture, VI_ERROR_PARAMETER5));
  if (smoothing == VI_TRUE) return sendMeas(vi, channel, measurement, line(":MEAS:SMO ON;SMO:APER ", fixed2(aperture)));
  return sendMeas(vi, channel, measurement, ":MEAS:SMO OFF");
}

Checks scaleChecks(const ScaleLimits* manual, ViReal64 perDivision, ViInt32 referencePosition,
                   ViReal64 referenceLevel) {
  Checks checks;
  if (manual != nullptr)
    checks.real(perDivision, manual->minPerDivision, manual->maxPerDivision, VI_ERROR_PARAMETER5)
        .real(referenceLevel, manual->minReference, manual->maxReference, VI_ERROR_PARAMETER7);
  return checks.integer(referencePosition, 0, kMaxReferencePosition, VI_ERROR_PARAMETER6);
}

}  // namespace kavrel
