// Display channels: measurement mode, coupling, one or two channels shown,
// measurements per channel, and the active channel and measurement.
#include "driver/core/frame.h"

namespace {

using namespace kavrel;

constexpr Keywords<4> kChannelModes{"SCAL", "READ", "FLOC", "REFL"};

// Measurements shown in a channel and the active one: one with 1 active,
// one with 2 active, both with 1 active.
constexpr Keywords<3> kMeasurementSelections{";:MEAS:NME 1;ACT 1", ";:MEAS:NME 1;ACT 2", ";:MEAS:NME 2;ACT 1"};

}  // namespace

KAVREL_API ViStatus kavrel_chanMode(ViSession vi, ViBoolean channel, ViInt32 mode) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(channel, VI_ERROR_PARAMETER2).index(mode, kChannelModes, VI_ERROR_PARAMETER3));
  return send(vi, line(":CHAN:ACT ", selectorNumber(channel), ";MODE ", keyword(kChannelModes, mode)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_chanCoupling(ViSession vi, ViBoolean coupling) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(coupling, VI_ERROR_PARAMETER2));
  return send(vi, line(":CHAN:COUP ", onOff(coupling)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_dualChanDisp(ViSession vi, ViBoolean dualDisplay) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(dualDisplay, VI_ERROR_PARAMETER2));
  return send(vi, line(":CHAN:NCH ", ViInt32{dualDisplay == VI_TRUE ? 2 : 1}));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_meas12OnOff(ViSession vi, ViBoolean channel, ViInt32 selection) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      Checks().flag(channel, VI_ERROR_PARAMETER2).index(selection, kMeasurementSelections, VI_ERROR_PARAMETER3));
  return send(vi, line(":CHAN:ACT ", selectorNumber(channel), keyword(kMeasurementSelections, selection)));
} KAVREL_CATCH_ALL

// The selection alone: its write status, without a status check, so an
// instrument-side error stays for the next function that runs one.
KAVREL_API ViStatus kavrel_dispSetActMeas(ViSession vi, ViBoolean channel, ViBoolean measurement) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement));
  return kavrel_SetActiveMeas(vi, channel, measurement);
} KAVREL_CATCH_ALL
