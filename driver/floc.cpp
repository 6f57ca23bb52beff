// Fault location (distance to fault): medium, frequency or distance range,
// points, distance unit, averaging, windowing, mask correction, enhancement,
// scaling, format and the fault-location calibration. The settings belong to
// the channel, so most functions select the channel's measurement 1; scaling
// and format act on the caller's measurement.
#include "driver/core/settings.h"

namespace {

using namespace kavrel;

constexpr Keywords<2> kDistanceUnits{"FEET", "METR"};
constexpr Keywords<3> kWindows{"LOW", "MED", "HIGH"};
constexpr Keywords<2> kFlocFormats{"VSWR", "LOG"};
constexpr Keywords<2> kCalibrationActions{"SAVE", "REST"};
constexpr Keywords<3> kAutoScales{"OFF", "ONCE", "CONT"};
constexpr ViInt32 kManualScale = 3;

constexpr ViBoolean kFirstMeasurement = VI_FALSE;
constexpr ViReal64 kMaxDistance = 25000.0;

// Attenuation per metre, or the same limit per foot (100 x 0.3048).
constexpr ViReal64 kMaxAttenuationMetres = 100.0;
constexpr ViReal64 kMaxAttenuationFeet = 30.48;

// Select the channel's measurement 1, write the line, then the status check.
ViStatus sendChannel(ViSession vi, ViBoolean channel, std::string_view text) {
  return sendMeas(vi, channel, kFirstMeasurement, text);
}

}  // namespace

// The attenuation's limit follows the distance unit the instrument reports
// after the selection, so an attenuation error comes after the selection has
// been sent.
KAVREL_API ViStatus kavrel_flocMedium(ViSession vi, ViBoolean channel, ViBoolean medium, ViReal64 cutoffFrequency,
                                      ViReal64 relativeVelocity, ViReal64 attenuation) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).flag(medium, VI_ERROR_PARAMETER3));
  const bool coaxial = medium == VI_TRUE;
  if (coaxial) {
    KAVREL_RETURN_IF_ERROR(Checks().real(relativeVelocity, 0.1, 1.0, VI_ERROR_PARAMETER5));
  } else {
    const InstrumentData* data = nullptr;
    KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
    KAVREL_RETURN_IF_ERROR(Checks().real(cutoffFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER4));
  }

  KAVREL_RETURN_IF_ERROR(kavrel_SetActiveMeas(vi, channel, kFirstMeasurement));
  bool metres = false;
  KAVREL_RETURN_IF_ERROR(queryBeginsWith(vi, ":FLOC:UNIT?", "METR", metres));
  KAVREL_RETURN_IF_ERROR(
      Checks().real(attenuation, 0.0, metres ? kMaxAttenuationMetres : kMaxAttenuationFeet, VI_ERROR_PARAMETER6));

  Line command;
  if (coaxial)
    command.add(":FLOC:MED COAX;RVEL ").add(fixed3(relativeVelocity));
  else
    command.add(":FLOC:MED WAV;WGC ").add(real(cutoffFrequency));
  command.add(";:FLOC:ATT ").add(fixed3(attenuation));
  return send(vi, command);
} KAVREL_CATCH_ALL

// Each value is checked against its own bounds only: start above stop, or a
// centre that does not suit the distance, is the instrument's to judge.
KAVREL_API ViStatus kavrel_flocRange(ViSession vi, ViBoolean channel, ViBoolean rangeEntry, ViReal64 distanceRange,
                                     ViReal64 centerFrequency, ViReal64 startFrequency, ViReal64 stopFrequency) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).flag(rangeEntry, VI_ERROR_PARAMETER3));
  const bool entry = rangeEntry == VI_TRUE;
  if (entry) {
    KAVREL_RETURN_IF_ERROR(Checks().real(distanceRange, 0.0, kMaxDistance, VI_ERROR_PARAMETER4));
  }
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  const ViReal64 maxFrequency = data->maxFrequency;

  if (entry) {
    KAVREL_RETURN_IF_ERROR(Checks().real(centerFrequency, kMinFrequency, maxFrequency, VI_ERROR_PARAMETER5));
    return sendChannel(
        vi, channel,
        line(":FLOC:RANG:ENTRY ON;:FLOC:RANG:VAL ", real(distanceRange), ";:FLOC:FREQ:CENT ", real(centerFrequency)));
  }
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(startFrequency, kMinFrequency, maxFrequency, VI_ERROR_PARAMETER6)
                             .real(stopFrequency, kMinFrequency, maxFrequency, VI_ERROR_PARAMETER7));
  return sendChannel(
      vi, channel, line(":FLOC:RANG:ENTRY OFF;:FLOC:FREQ:STAR ", real(startFrequency), ";STOP ", real(stopFrequency)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocNumOfPoints(ViSession vi, ViBoolean channel, ViInt32 numberOfPoints) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .flag(channel, VI_ERROR_PARAMETER2)
                             .integer(numberOfPoints, kMinFaultPoints, kMaxFaultPoints, VI_ERROR_PARAMETER3));
  return sendChannel(vi, channel, line(":FLOC:POIN ", numberOfPoints));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocDispUnit(ViSession vi, ViBoolean channel, ViBoolean distanceUnit) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).flag(distanceUnit, VI_ERROR_PARAMETER3));
  return sendChannel(vi, channel, line(":FLOC:UNIT ", keyword(kDistanceUnits, distanceUnit)));
} KAVREL_CATCH_ALL

