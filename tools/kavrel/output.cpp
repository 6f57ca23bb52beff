#include "tools/kavrel/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace kavrel::cli {

namespace {

namespace fs = std::filesystem;

std::string reason(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// The file a write to `path` lands in: the end of a chain of symbolic links.
std::string landingPath(const std::string& path) {
  std::error_code ec;
  fs::path current = path;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(current, ec)); ++hops) {
    fs::path next = fs::read_symlink(current, ec);
    if (ec) break;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return current.string();
}

std::string folderOf(const std::string& path) {
  fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// The permissions a new file gets from the process's umask.
mode_t newFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

std::string checkWritable(const std::string& path) {
  if (path.empty()) return "the file name is empty";
  const std::string target = landingPath(path);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return path + " is a folder";
    if (!S_ISREG(st.st_mode)) return ::access(target.c_str(), W_OK) == 0 ? "" : reason("cannot write", path, errno);
  }
  const std::string folder = folderOf(target);
  if (::stat(folder.c_str(), &st) != 0) return reason("cannot write", path, errno);
  if (!S_ISDIR(st.st_mode)) return reason("cannot write", path, ENOTDIR);
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return reason("cannot write", path, errno);
  return {};
}

std::string checkReadable(const std::string& path) {
  if (path.empty()) return "the file name is empty";
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return reason("cannot read", path, errno);
  if (S_ISDIR(st.st_mode)) return path + " is a folder, not a file";
  if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
  if (st.st_size == 0) return path + " is empty";
  if (::access(path.c_str(), R_OK) != 0) return reason("cannot read", path, errno);
  return {};
}

std::string replaceFile(const std::string& path, const std::function<std::string(const std::string&)>& produce) {
  if (path.empty()) return "the file name is empty";
  const std::string target = landingPath(path);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return path + " is a folder";
  if (exists && !S_ISREG(st.st_mode)) return produce(target);  // a FIFO or device takes the bytes as they come

  std::string temporary = (fs::path(folderOf(target)) / ("." + fs::path(target).filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return reason("cannot write", path, errno);
  ::fchmod(fd, exists ? (st.st_mode & 07777) : newFileMode());
  ::close(fd);
  std::string error = produce(temporary);
  if (error.empty() && ::rename(temporary.c_str(), target.c_str()) != 0) error = reason("cannot write", path, errno);
  if (!error.empty()) ::unlink(temporary.c_str());
  return error;
}

std::string writeFileSafely(const std::string& path, std::string_view contents) {
  return replaceFile(path, [&](const std::string& file) -> std::string {
    int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) return reason("cannot write", path, errno);
    bool ok = writeAll(fd, contents);
    int error = errno;
    // Data on disk before the rename makes it the file's new contents.
    if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) ok = false, error = errno;
    if (::close(fd) != 0 && ok) ok = false, error = errno;
    return ok ? std::string() : reason("cannot write", path, error);
  });
}

bool readWholeFile(const std::string& path, std::string& contents, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = reason("cannot read", path, errno);
    return false;
  }
  contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

}  // namespace kavrel::cli
