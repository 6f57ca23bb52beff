// Sockets on Windows, through Winsock 2.
#include <algorithm>
#include <climits>

#include "testbed/socket/socket.h"

namespace kavrel::sock {
namespace {

int clampedSize(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

void notInherited(Handle handle) {
  ::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

bool started(std::string* error) {
  // Once per process; left running until the process ends, as other users of Winsock in it may rely on it.
  static const int result = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (result != 0 && error) *error = "Winsock cannot start: " + errorText(result);
  return result == 0;
}

Handle open(int family, int type, int protocol, bool nonBlocking) {
  if (!started(nullptr)) return kNone;
  Handle handle = ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (handle == kNone) return kNone;
  u_long on = nonBlocking ? 1 : 0;
  if (nonBlocking && ::ioctlsocket(handle, FIONBIO, &on) != 0) close(handle);
  return handle;
}

Handle accept(Handle listening) {
  const Handle handle = ::accept(listening, nullptr, nullptr);
  if (handle == kNone) return kNone;
  notInherited(handle);
  noDelay(handle);
  return handle;
}

void close(Handle& handle) {
  if (handle != kNone) ::closesocket(handle);
  handle = kNone;
}

// A blocking receive another thread waits in does not end at a shutdown on
// Windows as it does on POSIX systems: its pending I/O is cancelled too.
void shutdownBoth(Handle handle) {
  ::shutdown(handle, SD_BOTH);
  ::CancelIoEx(reinterpret_cast<HANDLE>(handle), nullptr);
}
void shutdownSend(Handle handle) { ::shutdown(handle, SD_SEND); }

void noDelay(Handle handle) {
  const BOOL on = TRUE;
  ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

void receiveTimeout(Handle handle, int timeoutMs) {
  const DWORD limit = static_cast<DWORD>(timeoutMs);
  ::setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

void reuseAddress(Handle handle) {
  // Windows rebinds a port in TIME_WAIT by itself; SO_REUSEADDR there would let another socket take a bound port.
  const BOOL on = TRUE;
  ::setsockopt(handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
}

int connectError(Handle handle) {
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) return lastError();
  return error;
}

int poll(pollfd* handles, std::size_t count, int timeoutMs) {
  return ::WSAPoll(handles, static_cast<ULONG>(count), timeoutMs);
}

long send(Handle handle, std::string_view bytes) { return ::send(handle, bytes.data(), clampedSize(bytes.size()), 0); }

long sendGathered(Handle handle, std::string_view head, std::string_view tail) {
  WSABUF parts[2];
  DWORD count = 0;
  if (!head.empty()) parts[count++] = {static_cast<ULONG>(clampedSize(head.size())), const_cast<char*>(head.data())};
  if (!tail.empty()) parts[count++] = {static_cast<ULONG>(clampedSize(tail.size())), const_cast<char*>(tail.data())};
  DWORD sent = 0;
  if (::WSASend(handle, parts, count, &sent, 0, nullptr, nullptr) != 0) return -1;
  return static_cast<long>(sent);
}

// The stand-in's sockets are non-blocking, so a plain send does not wait.
void sendNow(Handle handle, std::string_view bytes) {
  if (handle != kNone) (void)::send(handle, bytes.data(), clampedSize(bytes.size()), 0);
}

long receive(Handle handle, char* buffer, std::size_t capacity) {
  return ::recv(handle, buffer, clampedSize(capacity), 0);
}

int lastError() { return ::WSAGetLastError(); }
bool interrupted(int error) { return error == WSAEINTR; }
bool wouldBlock(int error) { return error == WSAEWOULDBLOCK; }
bool connecting(int error) { return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS; }
bool wasReset(int error) { return error == WSAECONNRESET || error == WSAECONNABORTED; }

std::string errorText(int error) {
  char text[512] = "";
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
  std::string out(text, length);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
    out.pop_back();
  return out.empty() ? "Winsock error " + std::to_string(error) : out;
}

// ---- Waker: a loopback datagram socket that sends to itself ---------------------------

Waker::~Waker() { close(); }

bool Waker::open(std::string* error) {
  Handle handle = sock::open(AF_INET, SOCK_DGRAM, IPPROTO_UDP, true);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  const bool ok = handle != kNone && ::bind(handle, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                  ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
                  ::connect(handle, reinterpret_cast<sockaddr*>(&address), length) == 0;
  if (!ok) {
    if (error) *error = "wake-up socket: " + errorText(lastError());
    sock::close(handle);
    return false;
  }
  read_ = write_ = handle;
  return true;
}

void Waker::wake() {
  const char byte = 0;
  if (write_ != kNone) (void)::send(write_, &byte, 1, 0);
}

void Waker::close() {
  write_ = kNone;
  sock::close(read_);
}

}  // namespace kavrel::sock
