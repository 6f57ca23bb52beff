// Signal source: operating modes and their sweeps, the list-sweep segments,
// sweep points and time, levelling, filters, blanking, RF output, source
// selection, DC output and source calibration selection.
#include <string_view>

#include "driver/core/frame.h"

namespace {

using namespace kavrel;

constexpr ViReal64 kMaxLevel = 20.0;     // dBm; the lower limit comes from the options
constexpr ViReal64 kMaxVoltage = 15.0;   // V, both signs
constexpr ViReal64 kMaxCurrent = 0.15;   // A, both signs
constexpr ViInt32 kMaxSegments = 12;     // list-sweep segments the instrument holds

constexpr ViInt32 kMinPoints = 2;
constexpr ViInt32 kMaxPoints = 800;
constexpr ViReal64 kMinSweepTime = 0.04;   // s
constexpr ViReal64 kMaxSweepTime = 500.0;  // s
// A sweep time this close to zero asks for automatic timing.
constexpr ViReal64 kAutoSweepTime = 1e-6;

constexpr Keywords<4> kLevellings{"INT", "POS", "NEG", "PMET"};
constexpr Keywords<3> kFrequencyStandards{"INT", "EX1", "EX10"};
constexpr Keywords<3> kCwFilters{"OFF", "ON", "AUTO"};
constexpr Keywords<3> kSourceBandwidths{"LOW", "HIGH", "AUTO"};
constexpr Keywords<2> kSourceSelections{"INT", "EXT"};
constexpr ViInt32 kPlainSourceMode = 2;  // the selection after INT and EXT

// DC output modes, each a complete command.
constexpr Keywords<6> kDcOutputModes{
    ":SOUR:VIO:MODE VGHZ;:SOUR:VIO:VPGS 1.0",
    ":SOUR:VIO:MODE VGHZ;:SOUR:VIO:VPGS 0.5",
    ":SOUR:VIO:MODE CVOL",
    ":SOUR:VIO:MODE CCUR",
    ":SOUR:VIO:MODE VRAM",
    ":SOUR:VIO:MODE CREC",
};
constexpr ViInt32 kConstantVoltage = 2;
constexpr ViInt32 kConstantCurrent = 3;

// The swept range centre +- span/2 stays within the source's frequencies;
// both edges may touch their limits.
bool spanFits(const InstrumentData& data, ViReal64 centre, ViReal64 span) {
  return centre - span / 2 >= kMinFrequency && centre + span / 2 <= data.maxFrequency;
}

}  // namespace

// ---- modes and sweeps -------------------------------------------------------

KAVREL_API ViStatus kavrel_srcContWave(ViSession vi, ViReal64 frequency, ViReal64 level) {
  const InstrumentData* data = nullptr;
  if (ViStatus status = fetchData(vi, data)) return status;
  if (ViStatus status = Checks()
                            .real(frequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER2)
                            .real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER3))
    return status;
  return send(vi, line(":SOUR:MODE CW;:SOUR:FREQ ", real(frequency), ";POW:LEV ", fixed2(level)));
}

KAVREL_API ViStatus kavrel_srcFreqSweep(ViSession vi, ViBoolean representation, ViReal64 startOrCenter,
                                        ViReal64 stopOrSpan, ViReal64 level) {
  // The form decides which relation applies, so it is checked before anything else.
  if (ViStatus status = Checks().flag(representation, VI_ERROR_PARAMETER2)) return status;
  const InstrumentData* data = nullptr;
  if (ViStatus status = fetchData(vi, data)) return status;
  const bool startStop = representation == VI_TRUE;
  Checks checks;
  checks.real(startOrCenter, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER3)
      .real(stopOrSpan, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER4);
  if (startStop)
    checks.rule(startOrCenter <= stopOrSpan, VI_ERROR_INSTR_START_GT_STOP);
  else
    checks.rule(spanFits(*data, startOrCenter, stopOrSpan), VI_ERROR_INSTR_CENTER_SPAN_RANGE);
  if (ViStatus status = checks.real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER5)) return status;
  // Centre and span go out as given; the instrument derives start and stop.
  return send(vi, line(":SOUR:MODE FREQ;:SOUR:FREQ:", startStop ? "STAR " : "CENT ", real(startOrCenter),
                       startStop ? ";STOP " : ";SPAN ", real(stopOrSpan), ";:SOUR:POW:LEV ", fixed2(level)));
}

KAVREL_API ViStatus kavrel_srcPowSweep(ViSession vi, ViReal64 startLevel, ViReal64 stopLevel, ViReal64 frequency) {
  const InstrumentData* data = nullptr;
  if (ViStatus status = fetchData(vi, data)) return status;
  if (ViStatus status = Checks()
                            .real(startLevel, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER2)
                            .real(stopLevel, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER3)
                            .rule(startLevel <= stopLevel, VI_ERROR_INSTR_START_GT_STOP)
                            .real(frequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER4))
    return status;
  return send(vi, line(":SOUR:MODE POW;:SOUR:POW:STAR ", fixed2(startLevel), ";STOP ", fixed2(stopLevel),
                       ";:SOUR:FREQ ", real(frequency)));
}

