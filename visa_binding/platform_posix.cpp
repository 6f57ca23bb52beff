// The binding's operating-system services on POSIX hosts: a named semaphore
// as the load mutex, dlopen and glob.
#if !defined(_WIN32)
#include "visa_binding/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <glob.h>
#include <link.h>
#include <semaphore.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kavrel::binding {

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
LoadMutex createLoadMutex() {
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

void lockLoadMutex(LoadMutex mutex) {
  while (sem_wait(static_cast<sem_t*>(mutex)) != 0 && errno == EINTR) {
  }
}

void unlockLoadMutex(LoadMutex mutex) { sem_post(static_cast<sem_t*>(mutex)); }

void closeLoadMutex(LoadMutex mutex) { sem_close(static_cast<sem_t*>(mutex)); }

// ---- library search ---------------------------------------------------------
std::vector<std::string> platformCandidates() {
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

std::vector<std::string> expandCandidate(const std::string& candidate) {
  if (candidate.find_first_of("*?[") == std::string::npos) return {candidate};
  std::vector<std::string> paths;
  glob_t found{};
  if (glob(candidate.c_str(), 0, nullptr, &found) == 0) {
    for (std::size_t i = 0; i < found.gl_pathc; ++i) paths.emplace_back(found.gl_pathv[i]);
  }
  globfree(&found);
  std::sort(paths.begin(), paths.end(),
            [](const std::string& a, const std::string& b) { return strverscmp(a.c_str(), b.c_str()) > 0; });
  return paths;
}

Library openLibrary(const std::string& name, std::string& reason) {
  if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
  const char* error = dlerror();
  reason = error == nullptr || std::strstr(error, "No such file or directory") != nullptr ? "not found" : error;
  return nullptr;
}

void* librarySymbol(Library library, const char* name) { return dlsym(library, name); }

void closeLibrary(Library library) { dlclose(library); }

std::string libraryPath(Library library, const std::string& name) {
  link_map* map = nullptr;
  std::string path = name;
  if (dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr && *map->l_name != '\0')
    path = map->l_name;
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    path = resolved;
    std::free(resolved);
  }
  return path;
}

std::string environmentText(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace kavrel::binding
#endif
