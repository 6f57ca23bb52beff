// Markers: placement, delta marker, marker functions, one-shot searches and
// the readback of their results and of the active marker.
#include <cmath>

#include "driver/core/frame.h"

namespace {

using namespace kavrel;

constexpr ViInt32 kMarkers = 8;

constexpr Keywords<5> kTrackings{"OFF", "MIN", "MAX", "PKPK", "BAND"};
constexpr Keywords<3> kSlopes{"OFF", "DBO", "DBD"};
constexpr Keywords<2> kBandwidthReferences{"ACT", "MAXM"};
// The last two search for the target to the left or right and ask whether it was found.
constexpr Keywords<6> kSearchFunctions{"MAX", "MIN", "LPE", "RPE", "SEAR:DIR LEFT;RES?", "SEAR:DIR RIGH;RES?"};
constexpr ViInt32 kFirstDirectionalSearch = 4;

// A position or target is sent as it stands, but "nan" or "inf" is no number
// the instrument can take.
bool sendable(ViReal64 value) { return std::isfinite(value); }

template <class T>
void store(T* out, T value) {
  if (out) *out = value;
}

// Up to `count` comma-separated reals from the start of the reply, as a C
// scan of "%Lf,%Lf,..." reads them; the number that matched.
int scanReals(const Reply& reply, ViReal64* values, int count) {
  Scan scan = reply.scan();
  for (int i = 0; i < count; ++i) {
    if (i > 0 && !scan.literal(",")) break;
    if (!scan.real(values[i])) break;
  }
  return scan.matched();
}

// A search that did not find its value ends with the warning, and the event
// status register is left for the next call to read.
ViStatus searchOutcome(ViSession vi, ViInt32 found) {
  return found == 1 ? kavrel_checkStatus(vi) : VI_WARN_INSTR_SEARCH_NFOUND;
}

}  // namespace

