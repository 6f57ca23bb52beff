// Driver tests against the VISA stand-in's scripted instrument: queue the
// instrument's replies, call the driver, compare every message it wrote.
#ifndef KAVREL_TESTS_DRIVER_FIXTURE_H
#define KAVREL_TESTS_DRIVER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "driver/kavrel.h"
#include "testbed/visa/standin.h"

namespace kavrel::test {

inline constexpr char kResource[] = "GPIB0::7::INSTR";

using Writes = std::vector<std::string>;

// The messages a setting function sends: its lines, then the status check.
Writes checked(Writes lines);

// Big-endian float32 block "#0..." as the instrument sends traces.
std::string floatBlock(const std::vector<float>& values);

class DriverTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a session to a scripted instrument of this model and option word,
  // then forgets the setup's traffic, so writes() shows only what follows.
  void open(ViInt32 model = 4101, ViInt32 options = 0);

  void reply(std::string_view text) { standin_reply(text.data(), text.size()); }
  void esr(ViInt32 value) { standin_esr(value); }
  void fail(standin_op op, unsigned nth, ViStatus status) { standin_fail(op, nth, status); }

  // Messages written since open() (or since the last mark()).
  Writes writes() const;
  void mark();
  unsigned calls(standin_op op) const { return standin_calls(op) - callsAtMark_[op]; }
  // Every VISA call since the mark.
  unsigned allCalls() const;

  ViSession vi_ = VI_NULL;

 private:
  std::size_t writesAtMark_ = 0;
  unsigned callsAtMark_[STANDIN_OP_COUNT] = {};
};

}  // namespace kavrel::test

#endif
