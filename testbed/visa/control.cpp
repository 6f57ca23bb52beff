// Call counts, fault injection and reset of the stand-in.
#include <array>
#include <mutex>
#include <vector>

#include "testbed/visa/session.h"
#include "testbed/visa/standin_internal.h"

namespace kavrel::standin {
namespace {

struct Fault {
  standin_op op;  // STANDIN_OP_COUNT: an operation of any kind
  unsigned call;  // the call number of op (or of all operations) that fails
  ViStatus status;
  bool afterWork;  // the call does its work first
};

struct Control {
  std::mutex lock;
  std::array<unsigned, STANDIN_OP_COUNT> calls{};
  unsigned operations = 0;  // of every kind
  std::vector<Fault> faults;
  std::size_t writesAtFault = 0;
};

Control& control() {
  static Control instance;
  return instance;
}

void addFault(standin_op op, unsigned nth, ViStatus status, bool afterWork) {
  Control& c = control();
  std::lock_guard guard(c.lock);
  const unsigned done = op == STANDIN_OP_COUNT ? c.operations : c.calls[op];
  c.faults.push_back({op, done + (nth == 0 ? 1 : nth), status, afterWork});
}

}  // namespace

std::optional<InjectedFault> enterOperation(standin_op op) {
  Control& c = control();
  std::lock_guard guard(c.lock);
  const unsigned call = ++c.calls[op];
  const unsigned operation = ++c.operations;
  for (auto it = c.faults.begin(); it != c.faults.end(); ++it) {
    if ((it->op == op && it->call == call) || (it->op == STANDIN_OP_COUNT && it->call == operation)) {
      const InjectedFault fault{it->status, it->afterWork};
      c.faults.erase(it);
      c.writesAtFault = standin_write_count();
      return fault;
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
  c.operations = 0;
  c.faults.clear();
  c.writesAtFault = 0;
}

void standin_fail(enum standin_op op, unsigned nth, ViStatus status) {
  if (op < 0 || op >= STANDIN_OP_COUNT) return;
  kavrel::standin::addFault(op, nth, status, false);
}

void standin_fail_after(enum standin_op op, unsigned nth, ViStatus status) {
  if (op < 0 || op >= STANDIN_OP_COUNT) return;
  kavrel::standin::addFault(op, nth, status, true);
}

void standin_fail_any(unsigned nth, ViStatus status) { kavrel::standin::addFault(STANDIN_OP_COUNT, nth, status, false); }

unsigned standin_operations(void) {
  kavrel::standin::Control& c = kavrel::standin::control();
  std::lock_guard guard(c.lock);
  return c.operations;
}

size_t standin_writes_at_fault(void) {
  kavrel::standin::Control& c = kavrel::standin::control();
  std::lock_guard guard(c.lock);
  return c.writesAtFault;
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
