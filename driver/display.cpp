// Display ranges, limit checking and limit specifications, and the display's
// frequency mode with its user offsets and scale.
#include <cmath>
#include <cstddef>

#include "driver/core/frame.h"

namespace {

using namespace kavrel;

constexpr Keywords<3> kSegmentTypes{"FLAT", "SLOP", "POIN"};
constexpr ViInt32 kMaxSegments = 12;
constexpr ViInt32 kMaxLimitLine = 4;

// Fault-location channels show their range in the instrument's 0..100 units.
constexpr ViReal64 kFaultRangeLow = 0.0;
constexpr ViReal64 kFaultRangeHigh = 100.0;

constexpr ViReal64 kMaxFrequencyOffset = 200e9;  // Hz
constexpr ViReal64 kMinFrequencyScale = 0.01;
constexpr ViReal64 kMaxFrequencyScale = 30.0;
constexpr ViReal64 kMaxPowerOffset = 99.99;  // dB

// The range checks of a display range whose limits are known. The first
// value reports as parameter 2, like the representation flag before it.
ViStatus checkDisplayRange(bool startStop, ViReal64 first, ViReal64 second, ViReal64 low, ViReal64 high) {
  Checks checks;
  checks.real(first, low, high, VI_ERROR_PARAMETER2).real(second, low, high, VI_ERROR_PARAMETER3);
  if (startStop) return checks.rule(!(first > second), VI_ERROR_INSTR_START_GT_STOP);
  return checks.rule(first + second / 2 <= high && first - second / 2 >= low, VI_ERROR_INSTR_CENTER_SPAN_RANGE);
}

bool knownSegmentTypes(const ViInt32* types, std::size_t count) {
  if (types == nullptr) return false;
  for (std::size_t i = 0; i < count; ++i)
    if (kavrel_invalidViInt32Range(types[i], 0, static_cast<ViInt32>(kSegmentTypes.size()) - 1)) return false;
  return true;
}

}  // namespace

// The limits depend on the active channel's mode, so the instrument is asked
// before the values are checked: model frequencies in scalar channels, 0..100
// in fault-location channels, none otherwise.
KAVREL_API ViStatus kavrel_measDispRange(ViSession vi, ViBoolean startStop, ViReal64 startOrCenter,
                                         ViReal64 stopOrSpan) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(startStop, VI_ERROR_PARAMETER2));
  Reply mode;
  ViStatus status = query(vi, ":CHAN:MODE?", mode);
  KAVREL_RETURN_IF_ERROR(status);

  bool startStopForm = startStop == VI_TRUE;
  if (mode.scan().literal("SCAL")) {
    const InstrumentData* data = nullptr;
    KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
    status = checkDisplayRange(startStopForm, startOrCenter, stopOrSpan, kMinFrequency, data->maxFrequency);
  } else if (mode.scan().literal("FLOC")) {
    status = checkDisplayRange(startStopForm, startOrCenter, stopOrSpan, kFaultRangeLow, kFaultRangeHigh);
  } else {
    // No limits in this mode, but a value that is not a number is never one.
    status = Checks()
                 .rule(std::isfinite(startOrCenter), VI_ERROR_PARAMETER2)
                 .rule(std::isfinite(stopOrSpan), VI_ERROR_PARAMETER3);
  }
  if (status) return status;

  if (startStopForm) return send(vi, line(":MEAS:DISP:START ", real(startOrCenter), ";STOP ", real(stopOrSpan)));
  return send(vi, line(":MEAS:DISP:CENT ", real(startOrCenter), ";SPAN ", real(stopOrSpan)));
} KAVREL_CATCH_ALL

// The limit line number is checked even when checking is switched off.
KAVREL_API ViStatus kavrel_measLimCheck(ViSession vi, ViBoolean channel, ViBoolean measurement, ViBoolean limitCheck,
                                        ViInt32 limitLine) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .flag(limitCheck, VI_ERROR_PARAMETER4)
                             .integer(limitLine, 1, kMaxLimitLine, VI_ERROR_PARAMETER5));
  if (limitCheck == VI_TRUE) return sendMeas(vi, channel, measurement, line(":MEAS:LIM:SEL ", limitLine, ";STAT ON"));
  return sendMeas(vi, channel, measurement, ":MEAS:LIM:STAT OFF");
} KAVREL_CATCH_ALL

// The reset and every segment go out as one line, however long. The fields
// of a segment are in the order the instrument expects them, which is not
// the order of the parameters.
KAVREL_API ViStatus kavrel_measCreateLimSpec(ViSession vi, const ViReal64 field1[], const ViInt32 segmentType[],
                                             const ViReal64 field5[], const ViReal64 field4[], const ViReal64 field2[],
                                             const ViReal64 field6[], const ViReal64 field7[],
                                             ViInt32 segmentCount) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().integer(segmentCount, 1, kMaxSegments, VI_ERROR_PARAMETER2));
  std::size_t count = static_cast<std::size_t>(segmentCount);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .rule(finiteValues(field1, count), VI_ERROR_PARAMETER2)
                             .rule(knownSegmentTypes(segmentType, count), VI_ERROR_PARAMETER3)
                             .rule(finiteValues(field5, count), VI_ERROR_PARAMETER4)
                             .rule(finiteValues(field4, count), VI_ERROR_PARAMETER5)
                             .rule(finiteValues(field2, count), VI_ERROR_PARAMETER6)
                             .rule(finiteValues(field6, count), VI_ERROR_PARAMETER7)
                             .rule(finiteValues(field7, count), VI_ERROR_PARAMETER8));

  Line text(":MEAS:LIM:RES");
  for (std::size_t i = 0; i < count; ++i)
    text.add(line(";SEGM ", real(field1[i]), ", ", real(field2[i]), ", ", keyword(kSegmentTypes, segmentType[i]), ", ",
                  real(field4[i]), ", ", real(field5[i]), ", ", real(field6[i]), ", ", real(field7[i])));
  return send(vi, text);
} KAVREL_CATCH_ALL

// All five arguments are checked whatever the mode, also those it does not send.
KAVREL_API ViStatus kavrel_dispDomScaleOffset(ViSession vi, ViBoolean channel, ViInt32 frequencyMode,
                                              ViReal64 frequencyOffset, ViReal64 frequencyScale,
                                              ViReal64 powerOffset) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .flag(channel, VI_ERROR_PARAMETER2)
                             .integer(frequencyMode, 0, 3, VI_ERROR_PARAMETER3)
                             .real(frequencyOffset, -kMaxFrequencyOffset, kMaxFrequencyOffset, VI_ERROR_PARAMETER4)
                             .real(frequencyScale, kMinFrequencyScale, kMaxFrequencyScale, VI_ERROR_PARAMETER5)
                             .real(powerOffset, -kMaxPowerOffset, kMaxPowerOffset, VI_ERROR_PARAMETER6));

  Line text(":CHAN:ACT ", selectorNumber(channel));
  switch (frequencyMode) {
    case 0:
      text.add(line(";:SYST:DISP:FMOD USER;FOFF ", real(frequencyOffset), ";FSC ", real(frequencyScale)));
      break;
    case 1:
      text.add(line(";:SYST:DISP:FMOD USER;POFF ", real(powerOffset)));
      break;
    case 2:
      text.add(";:SYST:DISP:FMOD 5831");
      break;
    default:
      text.add(";:SYST:DISP:FMOD 5832");
      break;
  }
  return send(vi, text);
} KAVREL_CATCH_ALL