KAVREL_API ViStatus kavrel_srcVoltSweep(ViSession vi, ViReal64 startVoltage, ViReal64 stopVoltage) {
  if (ViStatus status = Checks()
                            .real(startVoltage, -kMaxVoltage, kMaxVoltage, VI_ERROR_PARAMETER2)
                            .real(stopVoltage, -kMaxVoltage, kMaxVoltage, VI_ERROR_PARAMETER3)
                            .rule(startVoltage <= stopVoltage, VI_ERROR_INSTR_START_GT_STOP))
    return status;
  return send(vi, line(":SOUR:MODE VOLT;:SOUR:VIO:VOLT:STAR ", fixed3(startVoltage), ";STOP ", fixed3(stopVoltage)));
}

KAVREL_API ViStatus kavrel_srcCurrSweep(ViSession vi, ViReal64 startCurrent, ViReal64 stopCurrent) {
  if (ViStatus status = Checks()
                            .real(startCurrent, -kMaxCurrent, kMaxCurrent, VI_ERROR_PARAMETER2)
                            .real(stopCurrent, -kMaxCurrent, kMaxCurrent, VI_ERROR_PARAMETER3)
                            .rule(startCurrent <= stopCurrent, VI_ERROR_INSTR_START_GT_STOP))
    return status;
  return send(vi, line(":SOUR:MODE CURR;:SOUR:VIO:CURR:STAR ", fixed3(startCurrent), ";STOP ", fixed3(stopCurrent)));
}

KAVREL_API ViStatus kavrel_srcLinListFreqSweep(ViSession vi, ViReal64 level) {
  const InstrumentData* data = nullptr;
  if (ViStatus status = fetchData(vi, data)) return status;
  if (ViStatus status = Checks().real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER2)) return status;
  return send(vi, line(":SOUR:MODE LIST;:SOUR:POW:LEV ", fixed2(level)));
}

KAVREL_API ViStatus kavrel_srcCreateLinList(ViSession vi, ViReal64 segmentStart[], ViReal64 segmentStop[],
                                            ViInt32 segmentPoints[], ViInt32 segmentCount) {
  // The count is looked at first and reports as the second parameter.
  if (ViStatus status = Checks().integer(segmentCount, 1, kMaxSegments, VI_ERROR_PARAMETER2)) return status;
  // Only a good count may say how many values to look at.
  const auto count = static_cast<std::size_t>(segmentCount);
  if (ViStatus status = Checks()
                            .rule(finiteValues(segmentStart, count), VI_ERROR_PARAMETER2)
                            .rule(finiteValues(segmentStop, count), VI_ERROR_PARAMETER3)
                            .present(segmentPoints, VI_ERROR_PARAMETER4))
    return status;
  // The segment values are the instrument's to judge (numbers only); it replaces its list whole.
  Line list(":SOUR:LLIS:RES");
  for (ViInt32 i = 0; i < segmentCount; ++i)
    list.add(";SEGM ").add(real(segmentStart[i])).add(", ").add(real(segmentStop[i])).add(", ").add(segmentPoints[i]);
  return send(vi, list);
}

KAVREL_API ViStatus kavrel_srcWaveGuideSweep(ViSession vi, ViReal64 startFrequency, ViReal64 stopFrequency,
                                             ViReal64 cutoffFrequency, ViReal64 level) {
  const InstrumentData* data = nullptr;
  if (ViStatus status = fetchData(vi, data)) return status;
  if (ViStatus status = Checks()
                            .real(startFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER2)
                            .real(stopFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER3)
                            .rule(startFrequency <= stopFrequency, VI_ERROR_INSTR_START_GT_STOP)
                            .real(cutoffFrequency, 0.0, startFrequency, VI_ERROR_PARAMETER4)
                            .real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER5))
    return status;
  return send(vi, line(":SOUR:MODE WAV;:SOUR:FREQ:STAR ", real(startFrequency), ";STOP ", real(stopFrequency),
                       ";:REFL:WGC ", real(cutoffFrequency), ";:SOUR:POW:LEV ", fixed2(level)));
}

KAVREL_API ViStatus kavrel_srcLowPassSweep(ViSession vi, ViReal64 stopFrequency, ViReal64 level) {
  const InstrumentData* data = nullptr;
  if (ViStatus status = fetchData(vi, data)) return status;
  if (ViStatus status = Checks()
                            .real(stopFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER2)
                            .real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER3))
    return status;
  return send(vi, line(":SOUR:MODE LOWP;:SOUR:FREQ:STOP ", real(stopFrequency), ";:SOUR:POW:LEV ", fixed2(level)));
}

// ---- configuration and outputs ----------------------------------------------

