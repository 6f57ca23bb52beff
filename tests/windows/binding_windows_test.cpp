// The run-time VISA binding on Windows: the named load mutex, the DLL search,
// the entry points of a stub visa32.dll and its partial copies, the handler
// trampoline and the host run-time's stop. STUB_DIR holds visa32.dll,
// NOMEMFREE_DIR and NOMOVE_DIR copies without one entry point each.
#include <windows.h>
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "visa_binding/binding.h"

namespace {

using namespace kavrel::binding;

std::string loadMutexName() { return "Pelmora VISA Library " + std::to_string(GetCurrentProcessId()); }

bool loadMutexExists() {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, loadMutexName().c_str());
  if (mutex == nullptr) return false;
  CloseHandle(mutex);
  return true;
}

// KAVREL_VISA_LIBRARY, set as a Windows program sets it: in UTF-16, from UTF-8.
void chooseLibrary(const std::string& path) {
  std::wstring wide(path.size() + 1, L'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size())) - 1));
  SetEnvironmentVariableW(L"KAVREL_VISA_LIBRARY", wide.c_str());
}

template <typename Fn>
Fn stubControl(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("visa32.dll"), name)));
}

class BindingWindowsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    chooseLibrary("");
    unloadVisaLibrary();
  }
};

// No visa32.dll anywhere on the search path (the test's own environment).
TEST_F(BindingWindowsTest, WithoutVisaTheLoadFailsAndIsReported) {
  ViSession rm = 0;
  EXPECT_EQ(viOpenDefaultRM(&rm), VI_ERROR_LIBRARY_NFOUND);
  EXPECT_EQ(bindingLoadReport(), "visa32.dll: not found");
  ViChar text[256];
  EXPECT_EQ(viStatusDesc(VI_NULL, VI_ERROR_SYSTEM_ERROR, text), VI_SUCCESS);
  EXPECT_STREQ(text, "Unknown system error (miscellaneous error).  Possibly, unable to load visa32.dll.");
}

// The mutex exists from the first load attempt, under the process's name,
// and is gone once the binding unloads (no other handle keeps it).
TEST_F(BindingWindowsTest, LoadMutexIsNamedAfterTheProcess) {
  EXPECT_FALSE(loadMutexExists());
  chooseLibrary(STUB_DIR "/visa32.dll");
  ViSession rm = 0;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_TRUE(loadMutexExists());
  unloadVisaLibrary();
  EXPECT_FALSE(loadMutexExists());
}

TEST_F(BindingWindowsTest, ChosenAndPartialLibraries) {
  struct Case {
    std::string path;
    ViStatus openStatus;
    ViStatus moveStatus;
    std::string reportEnd;
  };
  const std::vector<Case> cases = {
      {NOMEMFREE_DIR "/visa32.dll", VI_ERROR_SYSTEM_ERROR, VI_ERROR_SYSTEM_ERROR, "\\nomemfree\\visa32.dll: lacks viMemFree"},
      {NOMOVE_DIR "/visa32.dll", VI_SUCCESS, VI_ERROR_NIMPL_OPER, "\\nomove\\visa32.dll"},
      {STUB_DIR "/visa32.dll", VI_SUCCESS, VI_ERROR_NSUP_OPER, "\\stub\\visa32.dll"},
      {UTF8_DIR "/visa32.dll", VI_SUCCESS, VI_ERROR_NSUP_OPER, "\\stub-Prüfplatz\\visa32.dll"},
      {STUB_DIR "/absent.dll", VI_ERROR_LIBRARY_NFOUND, VI_ERROR_LIBRARY_NFOUND,
       "/absent.dll: not found; visa32.dll: not found"},
      {STUB_DIR "/stub_visa.def", VI_ERROR_LIBRARY_NFOUND, VI_ERROR_LIBRARY_NFOUND,
       "/stub_visa.def: not a DLL for this process (32-bit and 64-bit do not mix); visa32.dll: not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    chooseLibrary(c.path);
    ViSession rm = 0;
    EXPECT_EQ(viOpenDefaultRM(&rm), c.openStatus);
    EXPECT_EQ(viMove(rm, 0, 0, 8, 0, 0, 8, 1), c.moveStatus);
    const std::string report = bindingLoadReport();
    EXPECT_TRUE(report.ends_with(c.reportEnd)) << report;
    EXPECT_EQ(GetModuleHandleA("visa32.dll") != nullptr, c.openStatus == VI_SUCCESS);
    unloadVisaLibrary();
    EXPECT_EQ(GetModuleHandleA("visa32.dll"), nullptr);
  }
}

// Threads whose first VISA call comes at once wait on the named mutex: VISA loads once.
TEST_F(BindingWindowsTest, ConcurrentFirstCallsLoadOnce) {
  chooseLibrary(STUB_DIR "/visa32.dll");
  const unsigned before = bindingLoadCount();
  constexpr int kThreads = 4;
  for (unsigned round = 1; round <= 10; ++round) {
    std::latch start(kThreads);
    std::vector<ViStatus> status(kThreads, -1);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        ViSession rm = 0;
        start.arrive_and_wait();
        status[static_cast<std::size_t>(i)] = viOpenDefaultRM(&rm);
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(status, std::vector<ViStatus>(kThreads, VI_SUCCESS));
    EXPECT_EQ(bindingLoadCount(), before + round);
    EXPECT_EQ(bindingRecordedManagers(), static_cast<std::size_t>(kThreads));
    unloadVisaLibrary();
  }
}

ViStatus _VI_FUNCH countingHandler(ViSession, ViEventType, ViEvent event, ViAddr userHandle) {
  *static_cast<ViEvent*>(userHandle) += event;
  return VI_SUCCESS;
}

// Events reach the client's handler with the client's own handle; the host
// run-time's stop closes the recorded resource managers, withholds handler
// calls and unloads VISA.
TEST_F(BindingWindowsTest, HandlerTrampolineAndHostStop) {
  chooseLibrary(STUB_DIR "/visa32.dll");
  ViSession rm1 = 0;
  ViSession rm2 = 0;
  ASSERT_EQ(viOpenDefaultRM(&rm1), VI_SUCCESS);
  ASSERT_EQ(viOpenDefaultRM(&rm2), VI_SUCCESS);
  ViEvent seen = 0;
  ASSERT_EQ(viInstallHandler(rm1, VI_EVENT_SERVICE_REQ, countingHandler, &seen), VI_SUCCESS);
  const auto raise = stubControl<ViStatus (*)(ViSession, ViUInt32)>("stubRaiseEvent");
  const auto closed = stubControl<int (*)()>("stubClosed");
  ASSERT_NE(raise, nullptr);
  EXPECT_EQ(raise(rm1, VI_EVENT_SERVICE_REQ), VI_SUCCESS);
  EXPECT_EQ(seen, 7U);
  EXPECT_EQ(closed(), 0);
  HMODULE kept = LoadLibraryA(STUB_DIR "/visa32.dll");  // the stub's code outlives the binding's hold
  runStateChanged(4);
  EXPECT_FALSE(bindingLoaded());
  EXPECT_EQ(closed(), 2);
  EXPECT_EQ(raise(rm1, VI_EVENT_SERVICE_REQ), VI_ERROR_INV_HNDLR_REF);
  EXPECT_EQ(seen, 7U);
  FreeLibrary(kept);
}

// Run with the stub's folder on PATH: the plain name is found by the normal search.
TEST_F(BindingWindowsTest, Visa32OnThePathIsFound) {
  ViSession rm = 0;
  EXPECT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_TRUE(bindingLoadReport().ends_with("\\stub\\visa32.dll")) << bindingLoadReport();
}

}  // namespace
