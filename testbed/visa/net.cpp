// TCP sockets bounded by VISA time-outs.
#include "testbed/visa/net.h"

#include <cerrno>
#include <charconv>
#include <climits>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kavrel::standin::net {
namespace {

// Wait for `events` on fd: true when ready (or in error, which the next call reports).
bool waitFor(int fd, short events, const Deadline& deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, deadline.remainingMs());
    if (rc < 0 && errno == EINTR) continue;
    return rc != 0;
  }
}

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// One address: VI_SUCCESS with a connected socket, VI_ERROR_TMO, or VI_ERROR_RSRC_NFOUND.
ViStatus connectOne(const addrinfo& ai, const Deadline& deadline, int& fd) {
  fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
  if (fd < 0) return VI_ERROR_RSRC_NFOUND;
  int rc = ::connect(fd, ai.ai_addr, ai.ai_addrlen);
  if (rc < 0 && errno == EINPROGRESS) {
    if (!waitFor(fd, POLLOUT, deadline)) {
      closeSocket(fd);
      return VI_ERROR_TMO;
    }
    int error = 0;
    socklen_t length = sizeof error;
    rc = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
  }
  if (rc < 0) {
    closeSocket(fd);
    return VI_ERROR_RSRC_NFOUND;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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

ViStatus connectTo(const std::string& host, std::uint16_t port, const Deadline& deadline, int& fd) {
  char service[8];
  const auto printed = std::to_chars(service, service + sizeof service - 1, port);
  *printed.ptr = '\0';
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), service, &hints, &found) != 0 || found == nullptr) return VI_ERROR_RSRC_NFOUND;
  ViStatus status = VI_ERROR_RSRC_NFOUND;
  for (const addrinfo* ai = found; ai != nullptr && status != VI_SUCCESS && status != VI_ERROR_TMO; ai = ai->ai_next) {
    status = connectOne(*ai, deadline, fd);
  }
  ::freeaddrinfo(found);
  return status;
}

IoResult sendGathered(int fd, std::string_view head, std::string_view tail, const Deadline& deadline,
                      std::size_t& sent) {
  sent = 0;
  const std::size_t total = head.size() + tail.size();
  while (sent < total) {
    iovec parts[2];
    int count = 0;
    if (sent < head.size()) parts[count++] = {const_cast<char*>(head.data() + sent), head.size() - sent};
    const std::size_t tailFrom = sent > head.size() ? sent - head.size() : 0;
    if (tailFrom < tail.size()) parts[count++] = {const_cast<char*>(tail.data() + tailFrom), tail.size() - tailFrom};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<std::size_t>(count);
    const ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && wouldBlock(errno)) {
      if (!waitFor(fd, POLLOUT, deadline)) return IoResult::timeout;
    } else {
      return IoResult::closed;
    }
  }
  return IoResult::ok;
}

IoResult sendAll(int fd, std::string_view& bytes, const Deadline& deadline) {
  std::size_t sent = 0;
  const IoResult result = sendGathered(fd, bytes, {}, deadline, sent);
  bytes.remove_prefix(sent);
  return result;
}

void sendNow(int fd, std::string_view bytes) {
  if (fd >= 0) (void)::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

IoResult receiveSome(int fd, char* buf, std::size_t capacity, const Deadline& deadline, std::size_t& received) {
  received = 0;
  if (capacity == 0) return IoResult::ok;
  for (;;) {
    const ssize_t n = ::recv(fd, buf, capacity, 0);
    if (n > 0) {
      received = static_cast<std::size_t>(n);
      return IoResult::ok;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && wouldBlock(errno)) {
      if (!waitFor(fd, POLLIN, deadline)) return IoResult::timeout;
      continue;
    }
    return IoResult::closed;
  }
}

void closeSocket(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace kavrel::standin::net
