// Detector inputs A..D: how the detectors are used, level offsets, detector,
// temperature and flatness corrections, power-sensor correction factors, AC
// detection, zeroing, the power reference and input calibration. These belong
// to the inputs, not to a display channel, so nothing here selects one.
#include "driver/core/frame.h"

namespace {

using namespace kavrel;

constexpr Keywords<2> kDetectorConfigs{"PMET", "SCAL"};
// Where a correction table's frequency comes from. Row 0 has no keyword: the
// flatness correction leaves the source clause out, the sensor correction
// uses fixed factors instead of a store.
constexpr Keywords<4> kFrequencySources{"", "FREQ", "COUN", "SOUR"};
constexpr ViInt32 kNoFrequencySource = 0;
constexpr ViInt32 kFixedFrequency = 1;
constexpr Keywords<4> kZeroings{"AUTO OFF", "AUTO ON", "DET", "SENS"};

constexpr ViReal64 kMaxOffset = 99.99;
constexpr ViInt32 kMaxDetector = 16;  // 0 is automatic detector selection
constexpr ViReal64 kMaxCorrectionFrequency = 999999000000.0;

}  // namespace

KAVREL_API ViStatus kavrel_inpDConfig(ViSession vi, ViBoolean detectorConfig) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(detectorConfig, VI_ERROR_PARAMETER2));
  return send(vi, line(":INP:DCON ", keyword(kDetectorConfigs, detectorConfig)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpOffset(ViSession vi, ViInt32 input, ViReal64 offset) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      Checks().index(input, kInputs, VI_ERROR_PARAMETER2).real(offset, -kMaxOffset, kMaxOffset, VI_ERROR_PARAMETER3));
  return send(vi, line(":INP:OFFS ", keyword(kInputs, input), ",", real(offset)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpDetCorr(ViSession vi, ViInt32 input, ViInt32 detectorNumber) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(input, kInputs, VI_ERROR_PARAMETER2)
                             .integer(detectorNumber, 0, kMaxDetector, VI_ERROR_PARAMETER3));
  if (detectorNumber == 0) return send(vi, line(":INP:SCAL:AUTO ", keyword(kInputs, input)));
  return send(vi, line(":INP:SCAL:DET ", keyword(kInputs, input), ",", detectorNumber));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpTempCorr(ViSession vi, ViInt32 input, ViBoolean tempCorr) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().index(input, kInputs, VI_ERROR_PARAMETER2).flag(tempCorr, VI_ERROR_PARAMETER3));
  return send(vi, line(":INP:SCAL:TCOR ", keyword(kInputs, input), ",", onOff(tempCorr)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpFlatCorr(ViSession vi, ViInt32 input, ViBoolean flatCorr, ViInt32 frequencySource,
                                       ViReal64 frequency) try {
  const SessionGuard guard(vi);
  Checks checks;
  checks.index(input, kInputs, VI_ERROR_PARAMETER2)
      .flag(flatCorr, VI_ERROR_PARAMETER3)
      .index(frequencySource, kFrequencySources, VI_ERROR_PARAMETER4);
  if (frequencySource == kFixedFrequency) checks.real(frequency, 0.0, kMaxCorrectionFrequency, VI_ERROR_PARAMETER5);
  KAVREL_RETURN_IF_ERROR(checks);

  std::string_view inputName = keyword(kInputs, input);
  Line command(":INP:FCOR ", inputName, ",", onOff(flatCorr));
  if (frequencySource != kNoFrequencySource)
    command.add(";:INP:FCOR:FREQ:FROM ").add(inputName).add(",").add(keyword(kFrequencySources, frequencySource));
  if (frequencySource == kFixedFrequency) command.add(";:INP:FCOR:FREQ ").add(inputName).add(",").add(sci9(frequency));
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpPwrSensorCorr(ViSession vi, ViInt32 frequencySource, ViReal64 calFactor,
                                            ViReal64 lfacFactor, ViReal64 frequency, ViInt32 storeNumber) try {
  const SessionGuard guard(vi);
  Checks checks;
  checks.index(frequencySource, kFrequencySources, VI_ERROR_PARAMETER2);
  if (frequencySource == kNoFrequencySource)
    checks.real(calFactor, 0.01, 200.0, VI_ERROR_PARAMETER3).real(lfacFactor, 0.1, 15.0, VI_ERROR_PARAMETER4);
  if (frequencySource == kFixedFrequency) checks.real(frequency, 0.0, kMaxCorrectionFrequency, VI_ERROR_PARAMETER5);
  KAVREL_RETURN_IF_ERROR(checks);

  if (frequencySource == kNoFrequencySource)
    return send(vi, line(":INP:CFAC:VAL ", real(calFactor), ";:INP:LFAC:VAL ", real(lfacFactor)));

  // The stores are numbered 1..the maximum the instrument reports now.
  KAVREL_RETURN_IF_ERROR(checkStoreNumber(vi, ":INP:CFAC:STOR:MAX?", storeNumber, VI_ERROR_PARAMETER6));

  Line command(":INP:CFAC:STOR:NUMB ", storeNumber, ";:INP:CFAC:FREQ:FROM ",
               keyword(kFrequencySources, frequencySource));
  if (frequencySource == kFixedFrequency) command.add(";:INP:CFAC:FREQ ").add(real(frequency));
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpACdetect(ViSession vi, ViBoolean acDetection) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(acDetection, VI_ERROR_PARAMETER2));
  return send(vi, line(":INP:ACD ", onOff(acDetection)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpDetZero(ViSession vi, ViInt32 zeroing) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().index(zeroing, kZeroings, VI_ERROR_PARAMETER2));
  return send(vi, line(":INP:ZERO:", keyword(kZeroings, zeroing)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpPwrRef(ViSession vi, ViBoolean powerReference) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(powerReference, VI_ERROR_PARAMETER2));
  return send(vi, line(":INP:REF ", onOff(powerReference)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_inpCalibration(ViSession vi, ViBoolean detectorCal, ViInt32 input) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(detectorCal, VI_ERROR_PARAMETER2).index(input, kInputs, VI_ERROR_PARAMETER3));
  // The input goes out only with the detector calibration.
  Line command(":INP:CAL");
  if (detectorCal == VI_TRUE) command.add(":DET ").add(keyword(kInputs, input));
  return send(vi, command);
} KAVREL_CATCH_ALL
