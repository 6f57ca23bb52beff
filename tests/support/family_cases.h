// Tables of driver calls for the family tests: each call is a lambda on the
// session, with what it must return and exactly what it must send.
#ifndef KAVREL_TESTS_FAMILY_CASES_H
#define KAVREL_TESTS_FAMILY_CASES_H

#include <functional>
#include <limits>
#include <string_view>
#include <vector>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Call = std::function<ViStatus(ViSession)>;

// A setting that succeeds, sending these lines and then the status check.
struct SettingCase {
  const char* name;
  Call call;
  Writes lines;
};

// An argument error: this code, before any VISA call.
struct ArgumentCase {
  const char* name;
  Call call;
  ViStatus expected;
};

// The nth call of `op` fails: its status comes back unchanged, only these
// lines went out, and no status check follows.
struct FailureCase {
  const char* name;
  standin_op op;
  unsigned nth;
  Call call;
  Writes sent;
};

class FamilyTest : public DriverTest {
 protected:
  // On the open session.
  void expectSettings(const std::vector<SettingCase>& cases) {
    for (const SettingCase& c : cases) {
      SCOPED_TRACE(c.name);
      mark();
      EXPECT_EQ(VI_SUCCESS, c.call(vi_));
      EXPECT_EQ(checked(c.lines), writes());
    }
  }

  // On the open session.
  void expectArgumentErrors(const std::vector<ArgumentCase>& cases) {
    for (const ArgumentCase& c : cases) {
      SCOPED_TRACE(c.name);
      mark();
      EXPECT_EQ(c.expected, c.call(vi_));
      EXPECT_EQ(0u, allCalls());
    }
  }

  // Each case on a fresh session (default model) with `answer` queued.
  void expectFailures(const std::vector<FailureCase>& cases, std::string_view answer) {
    for (const FailureCase& c : cases) {
      SCOPED_TRACE(c.name);
      reopen();
      reply(answer);
      fail(c.op, c.nth, VI_ERROR_IO);
      EXPECT_EQ(VI_ERROR_IO, c.call(vi_));
      EXPECT_EQ(c.sent, writes());
      EXPECT_EQ(0u, calls(STANDIN_QUERYF));
    }
    reopen();
  }

  // Close the session and start again with a fresh instrument (no replies left).
  void reopen(ViInt32 model = 4101) {
    if (vi_ != VI_NULL) kavrel_close(vi_);
    vi_ = VI_NULL;
    standin_reset();
    open(model);
  }
};

}  // namespace kavrel::test

#endif