KAVREL_API ViStatus kavrel_srcSweepConfig(ViSession vi, ViInt32 numberOfPoints, ViReal64 sweepTime) {
  // A time within 1e-6 of zero is not range-checked; written so that NaN is.
  const bool nearZero = sweepTime >= -kAutoSweepTime && sweepTime <= kAutoSweepTime;
  if (ViStatus status =
          Checks()
              .integer(numberOfPoints, kMinPoints, kMaxPoints, VI_ERROR_PARAMETER2)
              .rule(nearZero || !kavrel_invalidViReal64Range(sweepTime, kMinSweepTime, kMaxSweepTime),
                    VI_ERROR_PARAMETER3))
    return status;
  if (ViStatus status = writeLine(vi, line(":SOUR:SWE:POIN ", numberOfPoints)); status < VI_SUCCESS) return status;
  // Exactly +-1e-6 is a manual time; only what lies strictly between is automatic.
  const bool automatic = sweepTime > -kAutoSweepTime && sweepTime < kAutoSweepTime;
  // One status check covers both lines.
  return send(vi, automatic ? std::string(":SOUR:SWE:AUTO ON") : line(":SOUR:SWE:AUTO OFF;TIME ", fixed2(sweepTime)));
}

KAVREL_API ViStatus kavrel_srcLevFreqStd(ViSession vi, ViInt32 levelling, ViInt32 frequencyStandard) {
  if (ViStatus status = Checks()
                            .index(levelling, kLevellings, VI_ERROR_PARAMETER2)
                            .index(frequencyStandard, kFrequencyStandards, VI_ERROR_PARAMETER3))
    return status;
  return send(vi, line(":SOUR:LEV ", keyword(kLevellings, levelling), ";:SOUR:FREQ:STAN ",
                       keyword(kFrequencyStandards, frequencyStandard)));
}

KAVREL_API ViStatus kavrel_srcRFBlanking(ViSession vi, ViBoolean blanking) {
  if (ViStatus status = Checks().flag(blanking, VI_ERROR_PARAMETER2)) return status;
  return send(vi, line(":SOUR:BLAN ", onOff(blanking)));
}

KAVREL_API ViStatus kavrel_srcSelect(ViSession vi, ViInt32 selection) {
  if (ViStatus status = Checks().integer(selection, 0, kPlainSourceMode, VI_ERROR_PARAMETER2)) return status;
  Reply reply;
  if (ViStatus status = query(vi, ":SYST:MODE?", reply); status < VI_SUCCESS) return status;
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
}

KAVREL_API ViStatus kavrel_srcVIOutput(ViSession vi, ViInt32 outputMode, ViReal64 value) {
  // The value is only looked at by the constant voltage and current modes.
  if (ViStatus status =
          Checks()
              .index(outputMode, kDcOutputModes, VI_ERROR_PARAMETER2)
              .rule(outputMode != kConstantVoltage || !kavrel_invalidViReal64Range(value, -kMaxVoltage, kMaxVoltage),
                    VI_ERROR_PARAMETER3)
              .rule(outputMode != kConstantCurrent || !kavrel_invalidViReal64Range(value, -kMaxCurrent, kMaxCurrent),
                    VI_ERROR_PARAMETER3))
    return status;
  Line command(keyword(kDcOutputModes, outputMode));
  if (outputMode == kConstantVoltage) command.add(";:SOUR:VIO:VOLT:CONS ").add(fixed3(value));
  if (outputMode == kConstantCurrent) command.add(";:SOUR:VIO:CURR:CONS ").add(fixed3(value));
  return send(vi, command);
}

KAVREL_API ViStatus kavrel_srcFilterAndBW(ViSession vi, ViInt32 cwFilter, ViInt32 sourceBandwidth) {
  if (ViStatus status = Checks()
                            .index(cwFilter, kCwFilters, VI_ERROR_PARAMETER2)
                            .index(sourceBandwidth, kSourceBandwidths, VI_ERROR_PARAMETER3))
    return status;
  return send(vi, line(":SOUR:CWF ", keyword(kCwFilters, cwFilter), ";:SOUR:SBAN ",
                       keyword(kSourceBandwidths, sourceBandwidth)));
}

KAVREL_API ViStatus kavrel_srcRFOutput(ViSession vi, ViBoolean rfOutput) {
  if (ViStatus status = Checks().flag(rfOutput, VI_ERROR_PARAMETER2)) return status;
  return send(vi, line(":SOUR:RF ", onOff(rfOutput)));
}

KAVREL_API ViStatus kavrel_sourCal(ViSession vi, ViInt32 calibrationNumber) {
  // The highest store number comes from the instrument, so it is asked first.
  if (ViStatus status = checkStoreNumber(vi, ":SOUR:CAL:MAX?", calibrationNumber, VI_ERROR_PARAMETER2, 0))
    return status;
  return send(vi, line(":SOUR:CAL:SEL ", calibrationNumber));
}
