#include "testbed/hislip/hislip.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kavrel::hislip {

namespace {

constexpr std::array<std::string_view, kLastGeneralType + 1> kTypeNames = {
    "Initialize",
    "InitializeResponse",
    "FatalError",
    "Error",
    "AsyncLock",
    "AsyncLockResponse",
    "Data",
    "DataEnd",
    "DeviceClearComplete",
    "DeviceClearAcknowledge",
    "AsyncRemoteLocalControl",
    "AsyncRemoteLocalResponse",
    "Trigger",
    "Interrupted",
    "AsyncInterrupted",
    "AsyncMaximumMessageSize",
    "AsyncMaximumMessageSizeResponse",
    "AsyncInitialize",
    "AsyncInitializeResponse",
    "AsyncDeviceClear",
    "AsyncServiceRequest",
    "AsyncStatusQuery",
    "AsyncStatusResponse",
    "AsyncDeviceClearAcknowledge",
    "AsyncLockInfo",
    "AsyncLockInfoResponse",
};

void putBigEndian(std::uint8_t* out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out[i] = static_cast<std::uint8_t>(value & 0xFF);
    value >>= 8;
  }
}

std::uint64_t getBigEndian(const std::uint8_t* in, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | in[i];
  return value;
}

// Wait until fd is readable. 1 readable, 0 time-out, -1 error.
int waitReadable(sock::Handle fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    int rc = sock::poll(&p, 1, timeoutMs);
    if (sock::interruptedCall(rc)) continue;
    if (rc < 0) return -1;
    return rc == 0 ? 0 : 1;
  }
}

enum class Fill { ok, closed, timeout, error };

// Read exactly size bytes.
Fill readExactly(sock::Handle fd, char* out, std::size_t size, int timeoutMs) {
  std::size_t done = 0;
  while (done < size) {
    if (timeoutMs >= 0) {
      int w = waitReadable(fd, timeoutMs);
      if (w == 0) return Fill::timeout;
      if (w < 0) return Fill::error;
    }
    long n = sock::receive(fd, out + done, size - done);
    if (sock::interruptedCall(n)) continue;
    if (n < 0) return Fill::error;
    if (n == 0) return Fill::closed;
    done += static_cast<std::size_t>(n);
  }
  return Fill::ok;
}

}  // namespace

void headerEncode(const Header& header, std::span<std::uint8_t, kHeaderSize> out) {
  out[0] = 'H';
  out[1] = 'S';
  out[2] = header.type;
  out[3] = header.control;
  putBigEndian(out.data() + 4, header.parameter, 4);
  putBigEndian(out.data() + 8, header.length, 8);
}

std::optional<Header> headerDecode(std::span<const std::uint8_t, kHeaderSize> in) {
  if (in[0] != 'H' || in[1] != 'S') return std::nullopt;
  Header h;
  h.type = in[2];
  h.control = in[3];
  h.parameter = static_cast<std::uint32_t>(getBigEndian(in.data() + 4, 4));
  h.length = getBigEndian(in.data() + 8, 8);
  return h;
}

std::string messageEncode(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                          std::string_view payload) {
  std::string out(kHeaderSize + payload.size(), '\0');
  Header h{type, control, parameter, payload.size()};
  headerEncode(h, std::span<std::uint8_t, kHeaderSize>(reinterpret_cast<std::uint8_t*>(out.data()), kHeaderSize));
  if (!payload.empty()) std::memcpy(out.data() + kHeaderSize, payload.data(), payload.size());
  return out;
}

std::string messageEncode(Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload) {
  return messageEncode(static_cast<std::uint8_t>(type), control, parameter, payload);
}

std::string sizePayloadEncode(std::uint64_t size) {
  std::string out(8, '\0');
  putBigEndian(reinterpret_cast<std::uint8_t*>(out.data()), size, 8);
  return out;
}

std::optional<std::uint64_t> sizePayloadDecode(std::string_view payload) {
  if (payload.size() != 8) return std::nullopt;
  return getBigEndian(reinterpret_cast<const std::uint8_t*>(payload.data()), 8);
}

