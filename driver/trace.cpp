// Reading results back: scalar and fault-location traces as binary blocks,
// power-meter readings and the number of stores of each kind. None of these
// selects a channel or measurement; the instrument answers for its current one.
#include <algorithm>

#include "driver/core/block.h"
#include "driver/core/frame.h"

namespace {

using namespace kavrel;

// A trace: how many points it has, the block holding it, and the most
// values one read accepts.
struct Trace {
  std::string_view pointsQuery;
  const char* blockQuery;
  ViInt32 capacity;
};
constexpr Trace kScalarTrace{":SOUR:SWE:POIN?", ":SCAL:DATA:BIN?", kMaxPoints};
constexpr Trace kFaultTrace{":FLOC:POIN?", ":FLOC:DATA:BIN?", kMaxFaultPoints};
static_assert(kScalarTrace.capacity <= kBlockCapacity && kFaultTrace.capacity <= kBlockCapacity);

// Power-meter readings: suffixes of ":ROUT".
constexpr Keywords<3> kReadings{"?", ":PEAK:MIN?", ":PEAK:MAX?"};

// Store kinds: stems of ":<stem>:MAX?".
constexpr Keywords<6> kStores{"INP:CFAC:STOR", "REFL:CAL:DATA", "REFL:CAL:KIT", "SCAL:MEM", "SOUR:CAL", "SYST:SETT"};

// Number of points first (stored when wanted), then the block if the caller
// gave an array: only the values received are written, never more than the
// points or the trace's capacity.
ViStatus readTrace(ViSession vi, const Trace& trace, ViPInt32 numberOfPoints, ViReal64 traceValues[]) {
  ViInt32 points = 0;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, trace.pointsQuery, points));
  if (numberOfPoints != VI_NULL) *numberOfPoints = points;
  // A points reply of zero or below leaves nothing to receive: no block is asked for.
  const ViInt32 maxCount = std::clamp<ViInt32>(points, 0, trace.capacity);
  if (traceValues != VI_NULL && maxCount > 0) {
    FloatBlock block;
    KAVREL_RETURN_IF_ERROR(queryFloatBlock(vi, trace.blockQuery, maxCount, block));
    for (ViInt32 i = 0; i < block.count; ++i) traceValues[i] = block.values[static_cast<std::size_t>(i)];
  }
  return kavrel_checkStatus(vi);
}

}  // namespace

KAVREL_API ViStatus kavrel_scalReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 traceValues[]) try {
  const SessionGuard guard(vi);
  return readTrace(vi, kScalarTrace, numberOfPoints, traceValues);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_flocReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 traceValues[]) try {
  const SessionGuard guard(vi);
  return readTrace(vi, kFaultTrace, numberOfPoints, traceValues);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_routData(ViSession vi, ViInt32 readingKind, ViPReal64 reading) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      Checks().index(readingKind, kReadings, VI_ERROR_PARAMETER2).present(reading, VI_ERROR_PARAMETER3));
  KAVREL_RETURN_IF_ERROR(queryReal(vi, line(":ROUT", keyword(kReadings, readingKind)), *reading));
  return kavrel_checkStatus(vi);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_readMax(ViSession vi, ViInt32 storeKind, ViPInt32 count) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().index(storeKind, kStores, VI_ERROR_PARAMETER2).present(count, VI_ERROR_PARAMETER3));
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, line(":", keyword(kStores, storeKind), ":MAX?"), *count));
  return kavrel_checkStatus(vi);
} KAVREL_CATCH_ALL
