// Reflection measurement: type, detector, averaging, smoothing, format,
// electrical delay, phase offset and the medium of the device under test.
#include "driver/reflection.h"

#include <cmath>
#include <string_view>

#include "driver/core/exact_real.h"
#include "driver/core/settings.h"

namespace kavrel {
namespace {

constexpr Keywords<12> kDisplayFormats{"LOG", "LIN", "PHAS", "VSWR", "RE", "IM",
                                       "IMP", "PLIN", "PLOG", "REIM", "SMIT", "INVS"};
constexpr Keywords<2> kDelayUnits{"TIME", "LENG"};
constexpr Keywords<2> kMedia{"WAV", "COAX"};
constexpr ViInt32 kMediumWaveguide = 2;

// Delay limits: seconds for "TIME", metres for "LENG".
constexpr ViReal64 kMaxDelayTime = 1.0;
constexpr ViReal64 kMaxDelayLength = 3.0e8;

// Ratio ("RAT") or difference ("DIFF") against operand 1..4.
ViStatus measureAgainstOperand(ViSession vi, ViBoolean channel, ViBoolean measurement, std::string_view kind,
                               ViInt32 operand) {
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).integer(operand, 1, 4, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":REFL:MEAS:", kind, " ", operand));
}

}  // namespace

ViStatus reflTimeDomainState(ViSession vi, ViUInt32 maxBytes, ViInt32& state) {
  Reply reply;
  ViStatus status = query(vi, ":REFL:TDOM:STAT?", reply, maxBytes);
  KAVREL_RETURN_IF_ERROR(status);
  state = 0;
  reply.scan().integer(state);
  return status;
}

Checks& reflCheckWindow(Checks& checks, ViBoolean startStop, ViReal64 first, ViReal64 second, ViReal64 lower,
                        ViReal64 upper) {
  checks.real(first, lower, upper, VI_ERROR_PARAMETER4).real(second, lower, upper, VI_ERROR_PARAMETER5);
  if (startStop == VI_TRUE) return checks.rule(second >= first, VI_ERROR_INSTR_START_GT_STOP);
  // A negative span reaches as far as a positive one: both ends are held.
  ViReal64 half = std::fabs(second) / 2.0;
  return checks.rule(first + half <= upper && first - half >= lower, VI_ERROR_INSTR_CENTER_SPAN_RANGE);
}

}  // namespace kavrel

using namespace kavrel;

KAVREL_API ViStatus kavrel_reflS11(ViSession vi, ViBoolean channel, ViBoolean measurement) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement));
  return sendMeas(vi, channel, measurement, ":REFL:MEAS:S11");
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflRatio(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 operand) try {
  const SessionGuard guard(vi);
  return measureAgainstOperand(vi, channel, measurement, "RAT", operand);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflDiffer(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 operand) try {
  const SessionGuard guard(vi);
  return measureAgainstOperand(vi, channel, measurement, "DIFF", operand);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflDetector(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean lcor,
                                        ViBoolean tcon) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      selectionChecks(channel, measurement).flag(lcor, VI_ERROR_PARAMETER4).flag(tcon, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement, line(":REFL:DET:LCOR ", onOff(lcor), ";TCON ", onOff(tcon)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflAveraging(ViSession vi, ViInt32 mode, ViInt32 numberOfAverages) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().averaging(mode, numberOfAverages, VI_ERROR_PARAMETER2, VI_ERROR_PARAMETER3));
  return send(vi, averagingLine(":REFL", "AVER:NUMB ", mode, numberOfAverages));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflSmooth(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean smoothing,
                                      ViReal64 aperture) try {
  const SessionGuard guard(vi);
  return setSmoothing(vi, channel, measurement, smoothing, aperture);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflFormat(ViSession vi, ViBoolean channel, ViBoolean measurement,
                                      ViInt32 displayFormat) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      selectionChecks(channel, measurement).index(displayFormat, kDisplayFormats, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":REFL:DISP:FORM ", keyword(kDisplayFormats, displayFormat)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflElDelay(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean delayUnit,
                                       ViReal64 delay) try {
  const SessionGuard guard(vi);
  ViReal64 limit = delayUnit == VI_TRUE ? kMaxDelayLength : kMaxDelayTime;
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .flag(delayUnit, VI_ERROR_PARAMETER4)
                             .real(delay, -limit, limit, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement,
                  line(":REFL:DEL:", keyword(kDelayUnits, delayUnit), " ", exactReal(delay)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflPhaseOffset(ViSession vi, ViBoolean channel, ViBoolean measurement,
                                           ViReal64 phaseOffset) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).real(phaseOffset, -360.0, 360.0, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":REFL:POFF ", real(phaseOffset)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflDevChar(ViSession vi, ViReal64 impedance, ViInt32 medium, ViReal64 relativeVelocity,
                                       ViReal64 dielectricConstant, ViReal64 cutoffFrequency) try {
  const SessionGuard guard(vi);
  // Every value is checked whatever the medium; only the medium's own one is sent.
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(impedance, 1.0, 10000.0, VI_ERROR_PARAMETER2)
                             .integer(medium, 0, 2, VI_ERROR_PARAMETER3)
                             .real(relativeVelocity, 0.1, 1.0, VI_ERROR_PARAMETER4)
                             .real(dielectricConstant, 1.0, 1000.0, VI_ERROR_PARAMETER5));
  const InstrumentData* data;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  KAVREL_RETURN_IF_ERROR(Checks().real(cutoffFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER6));

  Line command(":REFL:CIMP ", real(impedance), ";MED ", keyword(kMedia, medium == kMediumWaveguide ? 0 : 1));
  switch (medium) {
    case 0:
      command.add(";RVEL ").add(real(relativeVelocity));
      break;
    case 1:
      command.add(";DCON ").add(real(dielectricConstant));
      break;
    default:
      command.add(";WGC ").add(real(cutoffFrequency));
      break;
  }
  return send(vi, command);
} KAVREL_CATCH_ALL
