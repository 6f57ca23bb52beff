// Driver tests against the VISA stand-in's scripted instrument: queue the
// instrument's replies, call the driver, compare every message it wrote.
// Tables of calls run through the expect* members, one SCOPED_TRACE a row.
#ifndef KAVREL_TESTS_DRIVER_FIXTURE_H
#define KAVREL_TESTS_DRIVER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "driver/kavrel.h"
#include "testbed/visa/standin.h"

namespace kavrel::test {

inline constexpr char kResource[] = "GPIB0::7::INSTR";
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

using Writes = std::vector<std::string>;
using Call = std::function<ViStatus(ViSession)>;

// The messages a setting function sends: its lines, then the status check.
Writes checked(Writes lines);

// Big-endian float32 block "#0..." as the instrument sends traces.
std::string floatBlock(const std::vector<float>& values);

// A text argument as the ViString the API takes (the driver only reads it).
inline ViString viString(const std::string& text) { return const_cast<ViString>(text.c_str()); }

// A call that succeeds and writes exactly these messages.
struct SentCase {
  const char* name;
  Call call;
  Writes wire;
};

// A call that returns this code before any VISA call.
struct RefusedCase {
  const char* name;
  Call call;
  ViStatus expected;
};

// A call given these replies, in order: it returns this status and writes
// exactly these messages.
struct CallCase {
  const char* name;
  std::vector<std::string> replies;
  Call call;
  ViStatus expected;
  Writes wire;
};

// The nth call of `op` fails with VI_ERROR_IO: the call returns it unchanged,
// only these messages went out and no status check follows.
struct FailureCase {
  const char* name;
  standin_op op;
  unsigned nth;
  Call call;
  Writes wire;
};

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a session to a scripted instrument of this model and option word,
  // then forgets the setup's traffic, so writes() shows only what follows.
  void open(ViInt32 model = 4101, ViInt32 options = 0);
  // Closes the session and opens one to a fresh instrument (no replies left).
  void reopen(ViInt32 model = 4101, ViInt32 options = 0);

  void reply(std::string_view text) { standin_reply(text.data(), text.size()); }
  void replies(const std::vector<std::string>& texts);
  void esr(ViInt32 value) { standin_esr(value); }
  void fail(standin_op op, unsigned nth, ViStatus status) { standin_fail(op, nth, status); }

  // Messages written since open() (or since the last mark()).
  Writes writes() const;
  void mark();
  unsigned calls(standin_op op) const { return standin_calls(op) - callsAtMark_[op]; }
  // Every VISA call since the mark.
  unsigned allCalls() const;

  // The tables, each on the open session unless said otherwise.
  void expectSent(const std::vector<SentCase>& cases);
  // Each row's wire holds its lines only: the status check follows them.
  void expectSettings(std::vector<SentCase> cases);
  void expectRefused(const std::vector<RefusedCase>& cases);
  void expectCalls(const std::vector<CallCase>& cases);
  // Each case on a fresh session of the default model with `answer` queued.
  void expectFailures(const std::vector<FailureCase>& cases, std::string_view answer);

  ViSession vi_ = VI_NULL;

 private:
  std::size_t writesAtMark_ = 0;
  unsigned callsAtMark_[STANDIN_OP_COUNT] = {};
};

}  // namespace kavrel::test

#endif
