// Scalar analysis: what a measurement shows (power, ratio, counter), its
// averaging, smoothing, scaling and format; path calibration and trace memories.
#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "driver/core/settings.h"

namespace {

using namespace kavrel;

constexpr Keywords<4> kScalarFormats{"LOG", "WATT", "VSWR", "VOLT"};
constexpr Keywords<3> kAutoScales{"OFF", "ONCE", "CONT"};
constexpr ViInt32 kManualScale = 3;

constexpr Keywords<10> kPathCalSteps{"THR",  "OPEN",      "OPEN:SEIL", "OPEN:MERG",      "OPEN:MERG:SEIL",
                                     "SHOR", "SHOR:SEIL", "SHOR:MERG", "SHOR:MERG:SEIL", "SEL"};
constexpr ViInt32 kMaxPathCalIndex = 4;
constexpr Keywords<3> kMemoryActions{"SAV", "MEAS:MEM", "MEAS:MEM:SETT"};

// Manual scale limits per display format, in the order of kScalarFormats.
constexpr std::array<const ScaleLimits*, 4> kScaleLimits{&kLogScale, &kWattScale, &kVswrScale, &kVoltScale};

// A manual scale value goes out with two decimals where they carry it to
// within half a percent (always from a magnitude of 1 up, and for 0);
// smaller watt and volt values, which two decimals would turn into "0.00"
// or a different step, go out in exponent form.
std::string scaleValue(ViReal64 value) {
  std::string twoDecimals = line(fixed2(value));
  ViReal64 readBack = 0;
  auto [end, ec] = std::from_chars(twoDecimals.data(), twoDecimals.data() + twoDecimals.size(), readBack);
  if (ec == std::errc() && std::fabs(readBack - value) <= 0.005 * std::fabs(value)) return twoDecimals;
  return line(sci9(value));
}

// Asks the active measurement's format, before anything is selected, and
// finds its manual scale limits. An unknown format is an unreadable reply.
ViStatus queryScaleLimits(ViSession vi, const ScaleLimits*& limits) {
  Reply format;
  KAVREL_RETURN_IF_ERROR(query(vi, ":SCAL:FORM?", format));
  for (std::size_t i = 0; i < kScalarFormats.size(); ++i) {
    if (format.scan().literal(kScalarFormats[i])) {
      limits = kScaleLimits[i];
      return VI_SUCCESS;
    }
  }
  return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
}

}  // namespace

KAVREL_API ViStatus kavrel_scalPower(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 input) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).index(input, kInputs, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":SCAL:MEAS:POW ", keyword(kInputs, input)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_scalRatio(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 numerator,
                                     ViInt32 denominator) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .index(numerator, kInputs, VI_ERROR_PARAMETER4)
                             .index(denominator, kInputs, VI_ERROR_PARAMETER5)
                             .rule(numerator != denominator, VI_ERROR_INSTR_SAME_CHANNELS));
  return sendMeas(vi, channel, measurement,
                  line(":SCAL:MEAS:RAT ", keyword(kInputs, numerator), ",", keyword(kInputs, denominator)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_scalCounter(ViSession vi, ViBoolean channel, ViBoolean measurement) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement));
  return sendMeas(vi, channel, measurement, ":SCAL:MEAS:FREQ");
} KAVREL_CATCH_ALL

// Mode 0 off, 1 on with the number of averages, 2 restart.
KAVREL_API ViStatus kavrel_scalAveraging(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 mode,
                                         ViInt32 averages) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      selectionChecks(channel, measurement).averaging(mode, averages, VI_ERROR_PARAMETER4, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement, averagingLine(":SCAL", ":SCAL:AVER:NUMB ", mode, averages));
} KAVREL_CATCH_ALL

// Smoothing is a setting of the measurement, not of the scalar analysis.
KAVREL_API ViStatus kavrel_scalSmooth(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean smoothing,
                                      ViReal64 aperture) try {
  const SessionGuard guard(vi);
  return setSmoothing(vi, channel, measurement, smoothing, aperture);
} KAVREL_CATCH_ALL

// Auto-scale modes 0..2 ignore the values; manual scaling (3) checks them
// against the limits of the format the instrument reports, so a bad
// reference level is reported before a bad position.
KAVREL_API ViStatus kavrel_scalScaling(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 scaleMode,
                                       ViReal64 valuePerDivision, ViInt32 referencePosition,
                                       ViReal64 referenceLevel) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      selectionChecks(channel, measurement).integer(scaleMode, 0, kManualScale, VI_ERROR_PARAMETER4));
  const ScaleLimits* manual = nullptr;
  if (scaleMode == kManualScale) KAVREL_RETURN_IF_ERROR(queryScaleLimits(vi, manual));
  KAVREL_RETURN_IF_ERROR(scaleChecks(manual, valuePerDivision, referencePosition, referenceLevel));

  if (manual == nullptr)
    return sendMeas(vi, channel, measurement, line(":SCAL:SCAL:AUTO ", keyword(kAutoScales, scaleMode)));
  return sendMeas(vi, channel, measurement,
                  line(":SCAL:SCAL:DIV ", scaleValue(valuePerDivision), ";POS ", referencePosition, ";RLEV ",
                       scaleValue(referenceLevel)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_scalFormat(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 format) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).index(format, kScalarFormats, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":SCAL:FORM ", keyword(kScalarFormats, format)));
} KAVREL_CATCH_ALL

// ---- path calibration and trace memories ------------------------------------

KAVREL_API ViStatus kavrel_scalCal(ViSession vi, ViInt32 step, ViInt32 calIndex) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(step, kPathCalSteps, VI_ERROR_PARAMETER2)
                             .integer(calIndex, 1, kMaxPathCalIndex, VI_ERROR_PARAMETER3));
  return send(vi, line(":SCAL:PCAL:", keyword(kPathCalSteps, step), " ", calIndex));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_scalCalState(ViSession vi, ViBoolean pathCal) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(pathCal, VI_ERROR_PARAMETER2));
  return send(vi, line(":SCAL:PCAL ", onOff(pathCal)));
} KAVREL_CATCH_ALL

// The memory number is checked against the maximum the instrument reports,
// after that query and before the selection.
KAVREL_API ViStatus kavrel_scalMemOp(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean memoryOp,
                                     ViInt32 memory) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).flag(memoryOp, VI_ERROR_PARAMETER4));
  KAVREL_RETURN_IF_ERROR(checkStoreNumber(vi, ":SCAL:MEM:MAX?", memory, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement, line(":SCAL:MOP:SEL ", memory, ";STAT ", onOff(memoryOp)));
} KAVREL_CATCH_ALL

// Action 0 saves the trace into the memory; 1 and 2 make the memory the
// measured trace (":SCAL:MEAS:MEM", ":SCAL:MEAS:MEM:SETT").
KAVREL_API ViStatus kavrel_scalMem(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 action,
                                   ViInt32 memory) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).index(action, kMemoryActions, VI_ERROR_PARAMETER4));
  KAVREL_RETURN_IF_ERROR(checkStoreNumber(vi, ":SCAL:MEM:MAX?", memory, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement, line(":SCAL:", keyword(kMemoryActions, action), " ", memory));
} KAVREL_CATCH_ALL
