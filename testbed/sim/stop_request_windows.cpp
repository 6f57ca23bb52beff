#include "testbed/sim/stop_request.h"

#include <condition_variable>
#include <mutex>

#include <windows.h>

namespace kavrel::sim {
namespace {

std::mutex g_lock;
std::condition_variable g_requested;
bool g_stop = false;

// Runs on a thread of the console's; the process may end once it returns, so it waits for nothing.
BOOL WINAPI consoleEvent(DWORD) {
  {
    std::lock_guard guard(g_lock);
    g_stop = true;
  }
  g_requested.notify_all();
  return TRUE;
}

}  // namespace

void holdStopRequests() { ::SetConsoleCtrlHandler(consoleEvent, TRUE); }

void waitForStopRequest() {
  std::unique_lock guard(g_lock);
  g_requested.wait(guard, [] { return g_stop; });
}

}  // namespace kavrel::sim
