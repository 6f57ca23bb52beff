// One session shared by four threads: each call keeps its command, its reply
// and its two "*ESR?" answers together, so every call succeeds and every
// value read back is the one its own thread set.
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "driver/core/guard.h"
#include "tests/integration/sim_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::integration {
namespace {

using SimThreads = SimTest;

constexpr int kThreads = 4;
constexpr int kCallsPerThread = 1000;
// Each thread owns one application parameter and one sweep length.
constexpr std::array<ViInt32, kThreads> kParameter{1, 3, 4, 2};
constexpr std::array<ViInt32, kThreads> kPoints{101, 201, 301, 51};

// Values no other thread writes: parameter 2 holds only 0..1.
ViReal64 valueOf(int thread, int call) {
  ViReal64 step = (call % 97) / 100.0;
  return thread == 3 ? step : 10.0 * (thread + 1) + step;
}

struct Outcome {
  int failures = 0;
  std::string first;
  void fail(int call, const std::string& what) {
    if (failures++ == 0) first = "call " + std::to_string(call) + ": " + what;
  }
};

void run(ViSession vi, int thread, Outcome& outcome) {
  std::vector<ViReal64> trace(800);
  ViReal64 set = 0.0;
  for (int call = 0; call < kCallsPerThread; ++call) {
    ViStatus status = VI_SUCCESS;
    switch (call % 5) {
      case 0:
        set = valueOf(thread, call);
        status = kavrel_appParam(vi, kParameter[thread], set);
        break;
      case 1: {
        ViReal64 got = -1.0;
        status = kavrel_appParamQuery(vi, kParameter[thread], &got);
        if (status == VI_SUCCESS && std::fabs(got - set) > 1e-6)
          outcome.fail(call, "read back " + std::to_string(got) + ", set " + std::to_string(set));
        break;
      }
      case 2:
        status = kavrel_srcSweepConfig(vi, kPoints[thread], 0.0);
        break;
      case 3: {
        ViInt32 points = 0;
        status = kavrel_scalReadData(vi, &points, trace.data());
        bool known = points == 401;  // before the first sweep length is set
        for (ViInt32 p : kPoints) known = known || points == p;
        if (status == VI_SUCCESS && !known) outcome.fail(call, "a trace of " + std::to_string(points) + " points");
        break;
      }
      default: {
        ViInt32 options = -1;
        status = kavrel_instrOptions(vi, 16, &options);
        if (status == VI_SUCCESS && options != 0) outcome.fail(call, "option word " + std::to_string(options));
        break;
      }
    }
    if (status != VI_SUCCESS) outcome.fail(call, "status " + std::to_string(status));
    if (outcome.failures > 0) return;  // the first failure tells; the rest would wait out time-outs
  }
}

TEST_P(SimThreads, FourThreadsShareOneSession) {
  // A reply another call took ends its own call at the time-out: keep that short.
  ASSERT_EQ(VI_SUCCESS, viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 1000));
  std::array<Outcome, kThreads> outcomes;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(run, vi_, t, std::ref(outcomes[t]));
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(0, outcomes[t].failures) << "thread " << t << ", first failure at " << outcomes[t].first;
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// Sessions opened and closed on one thread while another works on its own
// session: neither disturbs the other.
TEST_P(SimThreads, OpenAndCloseBesideABusySession) {
  Outcome busy;
  std::thread worker(run, vi_, 0, std::ref(busy));
  for (int i = 0; i < 20; ++i) {
    ViSession other = VI_NULL;
    ViStatus opened = init(VI_TRUE, VI_FALSE, other);
    EXPECT_EQ(VI_SUCCESS, opened);
    if (opened != VI_SUCCESS) break;  // the worker is still to be joined
    ViInt32 options = -1;
    EXPECT_EQ(VI_SUCCESS, kavrel_instrOptions(other, 16, &options));
    EXPECT_EQ(VI_SUCCESS, close(other));
  }
  worker.join();
  EXPECT_EQ(0, busy.failures) << busy.first;
}

// A call that waited while its session was closed, and the handle given to a
// newer session, takes the newer session's lock, not the closed one's.
TEST(SessionGuardTest, ACallWaitingThroughACloseLooksAgain) {
  constexpr ViSession kHandle = 0x7A5E;
  std::optional<SessionGuard> closing(std::in_place, kHandle, SessionGuard::Opened{});
  ASSERT_TRUE(closing->ok());
  std::atomic<bool> running{false};
  std::thread waiter([&] {
    SessionGuard call(kHandle);
    running = call.ok();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the call wait on the lock
  closing->closed(kHandle);
  std::optional<SessionGuard> newer(std::in_place, kHandle, SessionGuard::Opened{});
  closing.reset();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(running) << "the call ran under the closed session's lock while the newer session was busy";
  newer.reset();
  waiter.join();
  EXPECT_TRUE(running) << "the call ran without the newer session's lock";
  SessionGuard(kHandle).closed(kHandle);
}

INSTANTIATE_TEST_SUITE_P(Transports, SimThreads, ::testing::ValuesIn(kTransports), transportName);

}  // namespace
}  // namespace kavrel::integration
