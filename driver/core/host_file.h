// A host file written so that nothing is ever lost: the bytes go to a
// temporary file beside the target, which replaces the target only once it
// is complete, flushed, synced and closed. A failure on the way removes the
// temporary and leaves an existing target byte for byte as it was. A target
// that is a symbolic link stays a link (the file it points to is replaced);
// a target that is not a regular file (a FIFO, a character device) cannot be
// replaced and is written directly.
#ifndef KAVREL_CORE_HOST_FILE_H
#define KAVREL_CORE_HOST_FILE_H

#include <cstddef>
#include <string>

#include "driver/kavrel.h"

namespace kavrel {

class HostFile {
 public:
  HostFile() = default;
  ~HostFile();  // an uncommitted file is abandoned
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  // VI_ERROR_INSTR_FILE_OPEN when the file cannot be created (no such
  // folder, no permission, a folder as target), VI_ERROR_ALLOC without memory.
  ViStatus open(const char* target);
  // False when the file did not take every byte.
  bool write(const void* bytes, std::size_t size);
  // Puts the file in place; false (and the target untouched) when that failed.
  bool commit();
  // Removes what was written; the target stays as it was.
  void abandon();

 private:
  int fd_ = -1;
  std::string target_;     // the file that is replaced: the end of any chain of links
  std::string temporary_;  // empty when writing the target directly
};

}  // namespace kavrel

#endif
