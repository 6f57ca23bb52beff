// TCP sockets for the network transports: connecting, and sending and
// receiving bounded by a VISA time-out. Sockets are non-blocking, with
// Nagle's algorithm off, so short command/query exchanges never wait on a
// delayed acknowledgement.
#ifndef KAVREL_STANDIN_NET_H
#define KAVREL_STANDIN_NET_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "visa_binding/visa_api.h"

namespace kavrel::standin::net {

// viOpen's own time-out is for locks and usually 0: setting up a connection gets at least this.
inline constexpr ViUInt32 kConnectMinimumMs = 2000;

// The end of a VISA time-out (VI_TMO_INFINITE never ends, VI_TMO_IMMEDIATE
// allows only what is ready now).
class Deadline {
 public:
  explicit Deadline(ViUInt32 timeoutMs);
  // Milliseconds left for poll(): -1 without end, 0 once passed.
  int remainingMs() const;

 private:
  bool infinite_;
  std::chrono::steady_clock::time_point end_;
};

enum class IoResult { ok, timeout, closed };  // closed: peer closed, reset, or any socket error

// Connect a TCP socket to host:port: VI_SUCCESS with `fd` set, VI_ERROR_TMO,
// or VI_ERROR_RSRC_NFOUND when the host is unknown or nothing accepts.
ViStatus connectTo(const std::string& host, std::uint16_t port, const Deadline& deadline, int& fd);

// Send bytes from the front of `bytes`, removing what went out; ok once all went.
IoResult sendAll(int fd, std::string_view& bytes, const Deadline& deadline);

// Send `head` then `tail` as one stream, gathered into each sendmsg call, so a
// message's payload goes out where it lies; `sent` counts what went out.
IoResult sendGathered(int fd, std::string_view head, std::string_view tail, const Deadline& deadline,
                      std::size_t& sent);

// Send without waiting; whatever does not fit is dropped (for a last word before closing).
void sendNow(int fd, std::string_view bytes);

// Wait for at least one byte and receive up to `capacity` into `buf`.
IoResult receiveSome(int fd, char* buf, std::size_t capacity, const Deadline& deadline, std::size_t& received);

void closeSocket(int& fd);

}  // namespace kavrel::standin::net

#endif
