// Table-driven driver calls: each case queues the instrument's replies, makes
// one call, and compares the status and every message written, byte for byte.
#ifndef KAVREL_TESTS_CALL_CASES_H
#define KAVREL_TESTS_CALL_CASES_H

#include <functional>
#include <string>
#include <vector>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {

struct CallCase {
  std::string name;
  std::vector<std::string> replies;  // queued before the call, in order
  std::function<ViStatus(ViSession)> call;
  ViStatus expected;
  Writes wire;  // every message the call writes
};

// A text argument as the ViString the API takes (the driver only reads it).
inline ViString viString(const std::string& text) { return const_cast<ViString>(text.c_str()); }

// Calls against a freshly opened session of the default model.
class CallCaseTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    open();
  }

  void run(const std::vector<CallCase>& cases) {
    for (const CallCase& c : cases) {
      SCOPED_TRACE(c.name);
      mark();
      for (const std::string& text : c.replies) reply(text);
      EXPECT_EQ(c.expected, c.call(vi_));
      EXPECT_EQ(c.wire, writes());
    }
  }
};

}  // namespace kavrel::test

#endif
