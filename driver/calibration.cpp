// Reflection calibration procedure: kit and type, measuring the standards,
// processing into a store, restoring, zeroing, aborting, cable, validity.
// The instrument holds the calibration in progress; every call passes one
// step through and learns from the status check whether it was accepted.
#include "driver/core/frame.h"
#include "driver/core/quoted.h"

namespace {

using namespace kavrel;

constexpr Keywords<5> kCalibrationTypes{"CSOF", "CSOS", "WSOL", "WS12", "WSOS"};
// Connector sex of a coaxial calibration: VI_FALSE female, VI_TRUE male.
constexpr Keywords<2> kCalibrationSexes{"FEM", "MALE"};
constexpr Keywords<6> kStandards{"FLO", "OPEN", "OSH", "SHOR", "SLO", "TPOR"};

// Coaxial types, the only ones that carry a connector sex.
constexpr ViInt32 kLastTypeWithSex = 1;
constexpr ViInt32 kOffsetShort = 2;
constexpr ViInt32 kSlidingLoad = 4;
constexpr ViInt32 kSlidingLoadPositions = 8;

enum Operation : ViInt32 { kZero = 0, kProcess = 1, kRestore = 2 };

}  // namespace

KAVREL_API ViStatus kavrel_reflConfigCal(ViSession vi, ViInt32 kitNumber, ViInt32 calibrationType,
                                         ViBoolean connectorSex) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(checkStoreNumber(vi, ":REFL:CAL:KIT:MAX?", kitNumber, VI_ERROR_PARAMETER2));
  KAVREL_RETURN_IF_ERROR(
      Checks().index(calibrationType, kCalibrationTypes, VI_ERROR_PARAMETER3).flag(connectorSex, VI_ERROR_PARAMETER4));
  Line command(":REFL:CAL:KIT ", kitNumber, ";:REFL:CAL:TYPE ", keyword(kCalibrationTypes, calibrationType));
  if (calibrationType <= kLastTypeWithSex) command.add(";SEX ").add(keyword(kCalibrationSexes, connectorSex));
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflCalMeas(ViSession vi, ViInt32 standard, ViBoolean offsetShort,
                                       ViInt32 slidingLoadPosition) try {
  const SessionGuard guard(vi);
  // Every argument is checked, whichever the standard uses.
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(standard, kStandards, VI_ERROR_PARAMETER2)
                             .flag(offsetShort, VI_ERROR_PARAMETER3)
                             .integer(slidingLoadPosition, 1, kSlidingLoadPositions, VI_ERROR_PARAMETER4));
  Line command(":REFL:CAL:MEAS:", keyword(kStandards, standard));
  if (standard == kOffsetShort) command.add(" ").add(selectorNumber(offsetShort));
  if (standard == kSlidingLoad) command.add(" ").add(slidingLoadPosition);
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflPerformCal(ViSession vi, ViInt32 operation, ViInt32 storeNumber, ViString title) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().integer(operation, kZero, kRestore, VI_ERROR_PARAMETER2));
  // Zeroing uses neither the store nor the title, and asks nothing.
  if (operation == kZero) return send(vi, ":REFL:ZERO");
  KAVREL_RETURN_IF_ERROR(checkStoreNumber(vi, ":REFL:CAL:DATA:MAX?", storeNumber, VI_ERROR_PARAMETER3));
  if (operation == kRestore) return send(vi, line(":REFL:CAL:REST ", storeNumber));
  KAVREL_RETURN_IF_ERROR(
      Checks().text(title, kTextMax, VI_ERROR_PARAMETER4).rule(quotable(title), VI_ERROR_PARAMETER4));
  return send(vi, line(":REFL:CAL:PROC ", storeNumber, ",\"", title, "\""));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflAbortCal(ViSession vi) try {
  const SessionGuard guard(vi);
  return send(vi, ":REFL:CAL:ABOR");
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflConfigCab(ViSession vi, ViBoolean cable) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(cable, VI_ERROR_PARAMETER2));
  return send(vi, line(":REFL:CAL:CABL ", onOff(cable)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflCalVal(ViSession vi, ViPInt32 validity) try {
  const SessionGuard guard(vi);
  // Without a place for the answer there is nothing to ask.
  if (validity == VI_NULL) return VI_SUCCESS;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, ":REFL:CAL:VAL?", *validity));
  return kavrel_checkStatus(vi);
} KAVREL_CATCH_ALL
