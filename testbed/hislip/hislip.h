// HiSLIP message framing shared by the simulated instrument (server side)
// and the VISA stand-in (client side): the 16-byte header, whole messages,
// a stream decoder, and blocking socket helpers that read or send exactly
// one message.
#ifndef KAVREL_HISLIP_H
#define KAVREL_HISLIP_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kavrel::hislip {

// Message types (control code and parameter meanings are per type).
enum class Type : std::uint8_t {
  Initialize = 0,
  InitializeResponse = 1,
  FatalError = 2,
  Error = 3,
  AsyncLock = 4,
  AsyncLockResponse = 5,
  Data = 6,
  DataEnd = 7,
  DeviceClearComplete = 8,
  DeviceClearAcknowledge = 9,
  AsyncRemoteLocalControl = 10,
  AsyncRemoteLocalResponse = 11,
  Trigger = 12,
  Interrupted = 13,
  AsyncInterrupted = 14,
  AsyncMaximumMessageSize = 15,
  AsyncMaximumMessageSizeResponse = 16,
  AsyncInitialize = 17,
  AsyncInitializeResponse = 18,
  AsyncDeviceClear = 19,
  AsyncServiceRequest = 20,
  AsyncStatusQuery = 21,
  AsyncStatusResponse = 22,
  AsyncDeviceClearAcknowledge = 23,
  AsyncLockInfo = 24,
  AsyncLockInfoResponse = 25,
};

// Highest type of the general set (0..25); 26..127 are version-2 or reserved,
// 128..255 vendor specific.
inline constexpr std::uint8_t kLastGeneralType = 25;
inline constexpr std::uint8_t kFirstVendorType = 128;

// Error and FatalError control codes.
enum class FatalCode : std::uint8_t {
  Unidentified = 0,
  PoorlyFormedHeader = 1,
  ChannelsNotEstablished = 2,
  InvalidInitSequence = 3,
  TooManyClients = 4,
};
enum class ErrorCode : std::uint8_t {
  Unidentified = 0,
  UnrecognizedType = 1,
  UnrecognizedControl = 2,
  UnrecognizedVendor = 3,
  MessageTooLarge = 4,
};

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::uint16_t kVersion10 = 0x0100;
inline constexpr std::uint16_t kVersion20 = 0x0200;
// Client MessageID counter start, after initialization and after each device clear.
inline constexpr std::uint32_t kFirstMessageId = 0xFFFFFF00u;
// "Last message sent" before any Data/DataEnd/Trigger was sent.
inline constexpr std::uint32_t kNoMessageSent = 0xFFFFFEFEu;
// Server Data that does not carry the end of the client message.
inline constexpr std::uint32_t kNoMessageId = 0xFFFFFFFFu;
// Status byte bit "message available".
inline constexpr std::uint8_t kStatusMav = 0x10;

struct Header {
  std::uint8_t type = 0;
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::uint64_t length = 0;  // payload bytes after the header
};

struct Message {
  Header header;
  std::string payload;
  Type type() const { return static_cast<Type>(header.type); }
};

// Header bytes: "HS", type, control, parameter (big-endian), length (big-endian).
void headerEncode(const Header& header, std::span<std::uint8_t, kHeaderSize> out);
// Nothing when the prologue is not "HS".
std::optional<Header> headerDecode(std::span<const std::uint8_t, kHeaderSize> in);

// Header and payload in one buffer, ready for one send; the length field is the payload's size.
std::string messageEncode(std::uint8_t type, std::uint8_t control, std::uint32_t parameter,
                          std::string_view payload = {});
std::string messageEncode(Type type, std::uint8_t control, std::uint32_t parameter,
                          std::string_view payload = {});

// Version and vendor packed into the Initialize parameter, and back.
constexpr std::uint32_t initParameter(std::uint16_t version, std::uint16_t vendor) {
  return (static_cast<std::uint32_t>(version) << 16) | vendor;
}
constexpr std::uint16_t paramHigh(std::uint32_t parameter) { return static_cast<std::uint16_t>(parameter >> 16); }
constexpr std::uint16_t paramLow(std::uint32_t parameter) { return static_cast<std::uint16_t>(parameter & 0xFFFF); }

