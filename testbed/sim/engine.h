// Inside the simulated instrument: the shared state behind one mutex, each
// session's status, and the command tables the dispatcher searches.
#ifndef KAVREL_SIM_ENGINE_H
#define KAVREL_SIM_ENGINE_H

#include <array>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "testbed/sim/dut.h"
#include "testbed/sim/instrument.h"
#include "testbed/sim/scpi.h"
#include "testbed/sim/state.h"

namespace kavrel::sim {

inline constexpr std::size_t kErrorQueueSize = 20;

struct SessionStatus {
  std::uint8_t esr = 0;
  std::uint8_t ese = 0;
  std::uint8_t sre = 0;
  std::deque<int> errors;
  std::optional<Response> output;
  bool srqArmed = true;
};

void statusPushError(SessionStatus& status, int code);
std::uint8_t statusByteOf(const SessionStatus& status);

// The measured traces a query reads, each kept as its reply until a setting changes.
enum class TraceKind { scalar, faultLocation, reflection };

struct Instrument::Impl {
  Identity identity;
  Limits limits;
  std::uint64_t seed = 1;
  mutable std::mutex mutex;
  State state;
  dut::Rng rng{1};
  // Advances with every command (not query) and reset: the settings a trace was made under.
  std::uint64_t settingsGeneration = 0;
  struct CachedTrace {
    std::uint64_t generation = 0;
    std::optional<std::string> reply;
  };
  std::array<CachedTrace, 3> traces;
  void execute(SessionStatus& status, std::string_view message);  // with the mutex held
  void resetSettings();                                           // with the mutex held
};

// What a command handler sees: the unit, its parameters, the state, and where
// its reply and errors go. The parameter readers report the standard error and
// return nothing when a parameter does not fit.
class Context {
 public:
  Context(Instrument::Impl& instrument, SessionStatus& status, const scpi::Unit& unit)
      : instrument_(instrument), status_(status), unit_(unit) {}

  State& state() { return instrument_.state; }
  const Limits& limits() const { return instrument_.limits; }
  const Identity& identity() const { return instrument_.identity; }
  dut::Rng& rng() { return instrument_.rng; }
  Instrument::Impl& instrument() { return instrument_; }
  SessionStatus& status() { return status_; }
  const scpi::Unit& unit() const { return unit_; }
  // Numeric suffix of a header node; 0 when none was given.
  int suffix(std::size_t node) const { return node < suffixes_.size() ? suffixes_[node] : 0; }
  void setSuffixes(const std::array<int, 8>& s) { suffixes_ = s; }

  // Parameter count within [min, max]: -109 when too few, -108 when too many.
  bool count(std::size_t min, std::size_t max);
  std::optional<double> real(std::size_t i, double lo, double hi);
  std::optional<int> integer(std::size_t i, int lo, int hi);
  std::optional<bool> boolean(std::size_t i);
  std::optional<int> keyword(std::size_t i, std::span<const std::string_view> table);
  std::optional<std::string> text(std::size_t i, std::size_t maxLength);
  std::optional<std::string> block(std::size_t i);
  // The unit's only parameter.
  std::optional<double> oneReal(double lo, double hi) { return count(1, 1) ? real(0, lo, hi) : std::nullopt; }
  std::optional<int> oneInt(int lo, int hi) { return count(1, 1) ? integer(0, lo, hi) : std::nullopt; }
  std::optional<bool> oneBool() { return count(1, 1) ? boolean(0) : std::nullopt; }
  std::optional<int> oneKeyword(std::span<const std::string_view> table) {
    return count(1, 1) ? keyword(0, table) : std::nullopt;
  }
  bool none() { return count(0, 0); }

  void fail(int code);
  bool failed() const { return failed_; }

