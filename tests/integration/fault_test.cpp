// Faults on the link: a reply that never comes ends in a time-out, after which
// a device clear makes the session usable again; a connection dropped in the
// middle of a transfer ends in an error status, and the session still closes.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "tests/integration/sim_fixture.h"

namespace kavrel::integration {
namespace {

constexpr ViUInt32 kShortTimeoutMs = 200;
constexpr ViUInt32 kDriverTimeoutMs = 10000;  // what kavrel_init sets

ViStatus storeCount(ViSession vi) {
  ViInt32 count = 0;
  ViStatus status = kavrel_readMax(vi, 3, &count);
  EXPECT_TRUE(status < VI_SUCCESS || count == 8) << count;
  return status;
}

ViStatus scalarTrace(ViSession vi) {
  ViInt32 points = 0;
  std::vector<ViReal64> trace(800);
  return kavrel_scalReadData(vi, &points, trace.data());
}

ViStatus reflectionTrace(ViSession vi) {
  ViInt32 points = 0;
  std::vector<ViReal64> first(800), second(800);
  return kavrel_reflReadData(vi, &points, first.data(), second.data());
}

ViStatus errorQuery(ViSession vi) {
  ViInt32 code = -1;
  ViChar text[256] = {};
  return kavrel_error_query(vi, &code, text);
}

ViStatus optionWord(ViSession vi) {
  ViInt32 options = 0;
  return kavrel_instrOptions(vi, 16, &options);
}

// A setting: one write, then the two status queries.
ViStatus rfOn(ViSession vi) { return kavrel_srcRFOutput(vi, VI_TRUE); }

using SimFaults = SimTest;

TEST_P(SimFaults, StalledReplyTimesOutAndDeviceClearRecovers) {
  using Clock = std::chrono::steady_clock;
  struct Case {
    const char* name;
    unsigned nth;  // which of the call's queries goes unanswered (1 = the first)
    Call call;
  } cases[] = {
      {"store count", 1, storeCount},
      {"first status query of a setting", 1, rfOn},
      {"second status query of a setting", 2, rfOn},
      {"points of a scalar trace", 1, scalarTrace},
      {"scalar trace block", 2, scalarTrace},
      {"reflection trace block", 2, reflectionTrace},
      {"error queue", 1, errorQuery},
      {"option word", 1, optionWord},
  };
  ViUInt32 timeout = 0;
  ASSERT_EQ(VI_SUCCESS, viGetAttribute(vi_, VI_ATTR_TMO_VALUE, &timeout));
  EXPECT_EQ(kDriverTimeoutMs, timeout);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(VI_SUCCESS, viSetAttribute(vi_, VI_ATTR_TMO_VALUE, kShortTimeoutMs));
    server().stallQuery(c.nth);
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(VI_ERROR_TMO, c.call(vi_));
    // Far below the driver's own 10 s: the session's shortened time-out applied.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    // The driver's time-out again, so that a slow machine does not fail the recovery.
    ASSERT_EQ(VI_SUCCESS, viSetAttribute(vi_, VI_ATTR_TMO_VALUE, kDriverTimeoutMs));
    server().clearFaults();
    EXPECT_EQ(VI_SUCCESS, viClear(vi_));
    EXPECT_EQ(VI_SUCCESS, c.call(vi_));
    EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
  }
}

// The connection closes after a given number of bytes from the instrument
// (HiSLIP headers of 16 bytes count): the call fails with a connection error,
// every later call on the session fails the same way, and it still closes.
TEST_P(SimFaults, DroppedConnectionFailsTheCallAndLeavesNothingOpen) {
  constexpr std::uint64_t kHeader = 16;
  constexpr std::uint64_t kPointsReply = kHeader + 4;  // "401\n"
  struct Case {
    const char* name;
    std::uint64_t bytes;
    Call call;
  } cases[] = {
      {"in the middle of a scalar trace", kPointsReply + kHeader + 2 + 800, scalarTrace},
      {"in the middle of a reflection trace", kPointsReply + kHeader + 2 + 1600, reflectionTrace},
      {"in the header of a trace block", kPointsReply + 5, scalarTrace},
      {"in the points reply", kHeader + 2, scalarTrace},
      {"before a setting's status check", 0, rfOn},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViSession vi = openAnother();
    ASSERT_NE(static_cast<ViSession>(VI_NULL), vi);
    ASSERT_EQ(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_TMO_VALUE, kShortTimeoutMs));
    server().dropAfterBytes(c.bytes);
    const ViStatus status = c.call(vi);
    EXPECT_TRUE(status == VI_ERROR_CONN_LOST || status == VI_ERROR_IO) << status;
    EXPECT_EQ(VI_ERROR_CONN_LOST, rfOn(vi));
    EXPECT_EQ(VI_ERROR_CONN_LOST, errorQuery(vi));
    EXPECT_EQ(VI_SUCCESS, close(vi));
    server().clearFaults();
    // The instrument itself carries on: the fixture's own session is untouched.
    EXPECT_EQ(VI_SUCCESS, storeCount(vi_));
  }
  // Tear-down checks that no session stays open.
}

// A reply corrupted on the way (every byte but the final line feed changed):
// the driver reports that it cannot interpret it instead of passing on a
// number, and the next call works again.
TEST_P(SimFaults, GarbledReplyIsNotTakenForData) {
  // Another session's init, which must fail and leave no session behind.
  auto failedInit = [this](ViBoolean idQuery) -> Call {
    return [this, idQuery](ViSession) {
      ViSession other = 77;
      ViStatus status = init(idQuery, VI_FALSE, other);
      EXPECT_EQ(static_cast<ViSession>(VI_NULL), other);
      return status;
    };
  };
  struct Case {
    const char* name;
    Call call;
    ViStatus expected;
  } cases[] = {
      {"store count", storeCount, VI_ERROR_INSTR_INTERPRETING_RESPONSE},
      {"points of a trace", scalarTrace, VI_ERROR_INSTR_INTERPRETING_RESPONSE},
      {"option word", optionWord, VI_ERROR_INSTR_INTERPRETING_RESPONSE},
      {"marker position", [](ViSession vi) {
         ViReal64 position = 0.0;
         return kavrel_readActMarker(vi, &position, VI_NULL, VI_NULL);
       }, VI_ERROR_INSTR_INTERPRETING_RESPONSE},
      {"identification at init", failedInit(VI_TRUE), VI_ERROR_FAIL_ID_QUERY},
      {"model at init without identification", failedInit(VI_FALSE), VI_ERROR_INSTR_INTERPRETING_RESPONSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server().garbleReply(1);
    EXPECT_EQ(c.expected, c.call(vi_));
    server().clearFaults();
    EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
    EXPECT_EQ(VI_SUCCESS, storeCount(vi_));
  }
}

// A trace reply that does not begin with "#0": nothing of it may reach the
// caller as trace values.
TEST_P(SimFaults, GarbledTraceBlockIsNotTakenForData) {
  constexpr ViReal64 kUntouched = -12345.0;
  std::vector<ViReal64> trace(800, kUntouched);
  ViInt32 points = 0;
  server().garbleReply(2);
  EXPECT_LT(kavrel_scalReadData(vi_, &points, trace.data()), VI_SUCCESS);
  EXPECT_EQ(trace.size(), static_cast<std::size_t>(std::count(trace.begin(), trace.end(), kUntouched)));
}

INSTANTIATE_TEST_SUITE_P(Transports, SimFaults, ::testing::ValuesIn(kTransports), transportName);

}  // namespace
}  // namespace kavrel::integration
