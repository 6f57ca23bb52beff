// The Windows side of host files: the bytes go to a temporary file in the
// target's folder, which is flushed to the disk and then moved over the
// target in one step. Paths are UTF-8 and reach Windows as UTF-16, so any
// file name the user's folders hold can be written.
#if defined(_WIN32)
#include "driver/core/host_file.h"

#include <windows.h>

#include <atomic>
#include <new>

namespace kavrel {
namespace {

std::wstring widen(const char* text) {
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (length <= 0) return {};  // not UTF-8: no file by that name
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length);
  wide.resize(static_cast<std::size_t>(length - 1));
  return wide;
}

// The file a link or junction ends at, when the target exists as one.
std::wstring finalPath(HANDLE existing, const std::wstring& fallback) {
  std::wstring path(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = GetFinalPathNameByHandleW(existing, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0) return fallback;
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
  return fallback;
}

// A new file of a name no other file has, "<folder>\.<name>.<pid>-<serial>".
HANDLE createBeside(const std::wstring& target, std::wstring& name) {
  static std::atomic<unsigned> serial{0};
  const std::size_t slash = target.find_last_of(L"\\/");
  const std::size_t base = slash == std::wstring::npos ? 0 : slash + 1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target.substr(0, base) + L"." + target.substr(base) + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(serial.fetch_add(1, std::memory_order_relaxed));
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

std::FILE* openHostFileForReading(const char* path) {
  if (path == nullptr) return nullptr;
  const std::wstring wide = widen(path);
  return wide.empty() ? nullptr : _wfopen(wide.c_str(), L"rb");
}

HostFile::~HostFile() { abandon(); }

ViStatus HostFile::open(const char* target) {
  abandon();
  try {
    if (target == nullptr || *target == '\0') return VI_ERROR_INSTR_FILE_OPEN;
    std::wstring path = widen(target);
    if (path.empty()) return VI_ERROR_INSTR_FILE_OPEN;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      // A file the user may not write stays as it is; so does a folder.
      if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return VI_ERROR_INSTR_FILE_OPEN;
      HANDLE existing = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (existing == INVALID_HANDLE_VALUE) return VI_ERROR_INSTR_FILE_OPEN;
      const bool onDisk = GetFileType(existing) == FILE_TYPE_DISK;
      if (onDisk) path = finalPath(existing, path);
      CloseHandle(existing);
      if (!onDisk) {  // a device (a serial port, NUL) cannot be replaced: written directly
        HANDLE device = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE) return VI_ERROR_INSTR_FILE_OPEN;
        handle_ = device;
        return VI_SUCCESS;
      }
    }
    std::wstring name;
    HANDLE file = createBeside(path, name);
    if (file == INVALID_HANDLE_VALUE) return VI_ERROR_INSTR_FILE_OPEN;
    handle_ = file;
    target_ = std::move(path);
    temporary_ = std::move(name);
    return VI_SUCCESS;
  } catch (const std::bad_alloc&) {
    abandon();
    return VI_ERROR_ALLOC;
  }
}

bool HostFile::write(const void* bytes, std::size_t size) {
  if (handle_ == nullptr) return false;
  const char* next = static_cast<const char*>(bytes);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000U ? 0x40000000U : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle_, next, chunk, &written, nullptr) || written == 0) return false;
    next += written;
    size -= written;
  }
  return true;
}

bool HostFile::commit() {
  if (handle_ == nullptr) return false;
  if (temporary_.empty()) {  // written directly: only the close can still fail
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = nullptr;
    return closed;
  }
  const bool flushed = FlushFileBuffers(handle_) != 0;
  const bool closed = CloseHandle(handle_) != 0;
  handle_ = nullptr;
  if (!flushed || !closed ||
      !MoveFileExW(temporary_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    abandon();
    return false;
  }
  temporary_.clear();
  return true;
}

void HostFile::abandon() {
  if (handle_ != nullptr) CloseHandle(handle_);
  handle_ = nullptr;
  if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
  temporary_.clear();
}

}  // namespace kavrel
#endif
