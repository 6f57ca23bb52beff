#include "tools/kavrel/platform.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>

namespace kavrel::cli::platform {

const char* const kStandinLibrary = "visa32.dll";

std::tm utc(std::time_t time) {
  std::tm parts{};
  gmtime_s(&parts, &time);
  return parts;
}

void setEnvironment(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)); }

// A console may not take terminal escape sequences: the line is overwritten with blanks.
void clearLine(std::FILE* terminal) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(terminal)));
  const int width = GetConsoleScreenBufferInfo(console, &info) ? info.dwSize.X - 1 : 79;
  std::fprintf(terminal, "\r%*s\r", width > 0 ? width : 0, "");
}

std::string homeFolder() {
  const char* home = std::getenv("USERPROFILE");
  return home ? home : "";
}

std::string programPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

namespace {

// One argument as the C run-time of the started program splits it again.
std::string quoted(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  return out + "\"";
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& a : arguments) line += (line.empty() ? "" : " ") + quoted(a);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 127;
  DWORD status = 0;
  const bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended ? static_cast<int>(status) : -1;
}

bool programOnPath(const std::string& name) {
  char found[MAX_PATH];
  return SearchPathA(nullptr, name.c_str(), ".exe", MAX_PATH, found, nullptr) != 0;
}

bool folderWritable(const std::string& folder) { return _access(folder.c_str(), 2) == 0; }

int createUnique(std::string& pattern, unsigned) { return mkstemp(pattern.data()); }

int openTruncated(const std::string& path) {
  return _open(path.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY | _O_NOINHERIT);
}

bool flushToDisk(int fd) { return _commit(fd) == 0; }

bool replaceWith(const std::string& from, const std::string& to) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  errno = GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_SHARING_VIOLATION ? EACCES : EIO;
  return false;
}

std::vector<void*> loadedVisaEntries(std::span<const char* const> names) {
  HMODULE modules[1024];
  DWORD bytes = 0;
  if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return {};
  const std::size_t count = std::min<std::size_t>(bytes / sizeof(HMODULE), std::size(modules));
  for (std::size_t i = 0; i < count; ++i) {
    std::vector<void*> entries;
    for (const char* name : names) {
      FARPROC entry = GetProcAddress(modules[i], name);
      if (entry == nullptr) break;
      entries.push_back(reinterpret_cast<void*>(entry));
    }
    if (entries.size() == names.size()) return entries;
  }
  return {};
}

// A named pipe of this process's own, which the stand-in opens by its name as it would a file.
bool traceChannel(std::string& name, int& readFd) {
  name = "\\\\.\\pipe\\kavrel-trace-" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 1 << 16, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return false;
  readFd = _open_osfhandle(reinterpret_cast<intptr_t>(pipe), _O_RDONLY | _O_BINARY);
  if (readFd < 0) CloseHandle(pipe);
  return readFd >= 0;
}

// A pipe cannot be waited on with a time-out: it is looked at in short slices.
long readWithin(int readFd, char* buffer, std::size_t size, int timeoutMs) {
  constexpr int kSliceMs = 10;
  const HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(readFd));
  for (int waited = 0;; waited += kSliceMs) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) return 0;  // the writer is gone
    } else if (available > 0) {
      DWORD got = 0;
      if (!ReadFile(pipe, buffer, static_cast<DWORD>(std::min<std::size_t>(size, available)), &got, nullptr)) return -1;
      return static_cast<long>(got);
    }
    if (waited >= timeoutMs) return -2;
    Sleep(kSliceMs);
  }
}

void closeChannel(int readFd) { _close(readFd); }

}  // namespace kavrel::cli::platform
