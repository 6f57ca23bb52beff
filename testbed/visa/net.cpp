// TCP sockets bounded by VISA time-outs.
#include "testbed/visa/net.h"

#include <algorithm>
#include <climits>

namespace kavrel::standin::net {
namespace {

// Wait for `events` on fd: true when ready (or in error, which the next call reports).
bool waitFor(sock::Handle fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int rc = sock::poll(&p, 1, deadline.remainingMs());
    if (sock::interruptedCall(rc)) continue;
    return rc != 0;
  }
}

// One address: VI_SUCCESS with a connected socket, VI_ERROR_TMO, or VI_ERROR_RSRC_NFOUND.
ViStatus connectOne(const addrinfo& ai, const Deadline& deadline, sock::Handle& fd) {
  fd = sock::open(ai.ai_family, ai.ai_socktype, ai.ai_protocol, true);
  if (fd == sock::kNone) return VI_ERROR_RSRC_NFOUND;
  int rc = ::connect(fd, ai.ai_addr, static_cast<socklen_t>(ai.ai_addrlen));
  if (rc < 0 && sock::connecting(sock::lastError())) {
    if (!waitFor(fd, POLLOUT, deadline)) {
      closeSocket(fd);
      return VI_ERROR_TMO;
    }
    rc = sock::connectError(fd) == 0 ? 0 : -1;
  }
  if (rc < 0) {
    closeSocket(fd);
    return VI_ERROR_RSRC_NFOUND;
  }
  sock::noDelay(fd);
  return VI_SUCCESS;
}

}  // namespace

Deadline::Deadline(ViUInt32 timeoutMs)
    : infinite_(timeoutMs == VI_TMO_INFINITE),
      end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs)) {}

int Deadline::remainingMs() const {
  if (infinite_) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now()).count();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

ViStatus connectTo(const std::string& host, std::uint16_t port, const Deadline& deadline, sock::Handle& fd) {
  const sock::AddressList found = sock::resolve(host, port, SOCK_STREAM, false, nullptr);
  ViStatus status = VI_ERROR_RSRC_NFOUND;
  for (const addrinfo* ai = found.get(); ai != nullptr && status != VI_SUCCESS && status != VI_ERROR_TMO;
       ai = ai->ai_next) {
    status = connectOne(*ai, deadline, fd);
  }
  return status;
}

IoResult sendGathered(sock::Handle fd, std::string_view head, std::string_view tail, const Deadline& deadline,
                      std::size_t& sent) {
  sent = 0;
  const std::size_t total = head.size() + tail.size();
  while (sent < total) {
    const long n = sock::sendGathered(fd, head.substr(std::min(sent, head.size())),
                                      tail.substr(sent > head.size() ? sent - head.size() : 0));
    const int error = n < 0 ? sock::lastError() : 0;
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && sock::interrupted(error)) {
      continue;
    } else if (n < 0 && sock::wouldBlock(error)) {
      if (!waitFor(fd, POLLOUT, deadline)) return IoResult::timeout;
    } else {
      return IoResult::closed;
    }
  }
  return IoResult::ok;
}

IoResult sendAll(sock::Handle fd, std::string_view& bytes, const Deadline& deadline) {
  std::size_t sent = 0;
  const IoResult result = sendGathered(fd, bytes, {}, deadline, sent);
  bytes.remove_prefix(sent);
  return result;
}

void sendNow(sock::Handle fd, std::string_view bytes) { sock::sendNow(fd, bytes); }

IoResult receiveSome(sock::Handle fd, char* buf, std::size_t capacity, const Deadline& deadline,
                     std::size_t& received) {
  received = 0;
  if (capacity == 0) return IoResult::ok;
  for (;;) {
    const long n = sock::receive(fd, buf, capacity);
    if (n > 0) {
      received = static_cast<std::size_t>(n);
      return IoResult::ok;
    }
    const int error = n < 0 ? sock::lastError() : 0;
    if (n < 0 && sock::interrupted(error)) continue;
    if (n < 0 && sock::wouldBlock(error)) {
      if (!waitFor(fd, POLLIN, deadline)) return IoResult::timeout;
      continue;
    }
    return IoResult::closed;
  }
}

void closeSocket(sock::Handle& fd) { sock::close(fd); }

}  // namespace kavrel::standin::net
