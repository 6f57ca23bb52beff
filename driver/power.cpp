// Power-meter readout: what a readout measurement shows (one input, a ratio or
// difference of two, or the counter), relative mode, averaging per input,
// duty-cycle correction, limits, max/min hold, format and counter resolution.
#include "driver/core/frame.h"

namespace {

using namespace kavrel;

// Relative mode and max/min hold: off, on, or the one action of each.
constexpr ViInt32 kRelativeSave = 2;
constexpr ViInt32 kHoldReset = 2;
constexpr Keywords<4> kReadoutFormats{"LOG", "WATT", "PERC", "VOLT"};

// Averaging modes of an input: off, automatic, manual at a resolution
// (modes 2..4 in the order of kResolutions), manual with a fixed number,
// and restart.
enum AveragingMode : ViInt32 {
  kAveragingOff = 0,
  kAveragingAuto = 1,
  kFirstResolution = 2,
  kFixedNumberOfAverages = 5,
  kAveragingRestart = 6,
};
constexpr Keywords<3> kResolutions{"HIGH", "MED", "LOW"};

struct LimitRange {
  ViReal64 min, max;
};
constexpr LimitRange kCounterLimits{0.0, 999999000000.0};  // Hz
constexpr LimitRange kPowerLimits{-999.999, 999.999};

// The averaging line of one input (its keyword `in`); manual modes switch
// automatic averaging off first.
std::string averagingLine(ViInt32 mode, std::string_view in, ViInt32 numberOfAverages) {
  switch (mode) {
    case kAveragingOff:
      return line(":ROUT:AVER ", in, ",OFF");
    case kAveragingAuto:
      return line(":ROUT:AVER ", in, ",ON;:ROUT:AVER:AUTO ", in, ",ON");
    case kAveragingRestart:
      return line(":ROUT:AVER:REST ", in);
    case kFixedNumberOfAverages:
      return line(":ROUT:AVER:AUTO ", in, ",OFF;:ROUT:AVER ", in, ",ON;:ROUT:AVER:NUMB ", in, ",", numberOfAverages);
    default:
      return line(":ROUT:AVER:AUTO ", in, ",OFF;:ROUT:AVER ", in, ",ON;:ROUT:RES:PMET ", in, ",",
                  keyword(kResolutions, mode - kFirstResolution));
  }
}

}  // namespace

KAVREL_API ViStatus kavrel_routPwrSglIn(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 input) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).index(input, kInputs, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":ROUT:MEAS:POW ", keyword(kInputs, input)));
} KAVREL_CATCH_ALL

// The same input may stand on both sides.
KAVREL_API ViStatus kavrel_routPwrRatio(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 numerator,
                                        ViInt32 denominator) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .index(numerator, kInputs, VI_ERROR_PARAMETER4)
                             .index(denominator, kInputs, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement,
                  line(":ROUT:MEAS:RAT ", keyword(kInputs, numerator), ",", keyword(kInputs, denominator)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routPwrDiff(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 firstInput,
                                       ViInt32 secondInput) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .index(firstInput, kInputs, VI_ERROR_PARAMETER4)
                             .index(secondInput, kInputs, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement,
                  line(":ROUT:MEAS:DIFF ", keyword(kInputs, firstInput), ",", keyword(kInputs, secondInput)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routCounter(ViSession vi, ViBoolean channel, ViBoolean measurement) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement));
  return sendMeas(vi, channel, measurement, ":ROUT:MEAS:FREQ");
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routRelMeas(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 relative) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      selectionChecks(channel, measurement).integer(relative, 0, kRelativeSave, VI_ERROR_PARAMETER4));
  if (relative == kRelativeSave) return sendMeas(vi, channel, measurement, ":ROUT:REL:SAVE");
  return sendMeas(vi, channel, measurement, line(":ROUT:REL:STATE ", keyword(kOnOff, relative)));
} KAVREL_CATCH_ALL

// Averaging belongs to the input: no channel selection.
KAVREL_API ViStatus kavrel_routAveraging(ViSession vi, ViInt32 input, ViInt32 mode, ViInt32 numberOfAverages) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(input, kInputs, VI_ERROR_PARAMETER2)
                             .integer(mode, kAveragingOff, kAveragingRestart, VI_ERROR_PARAMETER3)
                             .integer(numberOfAverages, 1, kMaxAverages, VI_ERROR_PARAMETER4));
  return send(vi, averagingLine(mode, keyword(kInputs, input), numberOfAverages));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routDutyCyclCorr(ViSession vi, ViBoolean channel, ViBoolean measurement,
                                            ViBoolean dutyCycleCorr, ViReal64 dutyCycle) try {
  const SessionGuard guard(vi);
  Checks checks = selectionChecks(channel, measurement);
  checks.flag(dutyCycleCorr, VI_ERROR_PARAMETER4);
  if (dutyCycleCorr == VI_TRUE) checks.real(dutyCycle, 0.001, 100.0, VI_ERROR_PARAMETER5);
  KAVREL_RETURN_IF_ERROR(checks);
  if (dutyCycleCorr == VI_TRUE)
    return sendMeas(vi, channel, measurement, line(":ROUT:DCYC ON;DCYC:VAL ", fixed3(dutyCycle)));
  return sendMeas(vi, channel, measurement, ":ROUT:DCYC OFF");
} KAVREL_CATCH_ALL

// The limits' range depends on what the active readout measures, so the
// definition is asked for before the selection, answering for the measurement
// active when the call begins. The codes of the two limits are crossed.
KAVREL_API ViStatus kavrel_routLimCheck(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean limitCheck,
                                        ViReal64 minimum, ViReal64 maximum) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).flag(limitCheck, VI_ERROR_PARAMETER4));
  if (limitCheck != VI_TRUE) return sendMeas(vi, channel, measurement, ":ROUT:LIM OFF");

  bool counter = false;
  KAVREL_RETURN_IF_ERROR(queryBeginsWith(vi, ":ROUT:MEAS:DEF?", "FREQ", counter));
  LimitRange range = counter ? kCounterLimits : kPowerLimits;
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(maximum, range.min, range.max, VI_ERROR_PARAMETER5)
                             .real(minimum, range.min, range.max, VI_ERROR_PARAMETER6)
                             .rule(minimum <= maximum, VI_ERROR_INSTR_MIN_GT_MAX));
  return sendMeas(vi, channel, measurement, line(":ROUT:LIM ON;LIM:MAX ", real(maximum), ";MIN ", real(minimum)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routMaxMinHold(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 hold) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).integer(hold, 0, kHoldReset, VI_ERROR_PARAMETER4));
  if (hold == kHoldReset) return sendMeas(vi, channel, measurement, ":ROUT:PEAK:RES");
  return sendMeas(vi, channel, measurement, line(":ROUT:PEAK ", keyword(kOnOff, hold)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routFormat(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 format) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).index(format, kReadoutFormats, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":ROUT:FORM ", keyword(kReadoutFormats, format)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routCountRes(ViSession vi, ViBoolean channel, ViBoolean measurement,
                                        ViReal64 resolution) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).real(resolution, 1.0, 100000000.0, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":ROUT:RES:COUN ", real(resolution)));
} KAVREL_CATCH_ALL

// Resets the max/min hold of the whole instrument: no selection.
KAVREL_API ViStatus kavrel_routPeakReset(ViSession vi) try {
  const SessionGuard guard(vi);
  return send(vi, ":ROUT:PIR");
} KAVREL_CATCH_ALL
