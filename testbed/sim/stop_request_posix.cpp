#include "testbed/sim/stop_request.h"

#include <csignal>

#include <pthread.h>

namespace kavrel::sim {
namespace {

sigset_t stopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

// The server's threads inherit the blocked signals; only sigwait takes them.
void holdStopRequests() {
  const sigset_t signals = stopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void waitForStopRequest() {
  const sigset_t signals = stopSignals();
  int received = 0;
  sigwait(&signals, &received);
}

}  // namespace kavrel::sim