KAVREL_API ViStatus kavrel_markSetActive(ViSession vi, ViInt32 markerNumber, ViBoolean state) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      Checks().integer(markerNumber, 1, kMarkers, VI_ERROR_PARAMETER2).flag(state, VI_ERROR_PARAMETER3));
  Line command(":MARK:ACT ", onOff(state));
  if (state == VI_TRUE) command.add(";ACT:ASS ").add(markerNumber);
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markConfig(ViSession vi, ViInt32 markerNumber, ViReal64 position, ViBoolean state) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .integer(markerNumber, 1, kMarkers, VI_ERROR_PARAMETER2)
                             .rule(sendable(position), VI_ERROR_PARAMETER3)
                             .flag(state, VI_ERROR_PARAMETER4));
  Line command(":MARK ", markerNumber, ",", onOff(state));
  if (state == VI_TRUE) command.add(";:MARK:POS ").add(markerNumber).add(",").add(real(position));
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markDelta(ViSession vi, ViReal64 position, ViBoolean state) try {
  const SessionGuard guard(vi);
  // An invalid state is reported as parameter 2, like the position.
  KAVREL_RETURN_IF_ERROR(Checks().rule(sendable(position), VI_ERROR_PARAMETER2).flag(state, VI_ERROR_PARAMETER2));
  Line command(":MARK:DELT:STAT ", onOff(state));
  if (state == VI_TRUE) command.add(";POS ").add(real(position));
  return send(vi, command);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markTracking(ViSession vi, ViInt32 trackingFunction) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().index(trackingFunction, kTrackings, VI_ERROR_PARAMETER2));
  return send(vi, line(":MARK:TRAC ", keyword(kTrackings, trackingFunction)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markSlope(ViSession vi, ViInt32 slopeFunction) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().index(slopeFunction, kSlopes, VI_ERROR_PARAMETER2));
  return send(vi, line(":MARK:SLOP ", keyword(kSlopes, slopeFunction)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markBandwidth(ViSession vi, ViReal64 targetLevel, ViBoolean cfdf, ViBoolean reference) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks()
                             .real(targetLevel, -99.99, 99.99, VI_ERROR_PARAMETER2)
                             .flag(cfdf, VI_ERROR_PARAMETER3)
                             .flag(reference, VI_ERROR_PARAMETER4));
  return send(vi, line(":MARK:BAND:TARG ", real(targetLevel), ";CFDF ", onOff(cfdf), ";FROM ",
                       keyword(kBandwidthReferences, reference)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markPkPk(ViSession vi, ViReal64 pkPkLimit, ViBoolean limitState) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(
      Checks().real(pkPkLimit, 0.0, 99.99, VI_ERROR_PARAMETER2).flag(limitState, VI_ERROR_PARAMETER3));
  return send(vi, line(":MARK:PKPK:LIM:VAL ", real(pkPkLimit), ";STAT ", onOff(limitState)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markCoup(ViSession vi, ViBoolean coupling) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().flag(coupling, VI_ERROR_PARAMETER2));
  return send(vi, line(":MARK:COUP ", onOff(coupling)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markSearchValue(ViSession vi, ViReal64 searchTarget) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().rule(sendable(searchTarget), VI_ERROR_PARAMETER2));
  return send(vi, line(":MARK:SEAR:TARG ", real(searchTarget)));
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markSearchFunction(ViSession vi, ViInt32 searchFunction) try {
  const SessionGuard guard(vi);
  KAVREL_RETURN_IF_ERROR(Checks().index(searchFunction, kSearchFunctions, VI_ERROR_PARAMETER2));
  std::string command = line(":MARK:", keyword(kSearchFunctions, searchFunction));
  if (searchFunction < kFirstDirectionalSearch) return send(vi, command);
  ViInt32 found = 0;
  KAVREL_RETURN_IF_ERROR(queryInteger(vi, command, found));
  return searchOutcome(vi, found);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markSearchPkPk(ViSession vi, ViPInt32 found, ViPReal64 pkPkValue) try {
  const SessionGuard guard(vi);
  Reply reply;
  KAVREL_RETURN_IF_ERROR(query(vi, ":MARK:PKPK?", reply));
  // "%d[b4],%f": the found flag, then the peak-to-peak value.
  Scan scan = reply.scan();
  ViInt32 flag = 0;
  ViReal64 value = 0.0;
  if (!(scan.integer(flag) && scan.literal(",") && scan.real(value))) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  store(found, flag);
  store(pkPkValue, value);
  return searchOutcome(vi, flag);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_markSearchBandwidth(ViSession vi, ViPReal64 value1, ViPReal64 value2, ViPReal64 value3) try {
  const SessionGuard guard(vi);
  Reply reply;
  KAVREL_RETURN_IF_ERROR(query(vi, ":MARK:BAND?", reply));
  ViReal64 values[3] = {};
  if (scanReals(reply, values, 3) != 3) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
  store(value1, values[0]);
  store(value2, values[1]);
  store(value3, values[2]);
  return kavrel_checkStatus(vi);
} KAVREL_CATCH_ALL

KAVREL_API ViStatus kavrel_readActMarker(ViSession vi, ViPReal64 position, ViPReal64 reading1, ViPReal64 reading2) try {
  const SessionGuard guard(vi);
  Reply reply;
  if (position) {
    KAVREL_RETURN_IF_ERROR(query(vi, ":MARK:ACT:POS?", reply));
    ViReal64 value = 0.0;
    if (scanReals(reply, &value, 1) != 1) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
    *position = value;
  }
  if (reading1 || reading2) {
    KAVREL_RETURN_IF_ERROR(query(vi, ":MARK:ACT:DATA?", reply));
    // One reading or two, by what the measurement shows; with a single one
    // the second reading is zero.
    ViReal64 values[2] = {0.0, 0.0};
    if (scanReals(reply, values, 2) == 0) return VI_ERROR_INSTR_INTERPRETING_RESPONSE;
    store(reading1, values[0]);
    store(reading2, values[1]);
  }
  return kavrel_checkStatus(vi);
} KAVREL_CATCH_ALL
