#include "driver/core/file_transfer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

#include "driver/core/framing.h"
#include "driver/core/host_file.h"
#include "driver/core/status.h"
#include "visa_binding/visa_api.h"

namespace {

constexpr ViUInt32 kChunkSize = 100000;
// A message and its byte count must fit the ViInt32 count reported back.
constexpr std::uint64_t kMaxMessage = std::numeric_limits<ViInt32>::max();

using Bytes = std::unique_ptr<ViByte[]>;

Bytes allocate(std::size_t size) { return Bytes(new (std::nothrow) ViByte[size]); }

using namespace kavrel;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, FileCloser>;

ViInt32 countOf(std::uint64_t bytes) { return static_cast<ViInt32>(bytes < kMaxMessage ? bytes : kMaxMessage); }

// One reply read a chunk at a time up to its end. With END, the reply ends
// at the first read VISA does not report as filling the chunk with more to
// come (VI_SUCCESS_MAX_CNT), so a reply of exactly a chunk ends there too.
// Without END it ends at a line feed outside the definite-length block
// ("#<n><len>") it may begin with: the block is read by its length.
class ReplyReader {
 public:
  ReplyReader(ViSession vi, ViByte* chunk) : vi_(vi), chunk_(chunk), lineFeed_(framingOf(vi) == Framing::lineFeed) {}

  // The next piece into the chunk: its status, the bytes received, and
  // whether the reply is now whole.
  ViStatus next(ViUInt32& received, bool& done) {
    received = 0;
    done = false;
    ViStatus status = viRead(vi_, chunk_, kChunkSize, &received);
    if (status < VI_SUCCESS) {
      received = 0;
      return status;
    }
    if (received > kChunkSize) received = kChunkSize;
    total_ += received;
    if (!lineFeed_) {
      done = status != VI_SUCCESS_MAX_CNT;
      return status;
    }
    learnHead(received);
    done = received == 0 || (chunk_[received - 1] == '\n' && headKnown_ && total_ > blockEnd_);
    return done ? VI_SUCCESS : status;
  }

  // Reads and drops the rest, so the next query reads its own reply.
  void drain() {
    ViUInt32 received = 0;
    bool done = false;
    while (next(received, done) >= VI_SUCCESS && !done) {
    }
  }

  std::uint64_t total() const { return total_; }

 private:
  // The first bytes of the reply, until it is known whether and where a
  // definite-length block ends.
  void learnHead(ViUInt32 received) {
    for (ViUInt32 i = 0; i < received && !headKnown_; ++i) {
      head_[headSize_++] = static_cast<char>(chunk_[i]);
      if (head_[0] != '#' || (headSize_ == 2 && (head_[1] < '1' || head_[1] > '9'))) {
        headKnown_ = true;  // no definite-length block: the first line feed ends the reply
      } else if (headSize_ > 2) {
        const char digit = head_[headSize_ - 1];
        if (digit < '0' || digit > '9') {
          headKnown_ = true;
        } else {
          blockLength_ = blockLength_ * 10 + static_cast<std::uint64_t>(digit - '0');
          if (headSize_ == static_cast<std::size_t>(2 + (head_[1] - '0'))) {
            blockEnd_ = headSize_ + blockLength_;
            headKnown_ = true;
          }
        }
      }
    }
  }

  const ViSession vi_;
  ViByte* const chunk_;
  const bool lineFeed_;
  std::uint64_t total_ = 0;
  char head_[11] = {};  // "#", the digit count, at most nine length digits
  std::size_t headSize_ = 0;
  bool headKnown_ = false;
  std::uint64_t blockLength_ = 0;
  std::uint64_t blockEnd_ = 0;  // offset just past the block's data
};

// The prefix, every byte of the file and the ending (a line feed where
// messages carry no END, else nothing), or VI_ERROR_INSTR_FILE_OPEN when the
// file cannot be read whole: nothing is ever sent half.
ViStatus loadMessage(std::FILE* file, std::string_view prefix, std::string_view ending, Bytes& message,
                     ViUInt32& length) {
  // A directory opens for reading but yields no byte; its seek size is meaningless.
  if (std::fgetc(file) == EOF && std::ferror(file)) return VI_ERROR_INSTR_FILE_OPEN;
  if (std::fseek(file, 0, SEEK_END) != 0) return VI_ERROR_INSTR_FILE_OPEN;
  const long end = std::ftell(file);
  if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) return VI_ERROR_INSTR_FILE_OPEN;
  const auto size = static_cast<std::uint64_t>(end);
  const std::uint64_t frame = prefix.size() + ending.size();
  if (frame > kMaxMessage || size > kMaxMessage - frame) return VI_ERROR_ALLOC;

  // Room for one byte beyond the measured size (the ending is at most one),
  // so that a file that grew since it was measured shows itself instead of
  // being cut short.
  message = allocate(prefix.size() + static_cast<std::size_t>(size) + std::max<std::size_t>(ending.size(), 1));
  if (!message) return VI_ERROR_ALLOC;
  std::memcpy(message.get(), prefix.data(), prefix.size());
  const std::size_t read = std::fread(message.get() + prefix.size(), 1, static_cast<std::size_t>(size) + 1, file);
  if (std::ferror(file) || read != size) return VI_ERROR_INSTR_FILE_OPEN;
  std::memcpy(message.get() + prefix.size() + size, ending.data(), ending.size());
  length = static_cast<ViUInt32>(frame + size);
  return VI_SUCCESS;
}

}  // namespace

ViStatus kavrel_readToFileBin(ViSession vi, ViConstString fileName, ViPInt32 byteCount) {
  if (byteCount != VI_NULL) *byteCount = 0;
  // The chunk comes first: a failed allocation leaves an existing file as it was.
  Bytes chunk = allocate(kChunkSize);
  if (!chunk) return VI_ERROR_ALLOC;
  ReplyReader reply(vi, chunk.get());
  HostFile file;
  if (ViStatus opened = file.open(fileName); opened < VI_SUCCESS) {
    reply.drain();
    return opened;
  }

  ViStatus status = VI_SUCCESS;
  ViUInt32 received = 0;
  bool done = false;
  do {
    status = reply.next(received, done);
    KAVREL_RETURN_IF_ERROR(status);  // the file is abandoned, the target left as it was
    if (!file.write(chunk.get(), received)) {
      if (!done) reply.drain();
      return VI_ERROR_INSTR_FILE_WRITE;
    }
  } while (!done);

  if (!file.commit()) return VI_ERROR_INSTR_FILE_WRITE;
  if (byteCount != VI_NULL) *byteCount = countOf(reply.total());
  return status;
}

ViStatus kavrel_writeFromFile(ViSession vi, ViConstString prefix, ViConstString fileName, ViPInt32 byteCount) {
  if (byteCount != VI_NULL) *byteCount = 0;
  if (fileName == VI_NULL) return VI_ERROR_INSTR_FILE_OPEN;
  InputFile file(std::fopen(fileName, "rb"));
  if (!file) return VI_ERROR_INSTR_FILE_OPEN;

  Bytes message;
  ViUInt32 length = 0;
  const std::string_view ending = framingOf(vi) == Framing::lineFeed ? "\n" : "";
  KAVREL_RETURN_IF_ERROR(loadMessage(file.get(), prefix != VI_NULL ? prefix : "", ending, message, length));
  file.reset();

  ViUInt32 written = 0;
  ViStatus status = viWrite(vi, message.get(), length, &written);
  KAVREL_RETURN_IF_ERROR(status);
  if (byteCount != VI_NULL) *byteCount = countOf(written);
  return status;
}
