// Run-time VISA binding: loading the VISA library, the table of its entry
// points, fallback status texts, the resource-manager list and the client
// event handlers.
#include "visa_binding/binding.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <semaphore>
#include <string_view>

#include "visa_binding/platform.h"

namespace kavrel::binding {
namespace {

constexpr std::size_t kMaxManagers = 256;
constexpr std::size_t kMaxHandlers = 256;

// Run-state codes of the host run-time.
constexpr ViInt32 kRunStateStop = 4;
constexpr ViInt32 kRunStateResume = 5;
constexpr ViInt32 kRunStateSuspend = 6;

// Without a development host every client is a standalone program: handler
// calls are neither bracketed by the host nor held back by the callback lock.
constexpr bool inStandaloneExecutable() { return true; }

struct HandlerRow {
  ViSession vi;
  ViEventType eventType;
  ViHndlr handler;
  ViAddr userHandle;
  ViUInt32 row;
};

struct StatusText {
  ViStatus status;
  std::string_view text;
};

// What viStatusDesc answers while no VISA library can be loaded.
constexpr std::array<StatusText, 6> kFallbackTexts{{
    {VI_SUCCESS, "Operation completed successfully."},
    {VI_ERROR_ALLOC, "Insufficient system resources to perform necessary memory allocation."},
    {VI_ERROR_INV_OBJECT, "The given session or object reference is invalid."},
    {VI_ERROR_SYSTEM_ERROR,
     "Unknown system error (miscellaneous error).  Possibly, unable to load visa32.dll."},
    {VI_ERROR_INV_SETUP, "Some implementation-specific configuration file is corrupt or does not exist."},
    {VI_ERROR_LIBRARY_NFOUND, "A code library required by VISA could not be located or loaded."},
}};

// ---- binding state (one per library instance) ------------------------------
std::atomic<bool> g_loaded{false};
std::atomic<LoadMutex> g_loadMutex{nullptr};
Library g_library = nullptr;  // written only under the load mutex
EntryPoints g_entries;
std::atomic<unsigned> g_loadCount{0};

std::mutex g_candidatesLock;

// What the last load attempt found: the path of the library in use, or each
// library tried and why it was refused. Guarded by g_reportLock.
std::mutex g_reportLock;
std::string g_loadReport;

void setLoadReport(std::string report) {
  std::lock_guard lock(g_reportLock);
  g_loadReport = std::move(report);
}

// Library names tried in order; guarded by g_candidatesLock.
std::vector<std::string>& candidateList() {
  static std::vector<std::string> candidates = bindingDefaultCandidates();
  return candidates;
}

// Table lock: guards the handler table and the resource-manager list. It is
// a static object so the lists are guarded before the first load too.
std::mutex g_tableLock;
std::array<ViSession, kMaxManagers> g_managers{};
std::uint16_t g_managerCount = 0;
std::array<HandlerRow, kMaxHandlers> g_handlers{};
std::uint16_t g_handlerCount = 0;
ViUInt32 g_rowCounter = 0;

// Callback lock: a semaphore rather than a mutex, because the run-state hook
// may take it on one thread and give it back on another.
std::binary_semaphore g_callbackLock{1};
std::atomic<bool> g_hookHoldsCallbackLock{false};
std::atomic<bool> g_stopping{false};

// ---- load mutex -----------------------------------------------------------
// The stored load mutex, created on first use; nullptr if it cannot be created.
LoadMutex loadMutex() {
  LoadMutex mutex = g_loadMutex.load(std::memory_order_acquire);
  if (mutex != nullptr) return mutex;
  LoadMutex created = createLoadMutex();
  if (created == nullptr) return nullptr;
  if (g_loadMutex.compare_exchange_strong(mutex, created, std::memory_order_acq_rel)) return created;
  closeLoadMutex(created);  // another thread stored one meanwhile
  return mutex;
}

// ---- library search ---------------------------------------------------------
// The names to try: the user's choice in KAVREL_VISA_LIBRARY (a file name
// or a path) before the built-in list.
std::vector<std::string> searchList() {
  std::vector<std::string> names;
  if (std::string chosen = environmentText("KAVREL_VISA_LIBRARY"); !chosen.empty()) names.push_back(std::move(chosen));
  std::lock_guard lock(g_candidatesLock);
  names.insert(names.end(), candidateList().begin(), candidateList().end());
  return names;
}

// The first library the loader opens, and its name; every refusal on the way
// is appended to `report` as "name: reason; ".
Library openFirstCandidate(std::string& name, std::string& report) {
  for (const std::string& candidate : searchList()) {
    const std::vector<std::string> names = expandCandidate(candidate);
    if (names.empty()) report += candidate + ": no file matches; ";
    for (const std::string& path : names) {
      std::string reason;
      if (Library handle = openLibrary(path, reason)) {
        name = path;
        return handle;
      }
      report += path + ": " + reason + "; ";
    }
  }
  return nullptr;
}

template <typename Fn>
bool resolveEntry(Library handle, const char* name, Fn own, Fn& slot) {
  void* address = librarySymbol(handle, name);
  // Our own stub never counts: it would forward to itself.
  if (address == nullptr || address == reinterpret_cast<void*>(own)) return false;
  slot = reinterpret_cast<Fn>(address);
  return true;
}

// Resolve every entry point; the name of the first required one missing, or nullptr.
const char* resolveEntries(Library handle, EntryPoints& table) {
#define KAVREL_BINDING_RESOLVE_REQUIRED(name) \
  if (!resolveEntry(handle, #name, &::name, table.name)) return #name;
  KAVREL_BINDING_REQUIRED(KAVREL_BINDING_RESOLVE_REQUIRED)
#undef KAVREL_BINDING_RESOLVE_REQUIRED
#define KAVREL_BINDING_RESOLVE_OPTIONAL(name) resolveEntry(handle, #name, &::name, table.name);
  KAVREL_BINDING_OPTIONAL(KAVREL_BINDING_RESOLVE_OPTIONAL)
#undef KAVREL_BINDING_RESOLVE_OPTIONAL
  return nullptr;
}

// ---- status texts ---------------------------------------------------------
ViStatus fallbackStatusDesc(ViStatus status, ViChar desc[]) {
  if (desc == nullptr) return VI_ERROR_USER_BUF;
  for (const StatusText& entry : kFallbackTexts) {
    if (entry.status == status) {
      std::memcpy(desc, entry.text.data(), entry.text.size());
      desc[entry.text.size()] = '\0';
      return VI_SUCCESS;
    }
  }
  std::snprintf(desc, 32, "Unknown status value 0x%08lX", static_cast<unsigned long>(static_cast<ViUInt32>(status)));
  return VI_WARN_UNKNOWN_STATUS;
}

// ---- resource-manager list and handler table (callers hold g_tableLock) ----------
void recordManager(ViSession rm) {
  if (g_managerCount < kMaxManagers) g_managers[g_managerCount++] = rm;
}

void forgetManager(ViSession rm) {
  for (std::size_t i = 0; i < g_managerCount; ++i) {
    if (g_managers[i] == rm) {
      g_managers[i] = g_managers[--g_managerCount];
      return;
    }
  }
}

void removeHandlerAt(std::size_t index) { g_handlers[index] = g_handlers[--g_handlerCount]; }

HandlerRow* findHandlerRow(ViUInt32 row) {
  for (std::size_t i = 0; i < g_handlerCount; ++i) {
    if (g_handlers[i].row == row) return &g_handlers[i];
  }
  return nullptr;
}

void removeHandlerRow(ViUInt32 row) {
  if (HandlerRow* found = findHandlerRow(row)) removeHandlerAt(static_cast<std::size_t>(found - g_handlers.data()));
}

// The next row number: never 0, and never one still in use after the counter wrapped.
ViUInt32 nextRowNumber() {
  do {
    g_rowCounter = g_rowCounter == 0xFFFFFFFFU ? 1U : g_rowCounter + 1U;
  } while (findHandlerRow(g_rowCounter) != nullptr);
  return g_rowCounter;
}

ViAddr rowHandle(ViUInt32 row) { return reinterpret_cast<ViAddr>(static_cast<std::uintptr_t>(row)); }

}  // namespace

// ---- loading --------------------------------------------------------------
const EntryPoints& bindingEntries() { return g_entries; }

bool bindingLoaded() { return g_loaded.load(std::memory_order_acquire); }

ViStatus loadVisaLibrary() {
  if (bindingLoaded()) return VI_SUCCESS;
  LoadMutex mutex = loadMutex();
  if (mutex == nullptr) return VI_ERROR_SYSTEM_ERROR;
  lockLoadMutex(mutex);
  ViStatus status = VI_SUCCESS;
  if (g_library == nullptr) {
    std::string name;
    std::string report;
    Library handle = openFirstCandidate(name, report);
    EntryPoints table;
    const char* missing = nullptr;
    if (handle == nullptr) {
      status = VI_ERROR_LIBRARY_NFOUND;
      setLoadReport(report.empty() ? "no VISA library to try" : report.substr(0, report.size() - 2));
    } else if ((missing = resolveEntries(handle, table)) != nullptr) {
      setLoadReport(report + libraryPath(handle, name) + ": lacks " + missing);
      closeLibrary(handle);
      status = VI_ERROR_SYSTEM_ERROR;
    } else {
      setLoadReport(libraryPath(handle, name));
      g_entries = table;
      g_library = handle;
      g_stopping.store(false);
      g_loadCount.fetch_add(1);
      g_loaded.store(true, std::memory_order_release);
    }
  }
  unlockLoadMutex(mutex);
  return status;
}

void unloadVisaLibrary() {
  LoadMutex mutex = g_loadMutex.load(std::memory_order_acquire);
  if (mutex == nullptr) return;  // never loaded
  lockLoadMutex(mutex);
  if (g_library != nullptr) {
    g_loaded.store(false, std::memory_order_release);
    closeLibrary(g_library);
    g_library = nullptr;
    g_entries = EntryPoints{};
    {
      // Sessions and handlers belonged to the library just unloaded.
      std::lock_guard lock(g_tableLock);
      g_managerCount = 0;
      g_handlerCount = 0;
    }
    g_stopping.store(false);
  }
  g_loadMutex.store(nullptr, std::memory_order_release);
  unlockLoadMutex(mutex);
  closeLoadMutex(mutex);
}

// ---- event handlers -------------------------------------------------------
ViStatus handlerTrampoline(ViSession vi, ViEventType eventType, ViEvent event, ViAddr userHandle) {
  const auto row = static_cast<ViUInt32>(reinterpret_cast<std::uintptr_t>(userHandle));
  ViHndlr handler = nullptr;
  ViAddr clientHandle = nullptr;
  {
    std::lock_guard lock(g_tableLock);
    const HandlerRow* found = findHandlerRow(row);
    if (found == nullptr) return VI_ERROR_INV_HNDLR_REF;
    handler = found->handler;
    clientHandle = found->userHandle;
  }
  const bool takeCallbackLock = !inStandaloneExecutable();
  if (takeCallbackLock) g_callbackLock.acquire();
  ViStatus status = VI_ERROR_INV_HNDLR_REF;
  if (!g_stopping.load()) status = handler(vi, eventType, event, clientHandle);
  if (takeCallbackLock) g_callbackLock.release();
  return status;
}

void runStateChanged(ViInt32 state) {
  switch (state) {
    case kRunStateStop: {
      g_stopping.store(true);
      if (g_hookHoldsCallbackLock.exchange(false)) g_callbackLock.release();
      if (!bindingLoaded()) return;
      std::array<ViSession, kMaxManagers> managers{};
      std::size_t count = 0;
      {
        std::lock_guard lock(g_tableLock);
        count = g_managerCount;
        std::copy_n(g_managers.begin(), count, managers.begin());
        g_managerCount = 0;
      }
      for (std::size_t i = 0; i < count; ++i) g_entries.viClose(managers[i]);
      unloadVisaLibrary();
      return;
    }
    case kRunStateResume:
      if (g_hookHoldsCallbackLock.exchange(false)) g_callbackLock.release();
      return;
    case kRunStateSuspend:
      if (bindingLoaded() && !g_hookHoldsCallbackLock.load()) {
        g_callbackLock.acquire();
        g_hookHoldsCallbackLock.store(true);
      }
      return;
    default:
      return;
  }
}

// ---- test hooks -----------------------------------------------------------
std::vector<std::string> bindingDefaultCandidates() { return platformCandidates(); }

void bindingSetCandidates(std::vector<std::string> candidates) {
  std::lock_guard lock(g_candidatesLock);
  candidateList() = std::move(candidates);
}

void bindingRestoreCandidates() { bindingSetCandidates(bindingDefaultCandidates()); }

unsigned bindingLoadCount() { return g_loadCount.load(); }

std::string bindingLoadReport() {
  std::lock_guard lock(g_reportLock);
  return g_loadReport;
}

std::size_t bindingRecordedManagers() {
  std::lock_guard lock(g_tableLock);
  return g_managerCount;
}

std::size_t bindingInstalledHandlers() {
  std::lock_guard lock(g_tableLock);
  return g_handlerCount;
}

}  // namespace kavrel::binding

using namespace kavrel::binding;

// ---- stubs that keep the binding's own bookkeeping -----------------------------
ViStatus viOpenDefaultRM(ViPSession vi) {
  if (ViStatus status = loadVisaLibrary(); status < VI_SUCCESS) return status;
  const ViStatus status = g_entries.viOpenDefaultRM(vi);
  if (status >= VI_SUCCESS && vi != nullptr) {
    std::lock_guard lock(g_tableLock);
    recordManager(*vi);
  }
  return status;
}

ViStatus viClose(ViObject vi) {
  if (ViStatus status = loadVisaLibrary(); status < VI_SUCCESS) return status;
  const ViStatus status = g_entries.viClose(vi);
  if (status >= VI_SUCCESS) {
    std::lock_guard lock(g_tableLock);
    forgetManager(vi);
    for (std::size_t i = g_handlerCount; i-- > 0;) {
      if (g_handlers[i].vi == vi) removeHandlerAt(i);
    }
  }
  return status;
}

ViStatus viStatusDesc(ViObject vi, ViStatus status, ViChar desc[]) {
  loadVisaLibrary();
  if (!bindingLoaded()) return fallbackStatusDesc(status, desc);
  return g_entries.viStatusDesc(vi, status, desc);
}

ViStatus viInstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler, ViAddr userHandle) {
  if (ViStatus status = loadVisaLibrary(); status < VI_SUCCESS) return status;
  ViUInt32 row = 0;
  {
    std::lock_guard lock(g_tableLock);
    if (g_handlerCount >= kMaxHandlers) return VI_ERROR_HNDLR_NINSTALLED;
    row = nextRowNumber();
    g_handlers[g_handlerCount++] = HandlerRow{vi, eventType, handler, userHandle, row};
  }
  // VISA is called without the table lock: it may deliver an event at once.
  const ViStatus status = g_entries.viInstallHandler(vi, eventType, &handlerTrampoline, rowHandle(row));
  if (status < VI_SUCCESS) {
    std::lock_guard lock(g_tableLock);
    removeHandlerRow(row);
  }
  return status;
}

ViStatus viUninstallHandler(ViSession vi, ViEventType eventType, ViHndlr handler, ViAddr userHandle) {
  if (ViStatus status = loadVisaLibrary(); status < VI_SUCCESS) return status;
  ViUInt32 row = 0;
  ViEventType rowEventType = 0;
  {
    std::lock_guard lock(g_tableLock);
    for (std::size_t i = 0; i < g_handlerCount; ++i) {
      const HandlerRow& candidate = g_handlers[i];
      if (candidate.vi == vi && candidate.userHandle == userHandle &&
          (eventType == VI_ALL_ENABLED_EVENTS || candidate.eventType == eventType) &&
          (handler == nullptr || candidate.handler == handler)) {
        row = candidate.row;
        rowEventType = candidate.eventType;
        break;
      }
    }
  }
  if (row == 0) return VI_ERROR_INV_HNDLR_REF;
  const ViStatus status = g_entries.viUninstallHandler(vi, rowEventType, &handlerTrampoline, rowHandle(row));
  if (status >= VI_SUCCESS) {
    std::lock_guard lock(g_tableLock);
    removeHandlerRow(row);
  }
  return status;
}
