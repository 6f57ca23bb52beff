#include "tools/kavrel/platform.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace kavrel::cli::platform {

const char* const kStandinLibrary = "libvisa.so";

std::tm utc(std::time_t time) {
  std::tm parts{};
  gmtime_r(&time, &parts);
  return parts;
}

void setEnvironment(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)); }

void clearLine(std::FILE* terminal) { std::fputs("\r\033[K", terminal); }

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

std::string programPath() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : self.string();
}

int runProgram(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = fork();
  if (child < 0) return 127;
  if (child == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) < 0 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool programOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "/usr/bin:/bin";
  while (true) {
    std::string_view dir = dirs.substr(0, dirs.find(':'));
    std::string candidate = (dir.empty() ? std::string(".") : std::string(dir)) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    if (dir.size() == dirs.size()) return false;
    dirs.remove_prefix(dir.size() + 1);
  }
}

bool folderWritable(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

int createUnique(std::string& pattern, unsigned mode) {
  int fd = ::mkstemp(pattern.data());
  if (fd >= 0) ::fchmod(fd, static_cast<mode_t>(mode));
  return fd;
}

int openTruncated(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC); }

// File systems that cannot sync (EINVAL, EROFS) have nothing to lose by it.
bool flushToDisk(int fd) { return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS; }

bool replaceWith(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

namespace {

struct Search {
  std::span<const char* const> names;
  std::vector<void*> entries;
};

// The loaded object that provides every name. The driver's own binding keeps
// its entry points private, so only the VISA library has them.
int provides(dl_phdr_info* info, std::size_t, void* data) {
  auto* search = static_cast<Search*>(data);
  if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
  void* handle = dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return 0;
  std::vector<void*> entries;
  for (const char* name : search->names) {
    void* entry = dlsym(handle, name);
    if (entry == nullptr) {
      dlclose(handle);
      return 0;
    }
    entries.push_back(entry);
  }
  search->entries = std::move(entries);
  return 1;  // the handle stays open for the life of the program
}

}  // namespace

std::vector<void*> loadedVisaEntries(std::span<const char* const> names) {
  Search search{names, {}};
  dl_iterate_phdr(provides, &search);
  return search.entries;
}

bool traceChannel(std::string& name, int& readFd) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  readFd = ends[0];
  name = "/proc/self/fd/" + std::to_string(ends[1]);
  return true;
}

long readWithin(int readFd, char* buffer, std::size_t size, int timeoutMs) {
  pollfd p{readFd, POLLIN, 0};
  const int ready = ::poll(&p, 1, timeoutMs);
  if (ready == 0) return -2;
  if (ready < 0) return errno == EINTR ? -2 : -1;
  return ::read(readFd, buffer, size);
}

void closeChannel(int readFd) { ::close(readFd); }

}  // namespace kavrel::cli::platform
