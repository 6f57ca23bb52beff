#include "driver/core/guard.h"

#include <atomic>
#include <new>
#include <shared_mutex>
#include <unordered_map>

#include "driver/kavrel.h"

namespace kavrel {

struct SessionEntry {
  std::recursive_mutex lock;
  std::atomic<Framing> framing{Framing::end};
};

namespace {

using Lock = std::shared_ptr<SessionEntry>;

// The lock of every session kavrel_init opened, with its framing. Looking one up shares the table's own
// mutex with every other call; only init and close take it alone, briefly.
struct Locks {
  std::shared_mutex mutex;
  std::unordered_map<ViSession, Lock> bySession;
};

// Never destroyed: a call may still run on another thread while the process exits.
Locks& locks() {
  static Locks* table = new Locks;
  return *table;
}

Lock find(ViSession vi) {
  std::shared_lock reading(locks().mutex);
  auto it = locks().bySession.find(vi);
  return it == locks().bySession.end() ? nullptr : it->second;
}

}  // namespace

SessionGuard::SessionGuard(ViSession vi) {
  for (Lock lock = find(vi); lock != nullptr; lock = find(vi)) {
    lock->lock.lock();
    // A close that ran while this call waited has taken the lock away (and
    // the handle may name a newer session by now): look again.
    if (find(vi) == lock) {
      entry_ = std::move(lock);
      return;
    }
    lock->lock.unlock();
  }
}

SessionGuard::~SessionGuard() {
  if (entry_ != nullptr) entry_->lock.unlock();
}

SessionGuard::SessionGuard(ViSession vi, Opened) {
  try {
    Lock lock = std::make_shared<SessionEntry>();
    {
      std::unique_lock writing(locks().mutex);
      locks().bySession[vi] = lock;
    }
    lock->lock.lock();
    entry_ = std::move(lock);
  } catch (const std::bad_alloc&) {
    // No lock: kavrel_init reports VI_ERROR_ALLOC and closes the session.
  }
}

void SessionGuard::closed(ViSession vi) {
  std::unique_lock writing(locks().mutex);
  auto it = locks().bySession.find(vi);
  if (it != locks().bySession.end() && it->second == entry_) locks().bySession.erase(it);
}

void keepFraming(ViSession vi, Framing framing) {
  if (Lock entry = find(vi)) entry->framing = framing;
}

bool keptFraming(ViSession vi, Framing& framing) {
  Lock entry = find(vi);
  if (entry == nullptr) return false;
  framing = entry->framing;
  return true;
}

ViStatus statusOfException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  } catch (...) {
    return VI_ERROR_SYSTEM_ERROR;
  }
}

}  // namespace kavrel
