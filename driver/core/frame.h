// The call frame every exported function runs: fetch the session's limits,
// check the arguments in order, select channel and measurement, write one
// command line, and confirm it with the status check.
#ifndef KAVREL_CORE_FRAME_H
#define KAVREL_CORE_FRAME_H

#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "driver/core/guard.h"
#include "driver/core/limits.h"
#include "driver/core/status.h"
#include "driver/core/text.h"
#include "driver/kavrel.h"

// ---- the per-session record behind VI_ATTR_USER_DATA ----------------------
struct InstrumentData {
  ViReal64 maxFrequency;  // Hz, from the model number
  ViReal64 minLevel;      // dBm, from the option word
  ViInt32 options;        // the option word as "*OPT?" reports it
  ViChar revision[256];   // the driver revision text
  bool skipStatusCheck;   // kavrel_skipStatusCheck: settings and queries end without "*ESR?"
};

inline constexpr char kDriverRevision[] = "Rev 1.1, 11/1999, CVI 5.0.1";

// ---- range checks: VI_TRUE when the value is invalid ----------------------
ViBoolean kavrel_invalidViBooleanRange(ViBoolean value);
ViBoolean kavrel_invalidViInt32Range(ViInt32 value, ViInt32 min, ViInt32 max);
ViBoolean kavrel_invalidViReal64Range(ViReal64 value, ViReal64 min, ViReal64 max);
ViBoolean kavrel_invalidViStringRange(ViConstString text, ViInt32 maxLength);

namespace kavrel {
// Which "*ESR?" answers of the status check count. Every call tests both;
// the default setup, which runs before "*CLS" clears what an earlier program
// left in the register, tests only the second.
enum class StatusRule { bothAnswers, secondAnswer };
}  // namespace kavrel

// Two "*ESR?" queries; error bits (0x3C) in the answers `rule` names give
// VI_ERROR_INSTR_SPECIFIC, a reply that is not a number
// VI_ERROR_INSTR_INTERPRETING_RESPONSE. A call's check (bothAnswers) is left
// out while the session skips status checks; the setup's never is.
ViStatus kavrel_checkStatus(ViSession vi, kavrel::StatusRule rule = kavrel::StatusRule::bothAnswers);
// Selects channel and measurement (VI_TRUE is 2, anything else 1); returns the write status.
ViStatus kavrel_SetActiveMeas(ViSession vi, ViBoolean channel, ViBoolean measurement);

namespace kavrel {

// Set the record's switch; a record is set back before it is freed.
void setSkipStatusCheck(InstrumentData& record, bool skip);
// The status check's two queries and their test, whether or not the session skips it.
ViStatus queryStatus(ViSession vi, StatusRule rule);

inline constexpr ViUInt32 kReplySize = 512;      // reply buffer of a query

// Keyword tables are fixed arrays of texts indexed from 0.
template <std::size_t N>
using Keywords = std::array<std::string_view, N>;

// Bounds-safe lookup: an index outside the table gives the empty text
// (callers check the index first, so this only guards against misuse).
template <std::size_t N>
constexpr std::string_view keyword(const Keywords<N>& table, ViInt32 index) {
  return (index >= 0 && static_cast<std::size_t>(index) < N) ? table[static_cast<std::size_t>(index)]
                                                              : std::string_view{};
}

inline constexpr Keywords<2> kOnOff{"OFF", "ON"};
inline constexpr Keywords<4> kInputs{"A", "B", "C", "D"};

// "OFF" / "ON" for a switch.
constexpr std::string_view onOff(ViBoolean state) { return state == VI_TRUE ? "ON" : "OFF"; }
// Channel or measurement number for a selector: VI_TRUE is 2, anything else 1.
constexpr ViInt32 selectorNumber(ViBoolean selector) { return selector == VI_TRUE ? 2 : 1; }

// Argument checks in parameter order; the first failure decides and later
// checks are not looked at. Converts to VI_SUCCESS or that failure's code.
class Checks {
 public:
  Checks& flag(ViBoolean value, ViStatus code) { return rule(!kavrel_invalidViBooleanRange(value), code); }
  Checks& integer(ViInt32 value, ViInt32 min, ViInt32 max, ViStatus code) {
    return rule(!kavrel_invalidViInt32Range(value, min, max), code);
  }
  Checks& real(ViReal64 value, ViReal64 min, ViReal64 max, ViStatus code) {
    return rule(!kavrel_invalidViReal64Range(value, min, max), code);
  }
  Checks& text(ViConstString value, ViInt32 maxLength, ViStatus code) {
    return rule(!kavrel_invalidViStringRange(value, maxLength), code);
  }
  template <std::size_t N>
  Checks& index(ViInt32 value, const Keywords<N>& /*table*/, ViStatus code) {
    return integer(value, 0, static_cast<ViInt32>(N) - 1, code);
  }
  // An averaging mode 0..2, then the number of averages, checked in every
  // mode though only "on" sends it.
  Checks& averaging(ViInt32 mode, ViInt32 averages, ViStatus modeCode, ViStatus numberCode) {
    return integer(mode, 0, 2, modeCode).integer(averages, 1, kMaxAverages, numberCode);
  }
  Checks& present(const void* pointer, ViStatus code) { return rule(pointer != nullptr, code); }
  // A relation between arguments (start not above stop, and the like).
  Checks& rule(bool valid, ViStatus code) {
    if (status_ == VI_SUCCESS && !valid) status_ = code;
    return *this;
  }