  void reply(std::string text);
  void replyReal(double v) { reply(scpi::formatReal(v)); }
  void replyInt(long long v) { reply(scpi::formatInt(v)); }
  void replyBool(bool v) { reply(v ? "1" : "0"); }
  void replyKeyword(std::span<const std::string_view> table, int index);
  void replyDefiniteBlock(std::string_view bytes);
  void replyIndefiniteBlock(std::string_view bytes);
  // A measured trace as an indefinite block: computed (with its noise) once
  // for the current settings, then the same sweep again until they change.
  void replyTrace(TraceKind kind, std::vector<float> (*measure)(Context&));
  const std::optional<std::string>& replyText() const { return reply_; }
  // The reply, moved out (a block may be megabytes).
  std::string takeReply() { return std::move(reply_).value_or(std::string()); }
  bool replyIndefinite() const { return indefinite_; }

  // The active channel, its active measurement, a measurement of it.
  ChannelState& channel();
  MeasState& meas();

 private:
  const scpi::Param* param(std::size_t i);

  Instrument::Impl& instrument_;
  SessionStatus& status_;
  const scpi::Unit& unit_;
  std::array<int, 8> suffixes_{};
  std::optional<std::string> reply_;
  bool indefinite_ = false;
  bool failed_ = false;
};

using Handler = void (*)(Context&);

struct Command {
  std::string_view pattern;  // ":SOURce:FREQuency:STARt", or "*IDN" for a common command
  Handler set = nullptr;     // nullptr: no command form
  Handler query = nullptr;   // nullptr: no query form
};

// One end, the centre or the span of a start/stop pair within limits. A start
// above the stop (or the reverse) moves the other end along; a centre or span
// keeps the other and shrinks the span where the limits leave no room.
enum class Edge { start, stop, centre, span };
void rangeSet(Context& c, double& start, double& stop, std::pair<double, double> limits, Edge edge);
void rangeReply(Context& c, double start, double stop, Edge edge);

// Commands that set and read one field of the state. Owner returns the object
// that holds the field (the source, the active measurement...).
// Inclusive limits of a real setting (passed by reference: not every compiler
// takes a double as a template argument).
struct Bounds {
  double lo;
  double hi;
};

template <auto Owner, auto Field, const Bounds& B>
constexpr Command realCommand(std::string_view pattern) {
  return {pattern, [](Context& c) { if (auto v = c.oneReal(B.lo, B.hi)) Owner(c).*Field = *v; },
          [](Context& c) { if (c.none()) c.replyReal(Owner(c).*Field); }};
}
template <auto Owner, auto Field, int Lo, int Hi>
constexpr Command intCommand(std::string_view pattern) {
  return {pattern, [](Context& c) { if (auto v = c.oneInt(Lo, Hi)) Owner(c).*Field = *v; },
          [](Context& c) { if (c.none()) c.replyInt(Owner(c).*Field); }};
}
template <auto Owner, auto Field>
constexpr Command boolCommand(std::string_view pattern) {
  return {pattern, [](Context& c) { if (auto v = c.oneBool()) Owner(c).*Field = *v; },
          [](Context& c) { if (c.none()) c.replyBool(Owner(c).*Field); }};
}
template <auto Owner, auto Field, const auto& Table>
constexpr Command keywordCommand(std::string_view pattern) {
  return {pattern, [](Context& c) { if (auto v = c.oneKeyword(Table)) Owner(c).*Field = *v; },
          [](Context& c) { if (c.none()) c.replyKeyword(Table, Owner(c).*Field); }};
}

std::span<const Command> commandsSystem();
std::span<const Command> commandsSource();
std::span<const Command> commandsDisplay();
std::span<const Command> commandsScalar();
std::span<const Command> commandsPowerMeter();
std::span<const Command> commandsFaultLocation();
std::span<const Command> commandsReflection();
std::span<const Command> commandsCalibration();

// The short form of a keyword pattern ("FREQuency" -> "FREQ").
std::string keywordShort(std::string_view pattern);

}  // namespace kavrel::sim

#endif
