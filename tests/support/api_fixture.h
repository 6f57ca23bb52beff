// The fixture of the sweeps over the whole interface: a fresh session per
// case whose queries the simulated instrument answers, the transfer rows'
// host files, and no real wait in kavrel_appExample.
#ifndef KAVREL_TESTS_SUPPORT_API_FIXTURE_H
#define KAVREL_TESTS_SUPPORT_API_FIXTURE_H

#include "driver/app_delay.h"
#include "tests/support/api_table.h"
#include "tests/support/driver_fixture.h"
#include "tests/support/sim_answerer.h"

namespace kavrel::test {

class ApiTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    prepareApiFiles();
    kavrel_appSetDelay([](ViReal64) {});
  }
  void TearDown() override {
    closeApiSessions();
    kavrel_appSetDelay(VI_NULL);
    removeApiFiles();
    DriverTest::TearDown();
  }
  // A fresh session for the row, answered by the simulator; writes() and
  // calls() count from here.
  void openAnswered(const ApiFunction& row) {
    closeApiSessions();
    reopen();
    sim_.attach();
    if (row.prepare != nullptr) row.prepare(vi_);
    mark();
  }

  SimAnswerer sim_;
};

}  // namespace kavrel::test

#endif
