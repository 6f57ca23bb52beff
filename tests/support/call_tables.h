// Tables of driver calls: each call with the messages it must send, or with
// the argument error it must return before any VISA call.
#ifndef KAVREL_TESTS_CALL_TABLES_H
#define KAVREL_TESTS_CALL_TABLES_H

#include <functional>
#include <vector>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {

using Call = std::function<ViStatus(ViSession)>;

struct SentCase {
  const char* name;
  Call call;
  Writes expected;  // every message, the status check included
};

struct RefusedCase {
  const char* name;
  Call call;
  ViStatus expected;
};

class CallTableTest : public DriverTest {
 protected:
  // Each call succeeds and sends exactly its messages.
  void expectSent(const std::vector<SentCase>& cases) {
    for (const SentCase& c : cases) {
      SCOPED_TRACE(c.name);
      mark();
      EXPECT_EQ(VI_SUCCESS, c.call(vi_));
      EXPECT_EQ(c.expected, writes());
    }
  }
  // Each call returns its code without any VISA call.
  void expectRefused(const std::vector<RefusedCase>& cases) {
    for (const RefusedCase& c : cases) {
      SCOPED_TRACE(c.name);
      mark();
      EXPECT_EQ(c.expected, c.call(vi_));
      EXPECT_EQ(0u, allCalls());
    }
  }
};

}  // namespace kavrel::test

#endif
