// Table-driven checks of driver calls: each row is one call, its name, and
// what it must send or the code it must be refused with.
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
  Writes lines;  // the lines before the status check
};

struct RefusedCase {
  const char* name;
  Call call;
  ViStatus expected;
};

class CallTableTest : public DriverTest {
 protected:
  // Each call succeeds and writes exactly its lines, then the status check.
  void expectSent(const std::vector<SentCase>& cases) {
    for (const SentCase& c : cases) {
      SCOPED_TRACE(c.name);
      mark();
      EXPECT_EQ(VI_SUCCESS, c.call(vi_));
      EXPECT_EQ(checked(c.lines), writes());
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
