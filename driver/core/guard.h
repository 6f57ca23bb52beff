// One call at a time on each session: every exported function holds its
// session's lock for the whole call, so another thread's call on the same
// session can never take this call's reply or its "*ESR?" answers. Calls on
// different sessions never wait for each other.
#ifndef KAVREL_CORE_GUARD_H
#define KAVREL_CORE_GUARD_H

#include <memory>
#include <mutex>

#include "driver/core/framing.h"
#include "driver/kavrel_visatype.h"

namespace kavrel {

struct SessionEntry;  // a session's lock and what init found out about it

// Held from the first line of an exported function to its return. The lock
// is recursive, so a call built from other exported calls takes it once more.
// A session the driver did not open (or has closed) has no lock: its calls
// run unguarded and VISA answers them as it does.
class SessionGuard {
 public:
  explicit SessionGuard(ViSession vi);
  // kavrel_init: gives the session it has just opened its lock and holds it.
  // Without memory for the lock the session has none (`ok()` false).
  struct Opened {};
  SessionGuard(ViSession vi, Opened);
  ~SessionGuard();
  SessionGuard(const SessionGuard&) = delete;
  SessionGuard& operator=(const SessionGuard&) = delete;

  bool ok() const { return entry_ != nullptr; }
  // kavrel_close and a failed kavrel_init, once the session is closed: the
  // session's lock goes, unless the handle already names a newer session.
  void closed(ViSession vi);

 private:
  std::shared_ptr<SessionEntry> entry_;
};

// kavrel_init: the session's framing, kept with its lock until it closes.
void keepFraming(ViSession vi, Framing framing);
// The framing kept for a session kavrel_init opened; false for any other.
bool keptFraming(ViSession vi, Framing& framing);

// The status of the exception being handled: VI_ERROR_ALLOC for out of
// memory, VI_ERROR_SYSTEM_ERROR for any other.
ViStatus statusOfException() noexcept;

}  // namespace kavrel

// Closes the body of every exported function, a function try block, so that
// no exception crosses the C interface into the caller's process: a command
// line or reply the heap cannot hold returns VI_ERROR_ALLOC, and the
// session's lock is free again by then.
//   KAVREL_API ViStatus kavrel_x(ViSession vi, ...) try {
//     const SessionGuard guard(vi);
//     ...
//   } KAVREL_CATCH_ALL
#define KAVREL_CATCH_ALL                  \
  catch (...) {                           \
    return ::kavrel::statusOfException(); \
  }

#endif
