// Call counts, fault injection and reset of the stand-in.
#include <array>
#include <mutex>
#include <vector>

#include "testbed/visa/session.h"
#include "testbed/visa/standin_internal.h"

namespace kavrel::standin {
namespace {

struct Fault {
  standin_op op;
  unsigned call;  // the call number of op that fails
  ViStatus status;
};

struct Control {
  std::mutex lock;
  std::array<unsigned, STANDIN_OP_COUNT> calls{};
  std::vector<Fault> faults;
};

Control& control() {
  static Control instance;
  return instance;
}

}  // namespace

std::optional<ViStatus> enterOperation(standin_op op) {
  Control& c = control();
  std::lock_guard guard(c.lock);
  const unsigned call = ++c.calls[op];
  for (auto it = c.faults.begin(); it != c.faults.end(); ++it) {
    if (it->op == op && it->call == call) {
      const ViStatus status = it->status;
      c.faults.erase(it);
      return status;
    }
  }
  return std::nullopt;
}

ViStatus fireEvent(ViSession vi, ViEventType eventType) {
  const std::shared_ptr<Session> session = findSession(vi);
  if (session == nullptr) return VI_ERROR_INV_OBJECT;
  const std::vector<InstalledHandler> handlers = session->handlersFor(eventType);
  if (handlers.empty()) return VI_ERROR_HNDLR_NINSTALLED;
  ViStatus status = VI_SUCCESS;
  for (const InstalledHandler& row : handlers) status = row.handler(vi, eventType, VI_NULL, row.userHandle);
  return status;
}

}  // namespace kavrel::standin

extern "C" {

void standin_reset(void) {
  kavrel::standin::closeAllSessions();
  kavrel::standin::scriptReset();
  kavrel::standin::Control& c = kavrel::standin::control();
  std::lock_guard guard(c.lock);
  c.calls.fill(0);
  c.faults.clear();
}

void standin_fail(enum standin_op op, unsigned nth, ViStatus status) {
  if (op < 0 || op >= STANDIN_OP_COUNT) return;
  kavrel::standin::Control& c = kavrel::standin::control();
  std::lock_guard guard(c.lock);
  c.faults.push_back({op, c.calls[op] + (nth == 0 ? 1 : nth), status});
}

unsigned standin_calls(enum standin_op op) {
  if (op < 0 || op >= STANDIN_OP_COUNT) return 0;
  kavrel::standin::Control& c = kavrel::standin::control();
  std::lock_guard guard(c.lock);
  return c.calls[op];
}

unsigned standin_open_sessions(void) { return kavrel::standin::openSessionCount(); }

ViStatus standin_event(ViSession vi, ViEventType eventType) { return kavrel::standin::fireEvent(vi, eventType); }

}  // extern "C"