// Returns the write status: no status check, so an error the instrument
// finds in this command is reported by the next call that reads "*ESR?".
KAVREL_API ViStatus kavrel_flocAveraging(ViSession vi, ViBoolean channel, ViInt32 mode, ViInt32 numberOfAverages) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .flag(channel, VI_ERROR_PARAMETER2)
                             .averaging(mode, numberOfAverages, VI_ERROR_PARAMETER3, VI_ERROR_PARAMETER4));
  KAVREL_RETURN_IF_ERROR(kavrel_SetActiveMeas(vi, channel, kFirstMeasurement));
  return writeLine(vi, averagingLine(":FLOC", ":FLOC:AVER:NUMB ", mode, numberOfAverages));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocWindowing(ViSession vi, ViBoolean channel, ViInt32 window) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).index(window, kWindows, VI_ERROR_PARAMETER3));
  return sendChannel(vi, channel, line(":FLOC:WIND ", keyword(kWindows, window)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocMaskCorr(ViSession vi, ViBoolean channel, ViBoolean maskCorr) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).flag(maskCorr, VI_ERROR_PARAMETER3));
  return sendChannel(vi, channel, line(":FLOC:MCOR ", onOff(maskCorr)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocEnhMode(ViSession vi, ViBoolean channel, ViBoolean enhancement) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).flag(enhancement, VI_ERROR_PARAMETER3));
  return sendChannel(vi, channel, line(":FLOC:ENH ", onOff(enhancement)));
} KAVREL_CATCH_ALL

// Manual limits follow the format the instrument reports, asked before the
// selection (so for the measurement active when the call begins). The
// per-division value and the reference level are checked, in manual mode
// only, before the reference position.
KAVREL_API ViStatus kavrel_flocScaling(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 scaleMode,
                                       ViReal64 valuePerDivision, ViInt32 referencePosition,
                                       ViReal64 referenceLevel) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      selectionChecks(channel, measurement).integer(scaleMode, 0, kManualScale, VI_ERROR_PARAMETER4));
  const ScaleLimits* manual = nullptr;
  if (scaleMode == kManualScale) {
    bool log = false;
    KAVREL_RETURN_IF_ERROR(queryBeginsWith(vi, ":FLOC:FORM?", "LOG", log));
    manual = log ? &kLogScale : &kVswrScale;
  }
  KAVREL_RETURN_IF_ERROR(scaleChecks(manual, valuePerDivision, referencePosition, referenceLevel));
  if (manual != nullptr)
    return sendMeas(vi, channel, measurement,
                    line(":FLOC:SCAL:DIV ", fixed2(valuePerDivision), ";POS ", referencePosition, ";RLEV ",
                         fixed2(referenceLevel)));
  return sendMeas(vi, channel, measurement, line(":FLOC:SCAL:AUTO ", keyword(kAutoScales, scaleMode)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocFormat(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean format) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement).flag(format, VI_ERROR_PARAMETER4));
  return sendMeas(vi, channel, measurement, line(":FLOC:FORM ", keyword(kFlocFormats, format)));
} KAVREL_CATCH_ALL

// Saves or restores the fault-location calibration; no channel is selected.
KAVREL_API ViStatus kavrel_flocCalibration(ViSession vi, ViBoolean action) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(action, VI_ERROR_PARAMETER2));
  return send(vi, line(":FLOC:CAL:", keyword(kCalibrationActions, action)));
} KAVREL_CATCH_ALL
