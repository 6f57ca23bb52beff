// Application programs: the instrument's own programs (load, run, numbered
// parameters), and a swept scalar power measurement in one call built from
// the driver's source, channel, scalar and trace functions.
//
// The four program functions report only the write or read status: an error
// the instrument raises stays in its event status register for the next
// status check.
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "driver/app_delay.h"
#include "driver/core/frame.h"
#include "driver/core/quoted.h"

namespace {

using namespace kavrel;

// Values each application parameter 1..6 accepts: a range inclusive at both
// ends, or for the switches exactly one of its two ends.
struct ParamValues {
  ViReal64 min, max;
  bool endsOnly;
};
constexpr std::array<ParamValues, 6> kParamValues{{
    {-99.99, 99.99, false},
    {0.0, 1.0, false},
    {-20.0, 99.99, false},
    {-99.99, 99.99, false},
    {0.0, 1.0, true},
    {0.0, 1.0, true},
}};
constexpr ViInt32 kReadOnlyParam = 8;  // readable, not settable

bool paramAccepts(ViInt32 number, ViReal64 value) {
  if (number < 1 || number > static_cast<ViInt32>(kParamValues.size())) return false;
  const ParamValues& row = kParamValues[static_cast<std::size_t>(number - 1)];
  if (row.endsOnly) return value == row.min || value == row.max;
  return !kavrel_invalidViReal64Range(value, row.min, row.max);
}

// Settling time added to the sweep time before the trace is read, s.
constexpr ViReal64 kSettleTime = 2.0;

void sleepSeconds(ViReal64 seconds) { std::this_thread::sleep_for(std::chrono::duration<ViReal64>(seconds)); }

std::atomic<void (*)(ViReal64)> appDelay{sleepSeconds};

}  // namespace

void kavrel_appSetDelay(void (*delay)(ViReal64 seconds)) { appDelay = delay ? delay : sleepSeconds; }

KAVREL_API ViStatus kavrel_appLoad(ViSession vi, ViString applicationName) try {
  const SessionGuard guard(vi);
  // The name goes out between double quotes: a quote or control character in it would run the rest as commands.
  KAVREL_RETURN_IF_ERROR(Checks().rule(quotable(applicationName), VI_ERROR_PARAMETER2));
  return writeLine(vi, line(":SYST:APPL:LOAD \"", applicationName, "\""));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_appRun(ViSession vi, ViInt32 runNumber) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().integer(runNumber, 1, 2, VI_ERROR_PARAMETER2));
  return writeLine(vi, line(":SYST:APPL:RUN ", runNumber));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_appParam(ViSession vi, ViInt32 parameterNumber, ViReal64 value) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .integer(parameterNumber, 1, 6, VI_ERROR_PARAMETER2)
                             .rule(paramAccepts(parameterNumber, value), VI_ERROR_PARAMETER3));
  return writeLine(vi, line(":SYST:APPL:PAR ", parameterNumber, ", ", real(value)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_appParamQuery(ViSession vi, ViInt32 parameterNumber, ViPReal64 value) try {
  const SessionGuard guard(vi);
  bool readable = !kavrel_invalidViInt32Range(parameterNumber, 1, 6) || parameterNumber == kReadOnlyParam;
  KAVREL_RETURN_IF_ERROR(Checks().rule(readable, VI_ERROR_PARAMETER2));
  Reply reply;
  ViStatus status = query(vi, line(":SYST:APPL:PAR? ", parameterNumber), reply);
  KAVREL_RETURN_IF_ERROR(status);
  ViReal64 received = 0.0;
  if (!reply.scan().real(received)) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  if (value) *value = received;
  return status;
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_appExample(ViSession vi, ViInt32 input, ViReal64 startFrequency, ViReal64 stopFrequency,
                                      ViReal64 level, ViInt32 sweepPoints, ViBoolean autoSweepTime, ViReal64 sweepTime,
                                      ViBoolean rfOutput, ViPInt32 numberOfPoints, ViReal64 traceValues[]) try {
  const SessionGuard guard(vi);
  const InstrumentData* data = nullptr;
  KAVREL_RETURN_IF_ERROR(fetchData(vi, data));
  // Start above stop is left to the frequency sweep, which reports it.
  KAVREL_RETURN_IF_ERROR(Checks()
                             .index(input, kInputs, VI_ERROR_PARAMETER2)
                             .real(startFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER3)
                             .real(stopFrequency, kMinFrequency, data->maxFrequency, VI_ERROR_PARAMETER4)
                             .real(level, data->minLevel, kMaxLevel, VI_ERROR_PARAMETER5)
                             .integer(sweepPoints, kMinPoints, kMaxPoints, VI_ERROR_PARAMETER6)
                             .flag(autoSweepTime, VI_ERROR_PARAMETER7)
                             .real(sweepTime, kMinSweepTime, kMaxSweepTime, VI_ERROR_PARAMETER8)
                             .flag(rfOutput, VI_ERROR_INSTR_PARAMETER9)
                             .present(traceValues, VI_ERROR_INSTR_PARAMETER11));

  // Each step's error ends the sequence; its warnings are not kept.
  constexpr ViInt32 kScalarMode = 0, kContinuousAutoScale = 2;
  bool automatic = autoSweepTime == VI_TRUE;
  KAVREL_RETURN_IF_ERROR(kavrel_dualChanDisp(vi, VI_FALSE));
  KAVREL_RETURN_IF_ERROR(kavrel_dispSetActMeas(vi, VI_FALSE, VI_FALSE));
  KAVREL_RETURN_IF_ERROR(kavrel_chanMode(vi, VI_FALSE, kScalarMode));
  KAVREL_RETURN_IF_ERROR(kavrel_scalPower(vi, VI_FALSE, VI_FALSE, input));
  KAVREL_RETURN_IF_ERROR(kavrel_srcFreqSweep(vi, VI_TRUE, startFrequency, stopFrequency, level));
  KAVREL_RETURN_IF_ERROR(kavrel_srcSweepConfig(vi, sweepPoints, automatic ? 0.0 : sweepTime));
  KAVREL_RETURN_IF_ERROR(kavrel_srcRFOutput(vi, rfOutput));
  KAVREL_RETURN_IF_ERROR(kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, kContinuousAutoScale, 10.0, 5, 0.0));

  // Let the sweep run through before reading the trace.
  appDelay.load()(automatic ? kSettleTime : sweepTime + kSettleTime);
  return kavrel_scalReadData(vi, numberOfPoints, traceValues);
} KAVREL_CATCH_ALL
