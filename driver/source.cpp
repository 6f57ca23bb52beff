// Signal source: operating modes and their sweeps, the list-sweep segments,
// sweep points and time, levelling, filters, blanking, RF output, source
// selection, DC output and source calibration selection.
#include <array>
#include <string_view>

#include "driver/core/frame.h"

namespace {

using namespace kavrel;

// A sweep time this close to zero asks for automatic timing.
constexpr ViReal64 kAutoSweepTime = 1e-6;

constexpr Keywords<4> kLevellings{"INT", "POS", "NEG", "PMET"};
constexpr Keywords<3> kFrequencyStandards{"INT", "EX1", "EX10"};
constexpr Keywords<3> kCwFilters{"OFF", "ON", "AUTO"};
constexpr Keywords<3> kSourceBandwidths{"LOW", "HIGH", "AUTO"};
constexpr Keywords<2> kSourceSelections{"INT", "EXT"};
constexpr ViInt32 kPlainSourceMode = 2;  // the selection after INT and EXT

// DC output modes; the first two are both volts per GHz, at the slopes below.
constexpr Keywords<6> kDcOutputModes{"VGHZ", "VGHZ", "CVOL", "CCUR", "VRAM", "CREC"};
constexpr std::array<ViReal64, 2> kVoltsPerGhz{1.0, 0.5};
constexpr ViInt32 kConstantVoltage = 2;
constexpr ViInt32 kConstantCurrent = 3;

// The swept range centre +- span/2 stays within the source's frequencies;
// both edges may touch their limits.
bool spanFits(const InstrumentData& data, ViReal64 centre, ViReal64 span) {
  return centre - span / 2 >= kMinFrequency && centre + span / 2 <= data.maxFrequency;
}

}  // namespace

// ---- modes and sweeps -------------------------------------------------------

