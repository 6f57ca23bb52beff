// The few places where sockets differ between POSIX and Windows, for the
// test bed's network code (the stand-in's transports, HiSLIP framing, the
// simulator's servers): the handle type, opening with close-on-exec,
// closing, waiting, gathered sends, the last error and its text, and a
// wake-up handle for polling threads. Winsock is started once, on first use.
#ifndef KAVREL_SOCKET_SOCKET_H
#define KAVREL_SOCKET_SOCKET_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace kavrel::sock {

#ifdef _WIN32
using Handle = SOCKET;
inline constexpr Handle kNone = INVALID_SOCKET;
#else
using Handle = int;
inline constexpr Handle kNone = -1;
#endif

// Addresses for host:port from getaddrinfo (`passive` for a server: an empty
// host is any address); null with the reason in `error` when none resolve.
using AddressList = std::unique_ptr<addrinfo, void (*)(addrinfo*)>;
AddressList resolve(const std::string& host, int port, int type, bool passive, std::string* error);

// A socket that child processes do not inherit; kNone on failure (see lastError).
Handle open(int family, int type, int protocol, bool nonBlocking);
// An accepted connection, not inherited either, with Nagle's algorithm off.
Handle accept(Handle listening);
void close(Handle& handle);  // and sets it to kNone
void shutdownBoth(Handle handle);
void shutdownSend(Handle handle);

void noDelay(Handle handle);
// Reads on a blocking socket give up after this long.
void receiveTimeout(Handle handle, int timeoutMs);
// Rebinding a port in TIME_WAIT, without letting another process take a bound one.
void reuseAddress(Handle handle);
// The pending error of a non-blocking connect (0: connected).
int connectError(Handle handle);
// The bound port of a socket, -1 when unknown.
int localPort(Handle handle);

// poll(): ready count, 0 on time-out (-1 waits without end), -1 on error.
int poll(pollfd* handles, std::size_t count, int timeoutMs);

// Send and receive: bytes moved, or -1 with lastError(). Never raises SIGPIPE.
long send(Handle handle, std::string_view bytes);
// `head` then `tail` in one call, as one stream.
long sendGathered(Handle handle, std::string_view head, std::string_view tail);
// Without waiting even on a blocking socket; what does not fit is dropped.
void sendNow(Handle handle, std::string_view bytes);
long receive(Handle handle, char* buffer, std::size_t capacity);

int lastError();
bool interrupted(int error);  // a signal came; try again
// A call that returned `result` was interrupted by a signal and is to be repeated.
inline bool interruptedCall(long result) { return result < 0 && interrupted(lastError()); }
bool wouldBlock(int error);   // a non-blocking call found nothing to do
bool connecting(int error);   // a non-blocking connect is under way
bool wasReset(int error);     // the peer reset the connection
std::string errorText(int error);

// A handle a polling thread adds to its set so another thread can wake it.
class Waker {
 public:
  Waker() = default;
  ~Waker();
  Waker(const Waker&) = delete;
  Waker& operator=(const Waker&) = delete;
  bool open(std::string* error);
  Handle handle() const { return read_; }
  void wake();
  void close();

 private:
  Handle read_ = kNone;
  Handle write_ = kNone;
};

}  // namespace kavrel::sock

#endif
