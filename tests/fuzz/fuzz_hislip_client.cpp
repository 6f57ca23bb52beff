// Fuzz target: the stand-in's HiSLIP client against whatever a server
// sends. A loopback server accepts the synchronous and the asynchronous
// connection and answers each with its part of the input (the asynchronous
// part first, then the rest), then stops sending. The client opens the
// session and runs what the driver does: a query and its reply, a status
// query, a device clear, another query, and closes. Missing answers end in
// a closed connection at once, never a wait.
#include <fuzzer/FuzzedDataProvider.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "testbed/visa/standin.h"

namespace {

int listener = -1;
std::uint16_t port = 0;

bool setUp() {
  listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    std::abort();
  port = ntohs(address.sin_port);
  return true;
}

// Accepts up to two connections until `done`, sends each its bytes (what
// fits without waiting), then half-closes it; keeps them open until done.
void serve(const std::string& syncBytes, const std::string& asyncBytes, const std::atomic<bool>& done) {
  int connections[2] = {-1, -1};
  int accepted = 0;
  while (!done && accepted < 2) {
    pollfd ready{listener, POLLIN, 0};
    if (::poll(&ready, 1, 5) <= 0) continue;
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const std::string& bytes = accepted == 0 ? syncBytes : asyncBytes;
    if (!bytes.empty()) (void)::send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    connections[accepted++] = fd;
  }
  while (!done) std::this_thread::yield();
  for (int fd : connections)
    if (fd >= 0) ::close(fd);
}

void write(ViSession vi, const char* text) {
  ViUInt32 count = 0;
  viWrite(vi, reinterpret_cast<ViConstBuf>(text), static_cast<ViUInt32>(std::char_traits<char>::length(text)), &count);
}

void read(ViSession vi) {
  char buffer[512];
  ViUInt32 count = 0;
  viRead(vi, reinterpret_cast<ViPBuf>(buffer), sizeof buffer, &count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = setUp();
  (void)ready;
  FuzzedDataProvider input(data, size);
  const std::string asyncBytes = input.ConsumeRandomLengthString(4096);
  const std::string syncBytes = input.ConsumeRemainingBytesAsString();

  std::atomic<bool> done{false};
  std::thread server(serve, std::cref(syncBytes), std::cref(asyncBytes), std::cref(done));
  ViSession rm = VI_NULL;
  ViSession vi = VI_NULL;
  const std::string resource = "TCPIP::127.0.0.1::hislip0," + std::to_string(port) + "::INSTR";
  if (viOpenDefaultRM(&rm) >= VI_SUCCESS) {
    if (viOpen(rm, resource.c_str(), VI_NULL, 500, &vi) >= VI_SUCCESS) {
      viSetAttribute(vi, VI_ATTR_TMO_VALUE, 200);
      write(vi, "*IDN?\n");
      read(vi);
      ViUInt16 stb = 0;
      viReadSTB(vi, &stb);
      viClear(vi);
      write(vi, ":SCAL:DATA:BIN?\n");
      read(vi);
      read(vi);
    }
    viClose(rm);
  }
  done = true;
  server.join();
  return 0;
}