std::string typeName(std::uint8_t type) {
  if (type < kTypeNames.size()) return std::string(kTypeNames[type]);
  return "type " + std::to_string(type);
}

void Decoder::skipRejected() {
  if (state_ != State::tooLarge) return;
  offset_ += kHeaderSize;
  skip_ = rejected_.length;
  state_ = State::ok;
  const auto now = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, buffered()));
  offset_ += now;
  skip_ -= now;
}

void Decoder::feed(std::string_view bytes) {
  if (state_ != State::ok) return;
  // The payload of a skipped message is never stored.
  const auto skipped = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, bytes.size()));
  bytes.remove_prefix(skipped);
  skip_ -= skipped;
  // Drop consumed bytes before growing, so the buffer holds at most one message and a tail.
  if (offset_ > 0 && offset_ >= buffer_.size() / 2) {
    buffer_.erase(0, offset_);
    offset_ = 0;
  }
  buffer_.append(bytes);
}

std::optional<Header> Decoder::peekHeader() {
  if (state_ != State::ok || buffered() < kHeaderSize) return std::nullopt;
  auto raw = reinterpret_cast<const std::uint8_t*>(buffer_.data() + offset_);
  auto header = headerDecode(std::span<const std::uint8_t, kHeaderSize>(raw, kHeaderSize));
  if (!header) {
    state_ = State::badPrologue;
    return std::nullopt;
  }
  if (header->length > maxPayload_) {
    state_ = State::tooLarge;
    rejected_ = *header;
    return std::nullopt;
  }
  return header;
}

std::optional<Message> Decoder::next() {
  std::optional<Header> header = peekHeader();
  if (!header || buffered() - kHeaderSize < header->length) return std::nullopt;
  Message m;
  m.header = *header;
  m.payload.assign(buffer_, offset_ + kHeaderSize, static_cast<std::size_t>(header->length));
  consume(kHeaderSize + static_cast<std::size_t>(header->length));
  return m;
}

std::size_t Decoder::take(char* out, std::size_t count) {
  const std::size_t n = std::min(count, buffered());
  if (n > 0) std::memcpy(out, buffer_.data() + offset_, n);
  return consume(n);
}

std::size_t Decoder::consume(std::size_t count) {
  const std::size_t n = std::min(count, buffered());
  offset_ += n;
  if (offset_ == buffer_.size()) {
    buffer_.clear();
    offset_ = 0;
  }
  return n;
}

ReadStatus readMessage(sock::Handle fd, std::uint64_t maxPayload, Message& out, int timeoutMs) {
  std::array<char, kHeaderSize> raw{};
  // The first byte decides between "closed" and "truncated".
  switch (readExactly(fd, raw.data(), 1, timeoutMs)) {
    case Fill::ok: break;
    case Fill::closed: return ReadStatus::closed;
    case Fill::timeout: return ReadStatus::timeout;
    case Fill::error: return ReadStatus::error;
  }
  switch (readExactly(fd, raw.data() + 1, kHeaderSize - 1, timeoutMs)) {
    case Fill::ok: break;
    case Fill::closed: return ReadStatus::truncated;
    case Fill::timeout: return ReadStatus::timeout;
    case Fill::error: return ReadStatus::error;
  }
  auto bytes = reinterpret_cast<const std::uint8_t*>(raw.data());
  auto header = headerDecode(std::span<const std::uint8_t, kHeaderSize>(bytes, kHeaderSize));
  if (!header) {
    out.header = Header{bytes[2], bytes[3], 0, 0};
    out.payload.clear();
    return ReadStatus::badPrologue;
  }
  out.header = *header;
  out.payload.clear();
  if (header->length > maxPayload) return ReadStatus::tooLarge;
  out.payload.resize(static_cast<std::size_t>(header->length));
  switch (readExactly(fd, out.payload.data(), out.payload.size(), timeoutMs)) {
    case Fill::ok: return ReadStatus::ok;
    case Fill::closed: return ReadStatus::truncated;
    case Fill::timeout: return ReadStatus::timeout;
    case Fill::error: return ReadStatus::error;
  }
  return ReadStatus::error;
}