  operator ViStatus() const { return status_; }

 private:
  ViStatus status_ = VI_SUCCESS;
};

// The checks every function acting on one measurement starts with: the
// channel as parameter 2, the measurement as 3. Chain the function's own:
// selectionChecks(channel, measurement).index(input, kInputs, VI_ERROR_PARAMETER4).
inline Checks selectionChecks(ViBoolean channel, ViBoolean measurement) {
  Checks checks;
  checks.flag(channel, VI_ERROR_PARAMETER2).flag(measurement, VI_ERROR_PARAMETER3);
  return checks;
}

// Every one of `count` values is a number: "nan" or "inf" would reach the
// instrument as text it refuses, after the list it replaces was reset.
inline bool finiteValues(const ViReal64* values, std::size_t count) {
  if (values == nullptr) return false;
  for (std::size_t i = 0; i < count; ++i)
    if (!std::isfinite(values[i])) return false;
  return true;
}

// The session's InstrumentData; `out` is set only on success. A session
// without a record (never set up by kavrel_init) gives VI_ERROR_INV_OBJECT.
ViStatus fetchData(ViSession vi, const InstrumentData*& out);

// One viWrite of the whole line, VI_NULL for the count.
ViStatus writeLine(ViSession vi, std::string_view text);
// Write the line, then the status check.
ViStatus send(ViSession vi, std::string_view text);
// Select channel and measurement, write the line, then one status check for both.
ViStatus sendMeas(ViSession vi, ViBoolean channel, ViBoolean measurement, std::string_view text);

// A reply as received: at most kReplySize bytes.
struct Reply {
  std::array<char, kReplySize> bytes{};
  ViUInt32 size = 0;
  Scan scan() const { return Scan(bytes.data(), size); }
  std::string_view text() const { return {bytes.data(), size}; }
};
// Read one reply of at most `maxBytes` (<= kReplySize).
ViStatus readReply(ViSession vi, Reply& reply, ViUInt32 maxBytes = kReplySize);
// Write the query, then read its reply.
ViStatus query(ViSession vi, std::string_view text, Reply& reply, ViUInt32 maxBytes = kReplySize);
// Query one integer ("%s>%d[b4]"): VI_ERROR_INSTR_INTERPRETING_RESPONSE unless
// exactly one value scans. No status check.
ViStatus queryInteger(ViSession vi, std::string_view text, ViInt32& out);
// Query one real ("%s>%f"), likewise.
ViStatus queryReal(ViSession vi, std::string_view text, ViReal64& out);
// Query, then whether the reply begins with `prefix` (read into at most
// `maxBytes`). A failing query's status comes back unchanged and `begins`
// untouched; a warning is passed on.
ViStatus queryBeginsWith(ViSession vi, std::string_view text, std::string_view prefix, bool& begins,
                         ViUInt32 maxBytes = kReplySize);

// A store, kit or table number checked against the highest number the
// instrument reports now: `maxQuery` first (its failure, or a reply without
// a number, comes back as queryInteger gives it), then `number` within
// lowest..that maximum, else `code`. VI_SUCCESS when the number is good.
ViStatus checkStoreNumber(ViSession vi, std::string_view maxQuery, ViInt32 number, ViStatus code, ViInt32 lowest = 1);

}  // namespace kavrel

#endif
