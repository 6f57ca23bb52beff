#include "testbed/sim/tests/sim_client.h"

#include <cerrno>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace kavrel::sim::test {

using hislip::Type;

int tcpConnect(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  timeval limit{10, 0};  // no test waits for ever on a read
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

HislipClient::~HislipClient() { close(); }

void HislipClient::close() {
  if (sync_ >= 0) ::close(sync_);
  if (async_ >= 0) ::close(async_);
  sync_ = async_ = -1;
}

bool HislipClient::openSync(int port) {
  sync_ = tcpConnect(port);
  if (sync_ < 0) return false;
  if (!sendSync(Type::Initialize, 0, hislip::initParameter(hislip::kVersion10, ('x' << 8) | 'x'), "hislip0"))
    return false;
  auto r = readSync();
  if (!r || r->type() != Type::InitializeResponse) return false;
  session_ = hislip::paramLow(r->header.parameter);
  version_ = hislip::paramHigh(r->header.parameter);
  return true;
}

bool HislipClient::openAsync(int port) {
  async_ = tcpConnect(port);
  if (async_ < 0) return false;
  if (!sendAsync(Type::AsyncInitialize, 0, session_)) return false;
  auto r = readAsync();
  return r && r->type() == Type::AsyncInitializeResponse;
}

bool HislipClient::open(int port, std::uint64_t maxMessage) {
  if (!openSync(port) || !openAsync(port)) return false;
  if (!sendAsync(Type::AsyncMaximumMessageSize, 0, 0, hislip::sizePayloadEncode(maxMessage))) return false;
  auto r = readAsync();
  if (!r || r->type() != Type::AsyncMaximumMessageSizeResponse) return false;
  auto size = hislip::sizePayloadDecode(r->payload);
  if (!size) return false;
  serverMax_ = *size;
  return true;
}

bool HislipClient::sendSync(Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload) {
  return hislip::sendMessage(sync_, type, control, parameter, payload);
}

bool HislipClient::sendAsync(Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload) {
  return hislip::sendMessage(async_, type, control, parameter, payload);
}

bool HislipClient::sendSyncRaw(std::string_view bytes) { return hislip::sendAll(sync_, bytes); }
bool HislipClient::sendAsyncRaw(std::string_view bytes) { return hislip::sendAll(async_, bytes); }

std::optional<hislip::Message> HislipClient::readSync(int timeoutMs) {
  hislip::Message m;
  if (hislip::readMessage(sync_, 64u << 20, m, timeoutMs) != hislip::ReadStatus::ok) return std::nullopt;
  return m;
}

std::optional<hislip::Message> HislipClient::readAsync(int timeoutMs) {
  hislip::Message m;
  if (hislip::readMessage(async_, 64u << 20, m, timeoutMs) != hislip::ReadStatus::ok) return std::nullopt;
  return m;
}

std::uint32_t HislipClient::write(std::string_view text, bool rmtDelivered) {
  std::uint32_t id = next_;
  next_ += 2;
  lastSent_ = id;
  sendSync(Type::DataEnd, rmtDelivered ? 1 : 0, id, text);
  return id;
}

std::optional<std::string> HislipClient::query(std::string_view text) {
  std::uint32_t id = write(text, responseDelivered_);
  responseDelivered_ = false;
  std::string out;
  for (;;) {
    auto m = readSync();
    if (!m) return std::nullopt;
    if ((m->type() != Type::Data && m->type() != Type::DataEnd) || m->header.parameter != id ||
        m->header.control != 0)
      return std::nullopt;
    out += m->payload;
    if (m->type() == Type::DataEnd) break;
  }
  responseDelivered_ = true;
  return out;
}

bool HislipClient::closedByPeer(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return false;
  char c = 0;
  for (;;) {
    ssize_t n = ::recv(fd, &c, 1, 0);
    if (n == 0) return true;
    if (n < 0) return errno == ECONNRESET;
    if (::poll(&p, 1, timeoutMs) <= 0) return false;  // drain what was sent before the close
  }
}

}  // namespace kavrel::sim::test