// 64-bit big-endian payload of the maximum-message-size exchange.
std::string sizePayloadEncode(std::uint64_t size);
std::optional<std::uint64_t> sizePayloadDecode(std::string_view payload);

// Name of a type for logs and test messages ("Data", "type 77").
std::string typeName(std::uint8_t type);

// Incremental decoder of a byte stream into messages. Feed bytes as they
// arrive and take whole messages out. A bad prologue stops it for good: the
// stream cannot be resynchronised. A payload above the limit stops it until
// the owner skips that message.
class Decoder {
 public:
  enum class State { ok, badPrologue, tooLarge };
  explicit Decoder(std::uint64_t maxPayload) : maxPayload_(maxPayload) {}
  void setMaxPayload(std::uint64_t maxPayload) { maxPayload_ = maxPayload; }
  // In state tooLarge: drop the rejected message, payload included as it
  // arrives, and go on with the next one.
  void skipRejected();
  void feed(std::string_view bytes);
  // The next whole message, if one is complete.
  std::optional<Message> next();
  // The header of the next message once its 16 bytes are here, checked as
  // next() checks it; take it with consume(kHeaderSize) to read its payload
  // in pieces with take().
  std::optional<Header> peekHeader();
  // Copy up to `count` buffered bytes to `out` and consume them; the number copied.
  std::size_t take(char* out, std::size_t count);
  // Drop up to `count` buffered bytes; the number dropped.
  std::size_t consume(std::size_t count);
  State state() const { return state_; }
  // Header of the message that exceeded the limit (valid in state tooLarge).
  const Header& rejectedHeader() const { return rejected_; }
  std::size_t buffered() const { return buffer_.size() - offset_; }

 private:
  std::uint64_t maxPayload_;
  std::string buffer_;
  std::size_t offset_ = 0;
  State state_ = State::ok;
  Header rejected_;
  std::uint64_t skip_ = 0;  // payload bytes of a skipped message still to drop
};

// ---- blocking socket helpers ------------------------------------------------

enum class ReadStatus {
  ok,
  closed,       // the peer closed the connection before a header began
  truncated,    // the connection ended inside a message
  badPrologue,  // header read, prologue is not "HS"; the payload was not read
  tooLarge,     // header read, payload above the limit; the payload was not read
  timeout,      // no byte within the time limit
  error,        // socket error
};

// Read one whole message. timeoutMs < 0 waits for ever; the limit applies to
// the wait for the first byte and for each later chunk. On badPrologue and
// tooLarge the header is in out.header and the payload is left in the socket.
ReadStatus readMessage(int fd, std::uint64_t maxPayload, Message& out, int timeoutMs = -1);

// Read and drop count bytes (the payload of a rejected message). False if the connection ended.
bool skipBytes(int fd, std::uint64_t count);

// Reads whole messages from one socket like readMessage, but through a
// buffer: a short message costs one recv, and several that arrived together
// none more. Large payloads beyond the buffer are received straight into the
// message.
class Reader {
 public:
  explicit Reader(int fd) : fd_(fd) {}
  ReadStatus read(std::uint64_t maxPayload, Message& out, int timeoutMs = -1);
  // Drop count bytes (a rejected payload). False if the connection ended.
  bool skip(std::uint64_t count);
  // Bytes received and not yet read as messages.
  bool pending() const { return pos_ < end_; }

 private:
  // Receive until at least `count` bytes are buffered; `begun`: a message
  // has begun, so a closed connection truncated it.
  ReadStatus fill(std::size_t count, int timeoutMs, bool begun);

  int fd_;
  std::string buffer_;
  std::size_t pos_ = 0, end_ = 0;
};

// Send all bytes (looping over partial sends, no SIGPIPE). False on failure.
bool sendAll(int fd, std::string_view bytes);

// Encode and send one message with one send call.
bool sendMessage(int fd, Type type, std::uint8_t control, std::uint32_t parameter,
                 std::string_view payload = {});

// Send the header and the payload as one message with one sendmsg call
// (more only when the socket takes part), without copying the payload.
bool sendAllGathered(int fd, std::span<const std::uint8_t> header, std::string_view payload);

}  // namespace kavrel::hislip

#endif