bool skipBytes(sock::Handle fd, std::uint64_t count) {
  std::array<char, 65536> chunk{};
  while (count > 0) {
    std::size_t want = count < chunk.size() ? static_cast<std::size_t>(count) : chunk.size();
    long n = sock::receive(fd, chunk.data(), want);
    if (sock::interruptedCall(n)) continue;
    if (n <= 0) return false;
    count -= static_cast<std::uint64_t>(n);
  }
  return true;
}

namespace {
constexpr std::size_t kReaderChunk = 64 * 1024;
ReadStatus statusOf(Fill fill, bool begun) {
  switch (fill) {
    case Fill::ok: return ReadStatus::ok;
    case Fill::closed: return begun ? ReadStatus::truncated : ReadStatus::closed;
    case Fill::timeout: return ReadStatus::timeout;
    case Fill::error: return ReadStatus::error;
  }
  return ReadStatus::error;
}
}  // namespace

ReadStatus Reader::fill(std::size_t count, int timeoutMs, bool begun) {
  if (end_ - pos_ >= count) return ReadStatus::ok;
  if (pos_ > 0) {  // move the unread tail, if any, to the front
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (buffer_.size() < std::max(count, kReaderChunk)) buffer_.resize(std::max(count, kReaderChunk));
  while (end_ < count) {
    if (timeoutMs >= 0) {
      int w = waitReadable(fd_, timeoutMs);
      if (w == 0) return ReadStatus::timeout;
      if (w < 0) return ReadStatus::error;
    }
    long n = sock::receive(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (sock::interruptedCall(n)) continue;
    if (n < 0) return ReadStatus::error;
    if (n == 0) return statusOf(Fill::closed, begun || end_ > 0);
    end_ += static_cast<std::size_t>(n);
  }
  return ReadStatus::ok;
}

ReadStatus Reader::read(std::uint64_t maxPayload, Message& out, int timeoutMs) {
  if (ReadStatus r = fill(kHeaderSize, timeoutMs, false); r != ReadStatus::ok) return r;
  auto bytes = reinterpret_cast<const std::uint8_t*>(buffer_.data() + pos_);
  auto header = headerDecode(std::span<const std::uint8_t, kHeaderSize>(bytes, kHeaderSize));
  out.payload.clear();
  pos_ += kHeaderSize;
  if (!header) {
    out.header = Header{bytes[2], bytes[3], 0, 0};
    return ReadStatus::badPrologue;
  }
  out.header = *header;
  if (header->length > maxPayload) return ReadStatus::tooLarge;
  const auto length = static_cast<std::size_t>(header->length);
  const std::size_t here = std::min(length, end_ - pos_);
  out.payload.assign(buffer_, pos_, here);
  pos_ += here;
  if (here == length) return ReadStatus::ok;
  // The rest of a large payload goes straight into the message.
  out.payload.resize(length);
  return statusOf(readExactly(fd_, out.payload.data() + here, length - here, timeoutMs), true);
}

bool Reader::skip(std::uint64_t count) {
  const auto here = static_cast<std::size_t>(std::min<std::uint64_t>(count, end_ - pos_));
  pos_ += here;
  return skipBytes(fd_, count - here);
}

bool sendAllGathered(sock::Handle fd, std::span<const std::uint8_t> header, std::string_view payload) {
  std::string_view head(reinterpret_cast<const char*>(header.data()), header.size());
  while (!head.empty() || !payload.empty()) {
    long n = sock::sendGathered(fd, head, payload);
    if (sock::interruptedCall(n)) continue;
    if (n <= 0) return false;
    auto sent = static_cast<std::size_t>(n);
    const std::size_t fromHead = std::min(sent, head.size());
    head.remove_prefix(fromHead);
    payload.remove_prefix(sent - fromHead);
  }
  return true;
}

bool sendAll(sock::Handle fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    long n = sock::send(fd, bytes.substr(done));
    if (sock::interruptedCall(n)) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool sendMessage(sock::Handle fd, Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload) {
  return sendAll(fd, messageEncode(type, control, parameter, payload));
}

}  // namespace kavrel::hislip
