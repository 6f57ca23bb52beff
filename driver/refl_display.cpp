// Reflection display: the x-axis window, held to the limits of the axis the
// instrument shows now, and the y-axis scaling.
#include <cmath>

#include "driver/core/exact_real.h"
#include "driver/reflection.h"

namespace kavrel {
namespace {

// The x-axis: frequency from 250 MHz to the model's maximum with the time
// domain off; with it on, seconds, metres, or feet (any unit but metres).
constexpr ViReal64 kMinZoomFrequency = 2.5e8;
constexpr ViReal64 kMaxZoomTime = 1.0;
constexpr ViReal64 kMaxZoomMetres = 3.0e8;
constexpr ViReal64 kMaxZoomFeet = 983570000.0;
// The display and unit queries are read into at most 100 bytes.
constexpr ViUInt32 kAxisReplySize = 100;

struct Limits {
  ViReal64 lower;
  ViReal64 upper;
};

// A time-domain axis: "TIME" display, else distance in "METR" or feet.
ViStatus timeDomainLimits(ViSession vi, Limits& limits) {
  bool time = false;
  ViStatus status = queryBeginsWith(vi, ":REFL:TDOM:DISP?", "TIME", time, kAxisReplySize);
  KAVREL_RETURN_IF_ERROR(status);
  if (time) {
    limits = {-kMaxZoomTime, kMaxZoomTime};
    return status;
  }
  bool metres = false;
  status = queryBeginsWith(vi, ":REFL:TDOM:UNIT?", "METR", metres, kAxisReplySize);
  KAVREL_RETURN_IF_ERROR(status);
  ViReal64 limit = metres ? kMaxZoomMetres : kMaxZoomFeet;
  limits = {-limit, limit};
  return status;
}

ViStatus axisLimits(ViSession vi, Limits& limits) {
  ViInt32 state = 0;
  ViStatus status = reflTimeDomainState(vi, kAxisReplySize, state);
  KAVREL_RETURN_IF_ERROR(status);
  if (state != 0) return timeDomainLimits(vi, limits);
  const InstrumentData* data;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  limits = {kMinZoomFrequency, data->maxFrequency};
  return status;
}

}  // namespace
}  // namespace kavrel

using namespace kavrel;

KAVREL_API ViStatus kavrel_reflDispZoom(ViSession vi, ViBoolean channel, ViBoolean positionForm, ViReal64 centerStart,
                                        ViReal64 spanStop) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).flag(positionForm, VI_ERROR_PARAMETER3));
  // Select the channel first: the axis asked about is that channel's.
  KAVREL_RETURN_IF_ERROR(kavrel_SetActiveMeas(vi, channel, VI_FALSE));
  Limits limits{};
  KAVREL_RETURN_IF_ERROR(axisLimits(vi, limits));

  Checks checks;
  KAVREL_RETURN_IF_ERROR(reflCheckWindow(checks, positionForm, centerStart, spanStop, limits.lower, limits.upper));
  return send(vi, line(":REFL:DISP:", keyword(kWindowFirst, positionForm), " ", exactReal(centerStart), ";",
                       keyword(kWindowSecond, positionForm), " ", exactReal(spanStop)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflScaling(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean autoScale,
                                       ViReal64 scalePerDivision, ViInt32 referencePosition,
                                       ViReal64 referenceLevel) try {
  const SessionGuard guard(vi);
  // Scale and level take any number, but a NaN or infinity is no setting to send.
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .flag(autoScale, VI_ERROR_PARAMETER4)
                             .rule(std::isfinite(scalePerDivision), VI_ERROR_PARAMETER5)
                             .integer(referencePosition, 0, 10, VI_ERROR_PARAMETER6)
                             .rule(std::isfinite(referenceLevel), VI_ERROR_PARAMETER7));
  if (autoScale == VI_TRUE) return sendMeas(vi, channel, measurement, ":REFL:SCAL:AUT");
  return sendMeas(vi, channel, measurement,
                  line(":REFL:SCAL:DIV ", real(scalePerDivision), ";POS ", referencePosition, ";RLEV ",
                       real(referenceLevel)));
} KAVREL_CATCH_ALL
