// Sockets on POSIX systems.
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include "testbed/socket/socket.h"

namespace kavrel::sock {

bool started(std::string*) { return true; }

Handle open(int family, int type, int protocol, bool nonBlocking) {
  return ::socket(family, type | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), protocol);
}

Handle accept(Handle listening) {
  const Handle handle = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
  if (handle != kNone) noDelay(handle);
  return handle;
}

void close(Handle& handle) {
  if (handle != kNone) ::close(handle);
  handle = kNone;
}

void shutdownBoth(Handle handle) { ::shutdown(handle, SHUT_RDWR); }
void shutdownSend(Handle handle) { ::shutdown(handle, SHUT_WR); }

void noDelay(Handle handle) {
  const int on = 1;
  ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void receiveTimeout(Handle handle, int timeoutMs) {
  const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

void reuseAddress(Handle handle) {
  const int on = 1;
  ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int connectError(Handle handle) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

int poll(pollfd* handles, std::size_t count, int timeoutMs) { return ::poll(handles, count, timeoutMs); }

long send(Handle handle, std::string_view bytes) { return ::send(handle, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

long sendGathered(Handle handle, std::string_view head, std::string_view tail) {
  iovec parts[2];
  int count = 0;
  if (!head.empty()) parts[count++] = {const_cast<char*>(head.data()), head.size()};
  if (!tail.empty()) parts[count++] = {const_cast<char*>(tail.data()), tail.size()};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = static_cast<std::size_t>(count);
  return ::sendmsg(handle, &message, MSG_NOSIGNAL);
}

void sendNow(Handle handle, std::string_view bytes) {
  if (handle != kNone) (void)::send(handle, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

long receive(Handle handle, char* buffer, std::size_t capacity) { return ::recv(handle, buffer, capacity, 0); }

int lastError() { return errno; }
bool interrupted(int error) { return error == EINTR; }
bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }
bool connecting(int error) { return error == EINPROGRESS; }
bool wasReset(int error) { return error == ECONNRESET; }
std::string errorText(int error) { return std::strerror(error); }

// ---- Waker: a pipe -------------------------------------------------------------------

Waker::~Waker() { close(); }

bool Waker::open(std::string* error) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  read_ = ends[0];
  write_ = ends[1];
  return true;
}

void Waker::wake() {
  const char byte = 0;
  if (write_ != kNone) (void)!::write(write_, &byte, 1);
}

void Waker::close() {
  sock::close(read_);
  sock::close(write_);
}

}  // namespace kavrel::sock
