// Argument errors: each call returns its parameter code and makes no VISA
// call at all, so the instrument sees nothing.
#ifndef KAVREL_TESTS_REFUSALS_H
#define KAVREL_TESTS_REFUSALS_H

#include <functional>
#include <vector>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {

struct Refusal {
  const char* name;
  std::function<ViStatus(ViSession)> call;
  ViStatus expected;
};

class RefusalTest : public DriverTest {
 protected:
  // On an open session.
  void expectRefused(const std::vector<Refusal>& cases) {
    for (const Refusal& c : cases) {
      SCOPED_TRACE(c.name);
      mark();
      EXPECT_EQ(c.expected, c.call(vi_));
      EXPECT_EQ(0u, allCalls());
    }
  }
};

}  // namespace kavrel::test

#endif
