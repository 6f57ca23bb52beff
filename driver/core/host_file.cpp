#include "driver/core/host_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavrel {
namespace {

constexpr int kMaxLinks = 40;  // as the system's own limit on a chain of links

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path a chain of symbolic links ends at (which need not exist yet);
// false for a chain that loops or cannot be read.
bool followLinks(std::string path, std::string& out) {
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      out = std::move(path);
      return true;
    }
    std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : PATH_MAX) + 1, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    if (length < 0 || static_cast<std::size_t>(length) >= link.size()) return false;
    link.resize(static_cast<std::size_t>(length));
    path = !link.empty() && link.front() == '/' ? link : folderOf(path) + "/" + link;
  }
  return false;
}

// A new file of a name no other file has, "<folder>/.<name>.<suffix>", with
// the permissions any new file gets (0666 less the umask).
int createBeside(const std::string& target, std::string& name) {
  static std::atomic<unsigned> serial{0};
  const std::size_t slash = target.rfind('/');
  const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target.substr(0, base) + "." + target.substr(base) + "." + std::to_string(::getpid()) + "-" +
           std::to_string(serial.fetch_add(1, std::memory_order_relaxed));
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool writeAll(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

HostFile::~HostFile() { abandon(); }

ViStatus HostFile::open(const char* target) {
  abandon();
  try {
    if (target == nullptr || *target == '\0' || !followLinks(target, target_)) return VI_ERROR_INSTR_FILE_OPEN;
    struct stat info {};
    const bool exists = ::stat(target_.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
      if (S_ISDIR(info.st_mode)) return VI_ERROR_INSTR_FILE_OPEN;
      fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      return fd_ >= 0 ? VI_SUCCESS : VI_ERROR_INSTR_FILE_OPEN;
    }
    // A file the user may not write stays as it is, though its folder would let it be replaced.
    if (exists && ::access(target_.c_str(), W_OK) != 0) return VI_ERROR_INSTR_FILE_OPEN;
    std::string name;
    fd_ = createBeside(target_, name);
    if (fd_ < 0) return VI_ERROR_INSTR_FILE_OPEN;
    temporary_ = std::move(name);
    if (exists) {
      // The replacement keeps the permissions of the file it replaces, and
      // its owner where the process may give it away.
      [[maybe_unused]] const int owned = ::fchown(fd_, info.st_uid, info.st_gid);
      if (::fchmod(fd_, info.st_mode & 0777) != 0) {
        abandon();
        return VI_ERROR_INSTR_FILE_OPEN;
      }
    }
    return VI_SUCCESS;
  } catch (const std::bad_alloc&) {
    abandon();
    return VI_ERROR_ALLOC;
  }
}

bool HostFile::write(const void* bytes, std::size_t size) {
  return fd_ >= 0 && writeAll(fd_, static_cast<const char*>(bytes), size);
}

bool HostFile::commit() {
  if (fd_ < 0) return false;
  if (temporary_.empty()) {  // written directly: only the close can still fail
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return closed;
  }
  const bool synced = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced || !closed || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
    abandon();
    return false;
  }
  temporary_.clear();
  return true;
}

void HostFile::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace kavrel