KAVREL_API ViStatus kavrel_srcContWave(ViSession vi, ViReal64 frequency, ViReal64 level) try {
  const SessionGuard guard(vi);
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(frequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER2)
                             .real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER3));
  return send(vi, line(":SOUR:MODE CW;:SOUR:FREQ ", real(frequency), ";POW:LEV ", fixed2(level)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcFreqSweep(ViSession vi, ViBoolean representation, ViReal64 startOrCenter,
                                        ViReal64 stopOrSpan, ViReal64 level) try {
  const SessionGuard guard(vi);
  // The form decides which relation applies, so it is checked before anything else.
  KAVREL_RETURN_IF_ERROR(Checks().flag(representation, VI_ERROR_PARAMETER2));
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  const bool startStop = representation == VI_TRUE;
  Checks checks;
  checks.real(startOrCenter, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER3)
      .real(stopOrSpan, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER4);
  if (startStop)
    checks.rule(startOrCenter <= stopOrSpan, VI_ERROR_INSTR_START_GT_STOP);
  else
    checks.rule(spanFits(*data, startOrCenter, stopOrSpan), VI_ERROR_INSTR_CENTER_SPAN_RANGE);
  KAVREL_RETURN_IF_ERROR(checks.real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER5));
  // Centre and span go out as given; the instrument derives start and stop.
  return send(vi, line(":SOUR:MODE FREQ;:SOUR:FREQ:", startStop ? "STAR " : "CENT ", real(startOrCenter),
                       startStop ? ";STOP " : ";SPAN ", real(stopOrSpan), ";:SOUR:POW:LEV ", fixed2(level)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcPowSweep(ViSession vi, ViReal64 startLevel, ViReal64 stopLevel, ViReal64 frequency) try {
  const SessionGuard guard(vi);
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(startLevel, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER2)
                             .real(stopLevel, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER3)
                             .rule(startLevel <= stopLevel, VI_ERROR_INSTR_START_GT_STOP)
                             .real(frequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER4));
  return send(vi, line(":SOUR:MODE POW;:SOUR:POW:STAR ", fixed2(startLevel), ";STOP ", fixed2(stopLevel),
                       ";:SOUR:FREQ ", real(frequency)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcVoltSweep(ViSession vi, ViReal64 startVoltage, ViReal64 stopVoltage) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(startVoltage, -kMaxVoltage, kMaxVoltage, VI_ERROR_PARAMETER2)
                             .real(stopVoltage, -kMaxVoltage, kMaxVoltage, VI_ERROR_PARAMETER3)
                             .rule(startVoltage <= stopVoltage, VI_ERROR_INSTR_START_GT_STOP));
  return send(vi, line(":SOUR:MODE VOLT;:SOUR:VIO:VOLT:STAR ", fixed3(startVoltage), ";STOP ", fixed3(stopVoltage)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcCurrSweep(ViSession vi, ViReal64 startCurrent, ViReal64 stopCurrent) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(startCurrent, -kMaxCurrent, kMaxCurrent, VI_ERROR_PARAMETER2)
                             .real(stopCurrent, -kMaxCurrent, kMaxCurrent, VI_ERROR_PARAMETER3)
                             .rule(startCurrent <= stopCurrent, VI_ERROR_INSTR_START_GT_STOP));
  return send(vi, line(":SOUR:MODE CURR;:SOUR:VIO:CURR:STAR ", fixed3(startCurrent), ";STOP ", fixed3(stopCurrent)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcLinListFreqSweep(ViSession vi, ViReal64 level) try {
  const SessionGuard guard(vi);
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  KAVREL_RETURN_IF_ERROR(Checks().real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER2));
  return send(vi, line(":SOUR:MODE LIST;:SOUR:POW:LEV ", fixed2(level)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcCreateLinList(ViSession vi, ViReal64 segmentStart[], ViReal64 segmentStop[],
                                            ViInt32 segmentPoints[], ViInt32 segmentCount) try {
  const SessionGuard guard(vi);
  // The count is looked at first and reports as the second parameter.
  KAVREL_RETURN_IF_ERROR(Checks().integer(segmentCount, 1, kMaxListSegments, VI_ERROR_PARAMETER2));
  // Only a good count may say how many values to look at.
  const auto count = static_cast<std::size_t>(segmentCount);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .rule(finiteValues(segmentStart, count), VI_ERROR_PARAMETER2)
                             .rule(finiteValues(segmentStop, count), VI_ERROR_PARAMETER3)
                             .present(segmentPoints, VI_ERROR_PARAMETER4));
  // The segment values are the instrument's to judge (numbers only); it replaces its list whole.
  Line list(":SOUR:LLIS:RES");
  for (ViInt32 i = 0; i < segmentCount; ++i)
    list.add(";SEGM ").add(real(segmentStart[i])).add(", ").add(real(segmentStop[i])).add(", ").add(segmentPoints[i]);
  return send(vi, list);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcWaveGuideSweep(ViSession vi, ViReal64 startFrequency, ViReal64 stopFrequency,
                                             ViReal64 cutoffFrequency, ViReal64 level) try {
  const SessionGuard guard(vi);
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(startFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER2)
                             .real(stopFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER3)
                             .rule(startFrequency <= stopFrequency, VI_ERROR_INSTR_START_GT_STOP)
                             .real(cutoffFrequency, 0.0, startFrequency, VI_ERROR_PARAMETER4)
                             .real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER5));
  return send(vi, line(":SOUR:MODE WAV;:SOUR:FREQ:STAR ", real(startFrequency), ";STOP ", real(stopFrequency),
                       ";:REFL:WGC ", real(cutoffFrequency), ";:SOUR:POW:LEV ", fixed2(level)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcLowPassSweep(ViSession vi, ViReal64 stopFrequency, ViReal64 level) try {
  const SessionGuard guard(vi);
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(stopFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER2)
                             .real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER3));
  return send(vi, line(":SOUR:MODE LOWP;:SOUR:FREQ:STOP ", real(stopFrequency), ";:SOUR:POW:LEV ", fixed2(level)));
} KAVREL_CATCH_ALL

// ---- configuration and outputs ----------------------------------------------

KAVREL_API ViStatus kavrel_srcSweepConfig(ViSession vi, ViInt32 numberOfPoints, ViReal64 sweepTime) try {
  const SessionGuard guard(vi);
  // A time within 1e-6 of zero is not range-checked; written so that NaN is.
  const bool nearZero = sweepTime >= -kAutoSweepTime && sweepTime <= kAutoSweepTime;
  KAVREL_RETURN_IF_ERROR(Checks()
                             .integer(numberOfPoints, kMinPoints, kMaxPoints, VI_ERROR_PARAMETER2)
                             .rule(nearZero || !kavrel_invalidViReal64Range(sweepTime, kMinSweepTime, kMaxSweepTime),
                                   VI_ERROR_PARAMETER3));
  KAVREL_RETURN_IF_ERROR(writeLine(vi, line(":SOUR:SWE:POIN ", numberOfPoints)));
  // Exactly +-1e-6 is a manual time; only what lies strictly between is automatic.
  const bool automatic = sweepTime > -kAutoSweepTime && sweepTime < kAutoSweepTime;
  // One status check covers both lines.
  return send(vi, automatic ? std::string(":SOUR:SWE:AUTO ON") : line(":SOUR:SWE:AUTO OFF;TIME ", fixed2(sweepTime)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcLevFreqStd(ViSession vi, ViInt32 levelling, ViInt32 frequencyStandard) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(levelling, kLevellings, VI_ERROR_PARAMETER2)
                             .index(frequencyStandard, kFrequencyStandards, VI_ERROR_PARAMETER3));
  return send(vi, line(":SOUR:LEV ", keyword(kLevellings, levelling), ";:SOUR:FREQ:STAN ",
                       keyword(kFrequencyStandards, frequencyStandard)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcRFBlanking(ViSession vi, ViBoolean blanking) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(blanking, VI_ERROR_PARAMETER2));
  return send(vi, line(":SOUR:BLAN ", onOff(blanking)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcSelect(ViSession vi, ViInt32 selection) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().integer(selection, 0, kPlainSourceMode, VI_ERROR_PARAMETER2));
  Reply reply;
  KAVREL_RETURN_IF_ERROR(query(vi, ":SYST:MODE?", reply));
  // Any reply without "SOUR" counts as the measurement mode.
  const bool inSourceMode = reply.text().find("SOUR") != std::string_view::npos;
  // Leave or enter the plain source mode only when needed; the internal or
  // external source is chosen from the measurement mode. Selecting the plain
  // source mode while already in it writes an empty message.
  Line command;
  if (selection == kPlainSourceMode) {
    if (!inSourceMode) command.add(":SYST:MODE SOUR;");
  } else {
    if (inSourceMode) command.add(":SYST:MODE MTS;");
    command.add(":SOUR:SEL ").add(keyword(kSourceSelections, selection));
  }
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcVIOutput(ViSession vi, ViInt32 outputMode, ViReal64 value) try {
  const SessionGuard guard(vi);
  // The value is only looked at by the constant voltage and current modes.
  KAVREL_RETURN_IF_ERROR(
      Checks()
          .index(outputMode, kDcOutputModes, VI_ERROR_PARAMETER2)
          .rule(outputMode != kConstantVoltage || !kavrel_invalidViReal64Range(value, -kMaxVoltage, kMaxVoltage),
                VI_ERROR_PARAMETER3)
          .rule(outputMode != kConstantCurrent || !kavrel_invalidViReal64Range(value, -kMaxCurrent, kMaxCurrent),
                VI_ERROR_PARAMETER3));
  Line command(":SOUR:VIO:MODE ", keyword(kDcOutputModes, outputMode));
  if (outputMode < kConstantVoltage)
    command.add(";:SOUR:VIO:VPGS ").add(fixed1(kVoltsPerGhz[static_cast<std::size_t>(outputMode)]));
  if (outputMode == kConstantVoltage) command.add(";:SOUR:VIO:VOLT:CONS ").add(fixed3(value));
  if (outputMode == kConstantCurrent) command.add(";:SOUR:VIO:CURR:CONS ").add(fixed3(value));
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcFilterAndBW(ViSession vi, ViInt32 cwFilter, ViInt32 sourceBandwidth) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(cwFilter, kCwFilters, VI_ERROR_PARAMETER2)
                             .index(sourceBandwidth, kSourceBandwidths, VI_ERROR_PARAMETER3));
  return send(vi, line(":SOUR:CWF ", keyword(kCwFilters, cwFilter), ";:SOUR:SBAN ",
                       keyword(kSourceBandwidths, sourceBandwidth)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_srcRFOutput(ViSession vi, ViBoolean rfOutput) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(rfOutput, VI_ERROR_PARAMETER2));
  return send(vi, line(":SOUR:RF ", onOff(rfOutput)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_sourCal(ViSession vi, ViInt32 calibrationNumber) try {
  const SessionGuard guard(vi);
  // The highest store number comes from the instrument, so it is asked first.
  KAVREL_RETURN_IF_ERROR(checkStoreNumber(vi, ":SOUR:CAL:MAX?", calibrationNumber, VI_ERROR_PARAMETER2, 0));
  return send(vi, line(":SOUR:CAL:SEL ", calibrationNumber));
} KAVREL_CATCH_ALL
