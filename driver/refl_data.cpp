// Reflection results: the trace (two values per point), the description of
// a stored calibration, and the trace memories.
#include <array>
#include <string>
#include <string_view>

#include "driver/core/block.h"
#include "driver/reflection.h"

namespace kavrel {
namespace {

constexpr Keywords<5> kConnectors{"C35", "CN", "C7", "WG", "USER"};
constexpr Keywords<3> kConnectorSexes{"NEUT", "MALE", "FEM"};
constexpr Keywords<5> kCalibrationTypes{"CSOF", "CSOS", "WSOL", "WS12", "WSOS"};
constexpr Keywords<3> kMemoryOperations{"SAV", "MEM", "MEM:SETT"};

// The receive area holds 800 points of two values.
constexpr ViInt32 kMaxTracePoints = kBlockCapacity / 2;

// A calibration title is read into one reply; with its terminator it needs
// one character more than the reply buffer.
constexpr std::size_t kTitleSize = kReplySize + 1;

// A query about calibration store `store`: ":REFL:CAL:DATA:<subject>? <store>".
std::string storeQuery(std::string_view subject, ViInt32 store) {
  return line(":REFL:CAL:DATA:", subject, "? ", store);
}

ViStatus queryStore(ViSession vi, std::string_view subject, ViInt32 store, Reply& reply) {
  return query(vi, storeQuery(subject, store), reply);
}

// The row of the first keyword, in table order, that the reply contains.
template <std::size_t N>
ViStatus queryStoreKeyword(ViSession vi, std::string_view subject, ViInt32 store, const Keywords<N>& table,
                           ViInt32& out) {
  Reply reply;
  ViStatus status = queryStore(vi, subject, store, reply);
  KAVREL_RETURN_IF_ERROR(status);
  for (std::size_t row = 0; row < N; ++row) {
    if (reply.text().find(table[row]) != std::string_view::npos) {
      out = static_cast<ViInt32>(row);
      return status;
    }
  }
  return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
}

using Triple = std::array<ViInt32, 3>;

// "%d,%d,%d": a date (year, month, day) or a time (hour, minute, second).
ViStatus queryStoreTriple(ViSession vi, std::string_view subject, ViInt32 store, Triple& out) {
  Reply reply;
  ViStatus status = queryStore(vi, subject, store, reply);
  KAVREL_RETURN_IF_ERROR(status);
  Scan scan = reply.scan();
  Triple values{};
  if (!(scan.integer(values[0]) && scan.literal(",") && scan.integer(values[1]) && scan.literal(",") &&
        scan.integer(values[2])))
    return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  out = values;
  return status;
}

// "day.month.year;hour:minute:second", without leading zeros.
ViStatus readCalDateTime(ViSession vi, ViInt32 store, ViChar* out) {
  Triple date{}, time{};
  ViStatus status = queryStoreTriple(vi, "DATE", store, date);
  KAVREL_RETURN_IF_ERROR(status);
  status = queryStoreTriple(vi, "TIME", store, time);
  KAVREL_RETURN_IF_ERROR(status);
  std::string text = line(date[2], ".", date[1], ".", date[0], ";", time[0], ":", time[1], ":", time[2]);
  copyText(text, out, text.size() + 1);
  return status;
}

// The title as received, quotes and line end included.
ViStatus readCalTitle(ViSession vi, ViInt32 store, ViChar* out) {
  Reply reply;
  ViStatus status = queryStore(vi, "TITL", store, reply);
  KAVREL_RETURN_IF_ERROR(status);
  copyText(reply.text(), out, kTitleSize);
  return status;
}

}  // namespace
}  // namespace kavrel

using namespace kavrel;

KAVREL_API ViStatus kavrel_reflReadData(ViSession vi, ViPInt32 numberOfPoints, ViReal64 firstValues[],
                                        ViReal64 secondValues[]) try {
  const SessionGuard guard(vi);
  if (numberOfPoints) *numberOfPoints = 0;
  ViInt32 points = 0;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, ":SOUR:SWE:POIN?", points));
  if (numberOfPoints) *numberOfPoints = points;

  if (firstValues || secondValues) {
    // Two values a point, never more than the receive area holds.
    ViInt32 maxCount = points <= 0 ? 0 : (points >= kMaxTracePoints ? kBlockCapacity : 2 * points);
    FloatBlock block;
    KAVREL_RETURN_IF_ERROR(queryFloatBlock(vi, ":REFL:DATA:BIN?", maxCount, block));
    // Whole pairs only; a missing array still consumes its values.
    const ViInt32 pairs = block.count / 2;
    for (ViInt32 i = 0; i < pairs; ++i) {
      if (firstValues) firstValues[i] = block.values[2 * i];
      if (secondValues) secondValues[i] = block.values[2 * i + 1];
    }
  }
  return kavrel_checkStatus(vi);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflReadCalData(ViSession vi, ViInt32 store, ViPInt32 numberOfStores, ViPInt32 cable,
                                           ViPInt32 connector, ViChar dateTime[], ViPInt32 connectorSex,
                                           ViChar title[], ViPInt32 calibrationType) try {
  const SessionGuard guard(vi);
  ViInt32 stores = 0;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, ":REFL:CAL:DATA:MAX?", stores));
  // The number of stores is reported even when the store number is bad.
  if (numberOfStores) *numberOfStores = stores;
  KAVREL_RETURN_IF_ERROR(Checks().integer(store, 1, stores, VI_ERROR_PARAMETER2));

  if (cable) {
    KAVREL_RETURN_IF_ERROR(queryInteger(vi, storeQuery("CABL", store), *cable));
  }
  if (connector) {
    KAVREL_RETURN_IF_ERROR(queryStoreKeyword(vi, "CONN", store, kConnectors, *connector));
  }
  if (dateTime) {
    KAVREL_RETURN_IF_ERROR(readCalDateTime(vi, store, dateTime));
  }
  if (connectorSex) {
    KAVREL_RETURN_IF_ERROR(queryStoreKeyword(vi, "SEX", store, kConnectorSexes, *connectorSex));
  }
  if (title) {
    KAVREL_RETURN_IF_ERROR(readCalTitle(vi, store, title));
  }
  if (calibrationType) {
    KAVREL_RETURN_IF_ERROR(queryStoreKeyword(vi, "TYPE", store, kCalibrationTypes, *calibrationType));
  }
  return kavrel_checkStatus(vi);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_reflMem(ViSession vi, ViBoolean channel, ViBoolean measurement, ViInt32 operation,
                                   ViInt32 memory) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(selectionChecks(channel, measurement)
                             .index(operation, kMemoryOperations, VI_ERROR_PARAMETER4)
                             .integer(memory, 1, 4, VI_ERROR_PARAMETER5));
  return sendMeas(vi, channel, measurement, line(":REFL:MEAS:", keyword(kMemoryOperations, operation), " ", memory));
} KAVREL_CATCH_ALL
