// Time-domain transform of a reflection measurement: on/off, transform and
// response, DC extrapolation, window, display domain, gate and fence.
#include "driver/core/exact_real.h"
#include "driver/reflection.h"

namespace kavrel {
namespace {

constexpr Keywords<2> kTransforms{"LOW", "BAND"};
constexpr Keywords<2> kResponses{"STEP", "IMP"};
constexpr Keywords<3> kExtrapolationModes{"AUTO", "MATC", "MAN"};
constexpr Keywords<4> kWindowShapes{"MIN", "NORM", "WIDE", "USER"};
// Distance rows set the unit too, under the same command path.
constexpr Keywords<3> kDisplayDomains{"TIME", "DIST;UNIT METR", "DIST;UNIT FEET"};
constexpr Keywords<2> kGateTypes{"FENC", "GATE"};
constexpr Keywords<4> kGateShapes{"MIN", "NORM", "WIDE", "MAX"};

// Gate positions: seconds with the time domain on, otherwise ±3.0e8.
constexpr ViReal64 kGateLimitTimeDomain = 1.0;
constexpr ViReal64 kGateLimitOff = 3.0e8;

}  // namespace
}  // namespace kavrel

using namespace kavrel;

KAVREL_API ViStatus kavrel_reflTimeDomain(ViSession vi, ViBoolean channel, ViBoolean timeDomain) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).flag(timeDomain, VI_ERROR_PARAMETER3));
  return sendMeas(vi, channel, VI_FALSE, line(":REFL:TDOM ", onOff(timeDomain)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflTDomFunc(ViSession vi, ViBoolean channel, ViBoolean transform, ViBoolean response) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .flag(channel, VI_ERROR_PARAMETER2)
                             .flag(transform, VI_ERROR_PARAMETER3)
                             .flag(response, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, VI_FALSE,
                  line(":REFL:TDOM:TRAN ", keyword(kTransforms, transform), ";RESP ", keyword(kResponses, response)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflDCextrapol(ViSession vi, ViBoolean channel, ViBoolean measurement,
                                          ViInt32 extrapolationMode, ViReal64 rcoValue) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .index(extrapolationMode, kExtrapolationModes, VI_ERROR_PARAMETER4)
                             .real(rcoValue, 0.0, 1000.0, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement,
                  line(":REFL:TDOM:EMOD ", keyword(kExtrapolationModes, extrapolationMode), ";RCO ", fixed1(rcoValue)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflWindowing(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 windowShape,
                                         ViInt32 userWindow) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .index(windowShape, kWindowShapes, VI_ERROR_PARAMETER4)
                             .integer(userWindow, 0, 13, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement,
                  line(":REFL:TDOM:WIND:SHAP ", keyword(kWindowShapes, windowShape), ";USER ", userWindow));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflDomDisp(ViSession vi, ViBoolean channel, ViInt32 displayDomain) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      Checks().flag(channel, VI_ERROR_PARAMETER2).index(displayDomain, kDisplayDomains, VI_ERROR_PARAMETER3));
  return sendMeas(vi, channel, VI_FALSE, line(":REFL:TDOM:DISP ", keyword(kDisplayDomains, displayDomain)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflGateNFence(ViSession vi, ViBoolean gate, ViBoolean positionForm, ViReal64 centerStart,
                                          ViReal64 spanStop, ViBoolean gateOrFence, ViBoolean coupling,
                                          ViInt32 gateShape) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(gate, VI_ERROR_PARAMETER2).flag(positionForm, VI_ERROR_PARAMETER3));
  // The position limits follow the instrument's time-domain state.
  ViInt32 state = 0;
  KAVREL_RETURN_IF_ERROR(reflTimeDomainState(vi, kReplySize, state));
  ViReal64 limit = state != 0 ? kGateLimitTimeDomain : kGateLimitOff;

  Checks checks;
  reflCheckWindow(checks, positionForm, centerStart, spanStop, -limit, limit)
      .flag(gateOrFence, VI_ERROR_PARAMETER6)
      .flag(coupling, VI_ERROR_PARAMETER7)
      .index(gateShape, kGateShapes, VI_ERROR_PARAMETER8);
  KAVREL_RETURN_IF_ERROR(checks);
  return send(vi, line(":REFL:TDOM:GAT:STAT ", onOff(gate), ";:REFL:TDOM:GAT:", keyword(kWindowFirst, positionForm),
                       " ", exactReal(centerStart), ";", keyword(kWindowSecond, positionForm), " ",
                       exactReal(spanStop), ";TYPE ", keyword(kGateTypes, gateOrFence), ";COUP ", onOff(coupling),
                       ";SHAP ", keyword(kGateShapes, gateShape)));
} KAVREL_CATCH_ALL
