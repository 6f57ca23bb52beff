#include "driver/core/file_transfer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

#include "driver/core/status.h"
#include "visa_binding/visa_api.h"

namespace {

constexpr ViUInt32 kChunkSize = 100000;
// A message and its byte count must fit the ViInt32 count reported back.
constexpr std::uint64_t kMaxMessage = std::numeric_limits<ViInt32>::max();

using Bytes = std::unique_ptr<ViByte[]>;

Bytes allocate(std::size_t size) { return Bytes(new (std::nothrow) ViByte[size]); }

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

ViInt32 countOf(std::uint64_t bytes) { return static_cast<ViInt32>(bytes < kMaxMessage ? bytes : kMaxMessage); }

// Reads and drops the rest of a reply, a chunk at a time, until a read
// returns less than a full chunk or fails: the next query then reads its own
// reply, not the remains of this one.
void drainReply(ViSession vi, ViByte* chunk) {
  ViUInt32 received = 0;
  do {
    received = 0;
    if (viRead(vi, chunk, kChunkSize, &received) < VI_SUCCESS) return;
  } while (received >= kChunkSize);
}

// The prefix followed by every byte of the file, or VI_ERROR_INSTR_FILE_OPEN
// when the file cannot be read whole: nothing is ever sent half.
ViStatus loadMessage(std::FILE* file, std::string_view prefix, Bytes& message, ViUInt32& length) {
  // A directory opens for reading but yields no byte; its seek size is meaningless.
  if (std::fgetc(file) == EOF && std::ferror(file)) return VI_ERROR_INSTR_FILE_OPEN;
  if (std::fseek(file, 0, SEEK_END) != 0) return VI_ERROR_INSTR_FILE_OPEN;
  const long end = std::ftell(file);
  if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) return VI_ERROR_INSTR_FILE_OPEN;
  const auto size = static_cast<std::uint64_t>(end);
  if (prefix.size() > kMaxMessage || size > kMaxMessage - prefix.size()) return VI_ERROR_ALLOC;

  // Room for one byte beyond the measured size, so that a file that grew
  // since it was measured shows itself instead of being cut short.
  message = allocate(prefix.size() + static_cast<std::size_t>(size) + 1);
  if (!message) return VI_ERROR_ALLOC;
  std::memcpy(message.get(), prefix.data(), prefix.size());
  const std::size_t read = std::fread(message.get() + prefix.size(), 1, static_cast<std::size_t>(size) + 1, file);
  if (std::ferror(file) || read != size) return VI_ERROR_INSTR_FILE_OPEN;
  length = static_cast<ViUInt32>(prefix.size() + size);
  return VI_SUCCESS;
}

}  // namespace

ViStatus kavrel_readToFileBin(ViSession vi, ViConstString fileName, ViPInt32 byteCount) {
  if (byteCount != VI_NULL) *byteCount = 0;
  // The chunk comes first: a failed allocation leaves an existing file as it was.
  Bytes chunk = allocate(kChunkSize);
  if (!chunk) return VI_ERROR_ALLOC;
  std::FILE* file = fileName != VI_NULL ? std::fopen(fileName, "wb") : nullptr;
  if (file == nullptr) {
    drainReply(vi, chunk.get());
    return VI_ERROR_INSTR_FILE_OPEN;
  }

  std::uint64_t total = 0;
  ViUInt32 received = 0;
  ViStatus status = VI_SUCCESS;
  do {
    received = 0;
    status = viRead(vi, chunk.get(), kChunkSize, &received);
    if (status < VI_SUCCESS) {
      std::fclose(file);
      return status;
    }
    if (received > kChunkSize) received = kChunkSize;
    if (std::fwrite(chunk.get(), 1, received, file) != received) {
      std::fclose(file);
      if (received == kChunkSize) drainReply(vi, chunk.get());
      return VI_ERROR_INSTR_FILE_WRITE;
    }
    total += received;
  } while (received == kChunkSize);

  // Buffered bytes reach the file only here: a full disk may show itself now.
  if (std::fclose(file) != 0) return VI_ERROR_INSTR_FILE_WRITE;
  if (byteCount != VI_NULL) *byteCount = countOf(total);
  return status;
}

ViStatus kavrel_writeFromFile(ViSession vi, ViConstString prefix, ViConstString fileName, ViPInt32 byteCount) {
  if (byteCount != VI_NULL) *byteCount = 0;
  if (fileName == VI_NULL) return VI_ERROR_INSTR_FILE_OPEN;
  InputFile file(std::fopen(fileName, "rb"));
  if (!file) return VI_ERROR_INSTR_FILE_OPEN;

  Bytes message;
  ViUInt32 length = 0;
  KAVREL_RETURN_IF_ERROR(loadMessage(file.get(), prefix != VI_NULL ? prefix : "", message, length));
  file.reset();

  ViUInt32 written = 0;
  ViStatus status = viWrite(vi, message.get(), length, &written);
  KAVREL_RETURN_IF_ERROR(status);
  if (byteCount != VI_NULL) *byteCount = countOf(written);
  return status;
}
