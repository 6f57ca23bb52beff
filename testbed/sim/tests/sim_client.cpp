#include "testbed/sim/tests/sim_client.h"

#include "testbed/sim/listener.h"

namespace kavrel::sim::test {

using hislip::Type;

sock::Handle tcpConnect(int port) {
  sock::Handle fd = sock::open(AF_INET, SOCK_STREAM, 0, false);
  if (fd == sock::kNone) return sock::kNone;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    sock::close(fd);
    return sock::kNone;
  }
  sock::noDelay(fd);
  sock::receiveTimeout(fd, 10000);  // no test waits for ever on a read
  return fd;
}

bool tcpPair(sock::Handle ends[2]) {
  int port = 0;
  sock::Handle listening = bindSocket("127.0.0.1", 0, SOCK_STREAM, port, nullptr);
  ends[0] = listening == sock::kNone ? sock::kNone : tcpConnect(port);
  ends[1] = ends[0] == sock::kNone ? sock::kNone : sock::accept(listening);
  sock::close(listening);
  if (ends[1] != sock::kNone) return true;
  sock::close(ends[0]);
  return false;
}

HislipClient::~HislipClient() { close(); }

void HislipClient::close() {
  sock::close(sync_);
  sock::close(async_);
}

bool HislipClient::openSync(int port) {
  sync_ = tcpConnect(port);
  if (sync_ == sock::kNone) return false;
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
  if (async_ == sock::kNone) return false;
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

bool HislipClient::closedByPeer(sock::Handle fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  if (sock::poll(&p, 1, timeoutMs) <= 0) return false;
  char c = 0;
  for (;;) {
    long n = sock::receive(fd, &c, 1);
    if (n == 0) return true;
    if (n < 0) return sock::wasReset(sock::lastError());
    if (sock::poll(&p, 1, timeoutMs) <= 0) return false;  // drain what was sent before the close
  }
}

}  // namespace kavrel::sim::test
