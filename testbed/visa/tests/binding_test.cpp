// The run-time VISA binding, its stubs called directly, against the stand-in
// and against partial copies of it. Every test runs in a process of its own.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "visa_binding/binding.h"
#include "testbed/visa/standin.h"

namespace {

using namespace kavrel::binding;

std::string realPath(const char* path) {
  char resolved[PATH_MAX];
  return realpath(path, resolved) ? resolved : path;
}

bool libraryLoaded(const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

TEST(BindingTest, PartialLibraries) {
  struct Case {
    const char* path;
    ViStatus openStatus;
    bool loaded;
    ViStatus moveStatus;
  };
  const std::vector<Case> cases = {
      {NOMEMFREE_LIB, VI_ERROR_SYSTEM_ERROR, false, VI_ERROR_SYSTEM_ERROR},  // a required entry missing
      {NOMOVE_LIB, VI_SUCCESS, true, VI_ERROR_NIMPL_OPER},                  // an optional one missing
      {STANDIN_LIB, VI_SUCCESS, true, VI_ERROR_NSUP_OPER},                  // complete: the library answers
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    bindingSetCandidates({c.path});
    ViSession rm = 0;
    EXPECT_EQ(viOpenDefaultRM(&rm), c.openStatus);
    EXPECT_EQ(bindingLoaded(), c.loaded);
    EXPECT_EQ(viMove(rm, 0, 0, 8, 0, 0, 8, 1), c.moveStatus);
    if (c.path != std::string(STANDIN_LIB)) {  // the test itself links the complete one
      EXPECT_EQ(libraryLoaded(c.path), c.loaded);
    }
    unloadVisaLibrary();
    EXPECT_FALSE(bindingLoaded());
  }
  EXPECT_FALSE(libraryLoaded(NOMEMFREE_LIB));
  EXPECT_FALSE(libraryLoaded(NOMOVE_LIB));
  EXPECT_EQ(bindingLoadCount(), 2U);
}

// KAVREL_VISA_LIBRARY comes before the built-in list; the report names the
// library in use, or each one refused and why.
TEST(BindingTest, ChosenLibraryFirstAndTheLoadReport) {
  const std::string standin = realPath(STANDIN_LIB);
  struct Case {
    const char* chosen;                   // KAVREL_VISA_LIBRARY, nullptr for unset
    std::vector<std::string> candidates;  // the built-in list
    ViStatus status;
    std::string report;
  };
  const std::vector<Case> cases = {
      {NOMOVE_LIB, {STANDIN_LIB}, VI_SUCCESS, realPath(NOMOVE_LIB)},
      {"libvisa.so.0", {}, VI_SUCCESS, standin},  // a file name goes through the loader's search
      {"", {STANDIN_LIB}, VI_SUCCESS, standin},   // empty: as if unset
      {"/nonexistent/libvisa.so", {STANDIN_LIB}, VI_SUCCESS, standin},
      {NOMEMFREE_LIB, {STANDIN_LIB}, VI_ERROR_SYSTEM_ERROR, realPath(NOMEMFREE_LIB) + ": lacks viMemFree"},
      {"/nonexistent/libvisa.so", {"/nonexistent/a.so", "/nonexistent/*.so", NOMEMFREE_LIB}, VI_ERROR_SYSTEM_ERROR,
       "/nonexistent/libvisa.so: not found; /nonexistent/a.so: not found; /nonexistent/*.so: no file matches; " +
           realPath(NOMEMFREE_LIB) + ": lacks viMemFree"},
      {nullptr, {"/nonexistent/a.so"}, VI_ERROR_LIBRARY_NFOUND, "/nonexistent/a.so: not found"},
      {nullptr, {}, VI_ERROR_LIBRARY_NFOUND, "no VISA library to try"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen ? c.chosen : "unset");
    if (c.chosen) setenv("KAVREL_VISA_LIBRARY", c.chosen, 1);
    else unsetenv("KAVREL_VISA_LIBRARY");
    bindingSetCandidates(c.candidates);
    ViSession rm = 0;
    EXPECT_EQ(viOpenDefaultRM(&rm), c.status);
    EXPECT_EQ(bindingLoadReport(), c.report);
    unloadVisaLibrary();
  }
  unsetenv("KAVREL_VISA_LIBRARY");
}

TEST(BindingTest, RefusedLibraryIsTriedAgainOnTheNextCall) {
  bindingSetCandidates({NOMEMFREE_LIB});
  ViSession rm = 0;
  EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_SYSTEM_ERROR);
  bindingSetCandidates({"/nonexistent/libvisa.so", STANDIN_LIB});
  EXPECT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_EQ(bindingLoadCount(), 1U);
}

TEST(BindingTest, WithoutALibraryStubsFailAndTextsComeFromTheFallback) {
  bindingSetCandidates({});
  ViSession session = 0;
  ViInt32 value = 0;
  ViByte buf[8];
  const std::vector<std::pair<const char*, std::function<ViStatus()>>> calls = {
      {"viOpenDefaultRM", [&] { return viOpenDefaultRM(&session); }},
      {"viOpen", [&] { return viOpen(1, "GPIB0::1::INSTR", VI_NULL, VI_NULL, &session); }},
      {"viClose", [&] { return viClose(1); }},
      {"viPrintf", [&] { return viPrintf(1, "%d", 1); }},
      {"viQueryf", [&] { return viQueryf(1, "*ESR?\n", "%ld", &value); }},
      {"viRead", [&] { return viRead(1, buf, sizeof buf, VI_NULL); }},
      {"viSPrintf", [&] { return viSPrintf(1, buf, "%d", 1); }},
      {"viMove", [&] { return viMove(1, 0, 0, 8, 0, 0, 8, 1); }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    EXPECT_EQ(call(), VI_ERROR_LIBRARY_NFOUND);
  }
  ViUInt8 peeked = 0x5A;
  viPeek8(1, nullptr, &peeked);  // returns nothing, does nothing
  EXPECT_EQ(peeked, 0x5A);
  ViChar text[256];
  EXPECT_EQ(viStatusDesc(1, VI_ERROR_LIBRARY_NFOUND, text), VI_SUCCESS);
  EXPECT_STREQ(text, "A code library required by VISA could not be located or loaded.");
  EXPECT_EQ(bindingLoadCount(), 0U);
}

TEST(BindingTest, SearchOrder) {
  const std::vector<std::string> candidates = bindingDefaultCandidates();
  const std::vector<std::string> byName = {"libvisa.so", "libivivisa.so.0", "libvisa.so.0",
                                           "libktvisa32.so", "libiovisa.so", "librsvisa.so"};
  ASSERT_GE(candidates.size(), byName.size() + 3);
  EXPECT_EQ(std::vector<std::string>(candidates.begin(), candidates.begin() + 6), byName);
  for (size_t i = 6; i < candidates.size(); ++i) EXPECT_EQ(candidates[i].front(), '/') << candidates[i];
}

TEST(BindingTest, OnlyTheFirst256ResourceManagersAreClosedAtStop) {
  standin_reset();
  bindingSetCandidates({STANDIN_LIB});
  std::vector<ViSession> managers(257);
  for (ViSession& rm : managers) ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_EQ(bindingRecordedManagers(), 256U);
  EXPECT_EQ(standin_open_sessions(), 257U);
  ASSERT_EQ(viClose(managers[3]), VI_SUCCESS);  // closing one forgets it
  EXPECT_EQ(bindingRecordedManagers(), 255U);
  runStateChanged(4);
  EXPECT_FALSE(bindingLoaded());
  EXPECT_EQ(standin_open_sessions(), 1U);  // the 257th, never recorded
  EXPECT_EQ(bindingRecordedManagers(), 0U);
  EXPECT_EQ(standin_calls(STANDIN_CLOSE), 256U);
}

TEST(BindingTest, ConcurrentFirstCallsLoadOnce) {
  bindingSetCandidates({STANDIN_LIB});
  constexpr unsigned kRounds = 20;
  for (unsigned round = 1; round <= kRounds; ++round) {
    std::latch start(2);
    ViStatus status[2] = {-1, -1};
    ViSession rm[2] = {0, 0};
    auto first = [&](int i) {
      start.arrive_and_wait();
      status[i] = viOpenDefaultRM(&rm[i]);
    };
    std::thread a(first, 0);
    std::thread b(first, 1);
    a.join();
    b.join();
    EXPECT_EQ(status[0], VI_SUCCESS);
    EXPECT_EQ(status[1], VI_SUCCESS);
    EXPECT_NE(rm[0], rm[1]);
    EXPECT_EQ(bindingRecordedManagers(), 2U);
    EXPECT_EQ(bindingLoadCount(), round);
    runStateChanged(4);
  }
}

struct HandlerCall {
  int calls = 0;
  ViSession vi = 0;
  ViEventType eventType = 0;
};

ViStatus recordEvent(ViSession vi, ViEventType eventType, ViEvent, ViAddr userHandle) {
  auto* call = static_cast<HandlerCall*>(userHandle);
  ++call->calls;
  call->vi = vi;
  call->eventType = eventType;
  return VI_SUCCESS;
}

ViStatus otherHandler(ViSession, ViEventType, ViEvent, ViAddr) { return VI_SUCCESS; }

class BindingHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin_reset();
    bindingSetCandidates({STANDIN_LIB});
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm_, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi_), VI_SUCCESS);
  }
  ViSession rm_ = 0;
  ViSession vi_ = 0;
};

