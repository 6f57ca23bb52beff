// The binding's operating-system services on Windows: a named mutex shared by
// every module of the process, LoadLibrary through the normal DLL search.
#if defined(_WIN32)
#include "visa_binding/platform.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace kavrel::binding {
namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string narrow(const wchar_t* text, int length) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

// Why LoadLibrary refused a file, in the user's terms.
std::string loaderReason(DWORD error) {
  switch (error) {
    case ERROR_MOD_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "not found";
    case ERROR_BAD_EXE_FORMAT:
      return "not a DLL for this process (32-bit and 64-bit do not mix)";
    default: {
      char text[64];
      std::snprintf(text, sizeof text, "cannot be loaded (Windows error %lu)", static_cast<unsigned long>(error));
      return text;
    }
  }
}

}  // namespace

// ---- load mutex -----------------------------------------------------------
// Named after the process: every module of this process that carries the
// binding opens the same mutex; other processes have their own.
LoadMutex createLoadMutex() {
  char name[64];
  std::snprintf(name, sizeof name, "Pelmora VISA Library %lu", static_cast<unsigned long>(GetCurrentProcessId()));
  return CreateMutexA(nullptr, FALSE, name);
}

void lockLoadMutex(LoadMutex mutex) {
  // WAIT_ABANDONED: a thread ended holding it; the mutex is ours all the same.
  WaitForSingleObject(mutex, INFINITE);
}

void unlockLoadMutex(LoadMutex mutex) { ReleaseMutex(mutex); }

void closeLoadMutex(LoadMutex mutex) { CloseHandle(mutex); }

// ---- library search ---------------------------------------------------------
std::vector<std::string> platformCandidates() { return {"visa32.dll"}; }

std::vector<std::string> expandCandidate(const std::string& candidate) { return {candidate}; }

Library openLibrary(const std::string& name, std::string& reason) {
  // A missing dependency is reported here, not in a dialog box on the bench PC.
  DWORD previousMode = 0;
  const BOOL modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
  // The loader takes a path only with backslashes; users often write forward ones.
  std::wstring path = widen(name);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  HMODULE module = LoadLibraryW(path.c_str());
  const DWORD error = GetLastError();
  if (modeSet) SetThreadErrorMode(previousMode, nullptr);
  if (module == nullptr) reason = loaderReason(error);
  return module;
}

void* librarySymbol(Library library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(Library library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string libraryPath(Library library, const std::string& name) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(library), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return name;
    if (length < path.size()) return narrow(path.data(), static_cast<int>(length));
    if (path.size() >= 32768) return name;
    path.resize(path.size() * 2);
  }
}

std::string environmentText(const char* name) {
  const std::wstring wideName = widen(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  if (length == 0 || length >= size) return {};
  return narrow(value.data(), static_cast<int>(length));
}

}  // namespace kavrel::binding
#endif
