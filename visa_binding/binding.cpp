// Run-time VISA binding: loading the VISA library, the table of its entry
// points, fallback status texts, the resource-manager list and the client
// event handlers.
#include "visa_binding/binding.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <glob.h>
#include <semaphore.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <semaphore>
#include <string_view>

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
std::atomic<sem_t*> g_loadMutex{nullptr};
void* g_library = nullptr;  // written only under the load mutex
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
// A named POSIX semaphore, named after this process so that other processes
// never share it. The name is unlinked as soon as the semaphore exists: the
// handle stays usable within the process, and nothing is left in /dev/shm when
// the process ends, even when it is killed. The price: a sibling module of the
// same process that carries its own copy of this binding cannot find the
// semaphore by name afterwards and makes its own, so loading is serialised per
// module rather than per process. That is harmless here: the dynamic loader
// serialises dlopen itself and each module keeps its own handle and table.
// O_EXCL plus unlink-and-retry on EEXIST clears a name left by a killed
// process that had the same process identifier (killed in the instant between
// creating and unlinking), which could otherwise be a semaphore held forever.
sem_t* createLoadMutex() {
  char name[64];
  std::snprintf(name, sizeof name, "/Pelmora VISA Library %d", static_cast<int>(getpid()));
  for (int attempt = 0; attempt < 4; ++attempt) {
    sem_t* created = sem_open(name, O_CREAT | O_EXCL, 0600, 1U);
    if (created != SEM_FAILED) {
      sem_unlink(name);
      return created;
    }
    if (errno != EEXIST) return nullptr;
    sem_unlink(name);
  }
  return nullptr;
}

void lockLoadMutex(sem_t* mutex) {
  while (sem_wait(mutex) != 0 && errno == EINTR) {
  }
}

// The stored load mutex, created on first use; nullptr if it cannot be created.
sem_t* loadMutex() {
  sem_t* mutex = g_loadMutex.load(std::memory_order_acquire);
  if (mutex != nullptr) return mutex;
  sem_t* created = createLoadMutex();
  if (created == nullptr) return nullptr;
  if (g_loadMutex.compare_exchange_strong(mutex, created, std::memory_order_acq_rel)) return created;
  sem_close(created);  // another thread stored one meanwhile
  return mutex;
}

// ---- library search ---------------------------------------------------------
bool isPattern(const std::string& name) { return name.find_first_of("*?[") != std::string::npos; }

// Paths matching a pattern, highest version first.
std::vector<std::string> expandPattern(const std::string& pattern) {
  std::vector<std::string> paths;
  glob_t found{};
  if (glob(pattern.c_str(), 0, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
  }
  globfree(&found);
  std::sort(paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return strverscmp(a.c_str(), b.c_str()) > 0; });
  return paths;
}

// Why the loader refused a library, in the user's terms.
std::string loaderReason() {
  const char* error = dlerror();
  if (error == nullptr || std::strstr(error, "No such file or directory") != nullptr) return "not found";
  return error;
}

// The names to try: the user's choice in KAVREL_VISA_LIBRARY (a file name
// or a path) before the built-in list.
std::vector<std::string> searchList() {
  std::vector<std::string> names;
  if (const char* chosen = std::getenv("KAVREL_VISA_LIBRARY"); chosen != nullptr && *chosen != '\0')
    names.emplace_back(chosen);
  std::lock_guard lock(g_candidatesLock);
  names.insert(names.end(), candidateList().begin(), candidateList().end());
  return names;
}

// The first library the loader opens, and its name; every refusal on the way
// is appended to `report` as "name: reason; ".
void* openFirstCandidate(std::string& name, std::string& report) {
  for (const std::string& candidate : searchList()) {
    std::vector<std::string> names = isPattern(candidate) ? expandPattern(candidate) : std::vector{candidate};
    if (names.empty()) report += candidate + ": no file matches; ";
    for (const std::string& path : names) {
      if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        name = path;
        return handle;
      }
      report += path + ": " + loaderReason() + "; ";
    }
  }
  return nullptr;
}

// The file the loader opened for a library opened by name, as an absolute path.
std::string loadedPath(void* handle, const std::string& name) {
  link_map* map = nullptr;
  std::string path = name;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr && *map->l_name != '\0')
    path = map->l_name;
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    path = resolved;
    std::free(resolved);
  }
  return path;
}

template <typename Fn>
bool resolveEntry(void* handle, const char* name, Fn own, Fn& slot) {
  void* address = dlsym(handle, name);
  // Our own stub never counts: it would forward to itself.
  if (address == nullptr || address == reinterpret_cast<void*>(own)) return false;
  slot = reinterpret_cast<Fn>(address);
  return true;
}

// Resolve every entry point; the name of the first required one missing, or nullptr.
const char* resolveEntries(void* handle, EntryPoints& table) {
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
  sem_t* mutex = loadMutex();
  if (mutex == nullptr) return VI_ERROR_SYSTEM_ERROR;
  lockLoadMutex(mutex);
  ViStatus status = VI_SUCCESS;
  if (g_library == nullptr) {
    std::string name;
    std::string report;
    void* handle = openFirstCandidate(name, report);
    EntryPoints table;
    const char* missing = nullptr;
    if (handle == nullptr) {
      status = VI_ERROR_LIBRARY_NFOUND;
      setLoadReport(report.empty() ? "no VISA library to try" : report.substr(0, report.size() - 2));
    } else if ((missing = resolveEntries(handle, table)) != nullptr) {
      setLoadReport(report + loadedPath(handle, name) + ": lacks " + missing);
      dlclose(handle);
      status = VI_ERROR_SYSTEM_ERROR;
    } else {
      setLoadReport(loadedPath(handle, name));
      g_entries = table;
      g_library = handle;
      g_stopping.store(false);
      g_loadCount.fetch_add(1);
      g_loaded.store(true, std::memory_order_release);
    }
  }
  sem_post(mutex);
  return status;
}

void unloadVisaLibrary() {
  sem_t* mutex = g_loadMutex.load(std::memory_order_acquire);
  if (mutex == nullptr) return;  // never loaded
  lockLoadMutex(mutex);
  if (g_library != nullptr) {
    g_loaded.store(false, std::memory_order_release);
    dlclose(g_library);
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
  sem_post(mutex);
  sem_close(mutex);
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
std::vector<std::string> bindingDefaultCandidates() {
  return {"libvisa.so",
          "libivivisa.so.0",
          "libvisa.so.0",
          "libktvisa32.so",
          "libiovisa.so",
          "librsvisa.so",
          "/opt/keysight/iolibs/libktvisa32.so",
          "/usr/local/vxipnp/linux/lib64/libvisa.so",
          "/usr/local/vxipnp/linux/bin/libvisa.so.7",
          // a runtime installed without its development link has only versioned names
          "/usr/lib64/libvisa.so.*",
          "/usr/lib/*-linux-gnu/libvisa.so.*"};
}

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