TEST_F(BindingHandlerTest, EventsReachTheClientHandlerWithItsOwnHandle) {
  HandlerCall call;
  ASSERT_EQ(viInstallHandler(vi_, VI_EVENT_SERVICE_REQ, recordEvent, &call), VI_SUCCESS);
  EXPECT_EQ(standin_event(vi_, VI_EVENT_SERVICE_REQ), VI_SUCCESS);
  EXPECT_EQ(call.calls, 1);
  EXPECT_EQ(call.vi, vi_);
  EXPECT_EQ(call.eventType, VI_EVENT_SERVICE_REQ);
  // Without a development host handler calls are never held back.
  runStateChanged(6);
  EXPECT_EQ(standin_event(vi_, VI_EVENT_SERVICE_REQ), VI_SUCCESS);
  runStateChanged(5);
  EXPECT_EQ(call.calls, 2);
  EXPECT_EQ(handlerTrampoline(vi_, VI_EVENT_SERVICE_REQ, 0, reinterpret_cast<ViAddr>(uintptr_t{0xFFFF})),
            VI_ERROR_INV_HNDLR_REF);
}

TEST_F(BindingHandlerTest, UninstallMatchesSessionHandleTypeAndHandler) {
  HandlerCall call;
  HandlerCall otherCall;
  struct Case {
    const char* name;
    ViEventType eventType;
    ViHndlr handler;
    ViAddr userHandle;
    ViStatus status;
  };
  const std::vector<Case> cases = {
      {"other user handle", VI_EVENT_SERVICE_REQ, recordEvent, &otherCall, VI_ERROR_INV_HNDLR_REF},
      {"other event type", VI_EVENT_IO_COMPLETION, recordEvent, &call, VI_ERROR_INV_HNDLR_REF},
      {"other handler", VI_EVENT_SERVICE_REQ, otherHandler, &call, VI_ERROR_INV_HNDLR_REF},
      {"any type, any handler", VI_ALL_ENABLED_EVENTS, nullptr, &call, VI_SUCCESS},
      {"already removed", VI_EVENT_SERVICE_REQ, recordEvent, &call, VI_ERROR_INV_HNDLR_REF},
  };
  ASSERT_EQ(viInstallHandler(vi_, VI_EVENT_SERVICE_REQ, recordEvent, &call), VI_SUCCESS);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(viUninstallHandler(vi_, c.eventType, c.handler, c.userHandle), c.status);
  }
  EXPECT_EQ(bindingInstalledHandlers(), 0U);
  EXPECT_EQ(standin_event(vi_, VI_EVENT_SERVICE_REQ), VI_ERROR_HNDLR_NINSTALLED);
}

TEST_F(BindingHandlerTest, TableHolds256AndCloseEmptiesIt) {
  HandlerCall call;
  for (int i = 0; i < 256; ++i) ASSERT_EQ(viInstallHandler(vi_, VI_EVENT_SERVICE_REQ, recordEvent, &call), VI_SUCCESS);
  EXPECT_EQ(viInstallHandler(vi_, VI_EVENT_SERVICE_REQ, recordEvent, &call), VI_ERROR_HNDLR_NINSTALLED);
  EXPECT_EQ(standin_event(vi_, VI_EVENT_SERVICE_REQ), VI_SUCCESS);
  EXPECT_EQ(call.calls, 256);
  ASSERT_EQ(viClose(vi_), VI_SUCCESS);
  EXPECT_EQ(bindingInstalledHandlers(), 0U);
  // A handler VISA refuses is not kept either.
  EXPECT_EQ(viInstallHandler(vi_, VI_EVENT_SERVICE_REQ, recordEvent, &call), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(bindingInstalledHandlers(), 0U);
}

}  // namespace
