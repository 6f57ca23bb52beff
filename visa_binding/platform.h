/* What the run-time VISA binding needs of the operating system: the named
 * load mutex, the library loader and the environment. One implementation per
 * platform (platform_posix.cpp, platform_windows.cpp); internal to the driver. */
#ifndef KAVREL_BINDING_PLATFORM_H
#define KAVREL_BINDING_PLATFORM_H

#include <string>
#include <vector>

#pragma GCC visibility push(hidden)

namespace kavrel::binding {

/* A named system mutex, one per process: "Pelmora VISA Library <process id>". */
using LoadMutex = void*;
/* The process's load mutex, created (not owned) or opened; nullptr if that fails. */
LoadMutex createLoadMutex();
void lockLoadMutex(LoadMutex mutex);
void unlockLoadMutex(LoadMutex mutex);
void closeLoadMutex(LoadMutex mutex);

using Library = void*;
/* The built-in list of VISA library names and patterns, tried in order. */
std::vector<std::string> platformCandidates();
/* A pattern's matching paths, highest version first (none when nothing matches);
 * any other name or path as it is. */
std::vector<std::string> expandCandidate(const std::string& candidate);
/* Load a library by name (the platform's normal search) or by path (UTF-8);
 * nullptr and the loader's reason in the user's terms when it cannot. */
Library openLibrary(const std::string& name, std::string& reason);
void* librarySymbol(Library library, const char* name);
void closeLibrary(Library library);
/* The absolute path of the file the loader opened for `name` (UTF-8). */
std::string libraryPath(Library library, const std::string& name);
/* An environment variable as UTF-8; empty when unset. */
std::string environmentText(const char* name);

}  // namespace kavrel::binding

#pragma GCC visibility pop

#endif
