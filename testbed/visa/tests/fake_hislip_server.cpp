// The fake HiSLIP server of the client tests.
#include "testbed/visa/tests/fake_hislip_server.h"

#include <algorithm>
#include <chrono>

namespace fake {

namespace hs = kavrel::hislip;
namespace sock = kavrel::sock;
using hs::Type;

HislipServer::HislipServer(Handler handler, Options options) : handler_(std::move(handler)), options_(options) {
  const int family = options_.family == 0 ? AF_INET : options_.family;
  listenFd_ = sock::open(family, SOCK_STREAM, 0, false);
  if (listenFd_ == sock::kNone) return;
  sockaddr_storage address{};
  socklen_t length = 0;
  if (family == AF_INET6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    in6->sin6_addr = in6addr_loopback;
    length = sizeof *in6;
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
    in4->sin_family = AF_INET;
    in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof *in4;
  }
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listenFd_, 4) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    sock::close(listenFd_);
    return;
  }
  port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                   : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  thread_ = std::thread([this] { run(); });
}

HislipServer::~HislipServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  drop();
  sock::close(listenFd_);
}

std::string HislipServer::resource(const std::string& device) const {
  return "TCPIP::127.0.0.1::" + device + "," + std::to_string(port_) + "::INSTR";
}

void HislipServer::send(int channel, std::string_view bytes) {
  std::lock_guard guard(ioLock_);
  if (fds_[channel] != sock::kNone) hs::sendAll(fds_[channel], bytes);
}

void HislipServer::sendMessage(int channel, Type type, std::uint8_t control, std::uint32_t parameter,
                               std::string_view payload) {
  send(channel, hs::messageEncode(type, control, parameter, payload));
}

void HislipServer::drop() {
  std::lock_guard guard(ioLock_);
  for (sock::Handle& fd : fds_) sock::close(fd);
}

std::vector<Received> HislipServer::received(std::size_t count) {
  std::unique_lock lock(logLock_);
  logged_.wait_for(lock, std::chrono::seconds(10), [&] { return log_.size() >= count; });
  return std::vector<Received>(log_.begin(), log_.begin() + static_cast<std::ptrdiff_t>(std::min(count, log_.size())));
}

std::vector<Received> HislipServer::receivedThrough(Type type) {
  const auto isType = [type](const Received& r) { return r.message.type() == type; };
  std::unique_lock lock(logLock_);
  logged_.wait_for(lock, std::chrono::seconds(10), [&] { return std::any_of(log_.begin(), log_.end(), isType); });
  const auto found = std::find_if(log_.begin(), log_.end(), isType);
  return std::vector<Received>(log_.begin(), found == log_.end() ? found : found + 1);
}

void HislipServer::run() {
  while (!stop_) {
    std::vector<pollfd> watched{{listenFd_, POLLIN, 0}};
    std::vector<int> channels;  // of watched[1...]: only open channels are polled
    {
      std::lock_guard guard(ioLock_);
      for (int channel : {kSync, kAsync}) {
        if (fds_[channel] == sock::kNone || (channel == kSync && syncPaused_)) continue;
        watched.push_back({fds_[channel], POLLIN, 0});
        channels.push_back(channel);
      }
    }
    if (sock::poll(watched.data(), watched.size(), 20) <= 0) continue;
    if ((watched[0].revents & POLLIN) != 0) accept();
    for (std::size_t i = 0; i < channels.size(); ++i) {
      if (watched[1 + i].revents != 0) take(channels[i]);
    }
  }
}

// The first connection is the synchronous channel, the second the asynchronous one.
void HislipServer::accept() {
  sock::Handle fd = sock::accept(listenFd_);
  if (fd == sock::kNone) return;
  std::lock_guard guard(ioLock_);
  if (accepted_ >= 2) {
    sock::close(fd);
    return;
  }
  fds_[accepted_++] = fd;
}

void HislipServer::take(int channel) {
  char chunk[65536];
  long n = 0;
  {
    std::lock_guard guard(ioLock_);
    if (fds_[channel] == sock::kNone) return;
    n = sock::receive(fds_[channel], chunk, sizeof chunk);
    if (n <= 0) {
      sock::close(fds_[channel]);
      return;
    }
  }
  raw_[channel].append(chunk, static_cast<std::size_t>(n));
  decoders_[channel].feed(std::string_view(chunk, static_cast<std::size_t>(n)));
  while (std::optional<hs::Message> message = decoders_[channel].next()) {
    const std::size_t size = hs::kHeaderSize + message->payload.size();
    Received r{channel, raw_[channel].substr(0, size), std::move(*message)};
    raw_[channel].erase(0, size);
    {
      std::lock_guard guard(logLock_);
      log_.push_back(r);
    }
    logged_.notify_all();
    if (!handler_ || !handler_(*this, r)) answer(r);
  }
}

void HislipServer::answer(const Received& r) {
  switch (r.message.type()) {
    case Type::Initialize:
      sendMessage(kSync, Type::InitializeResponse, options_.initControl,
                  hs::initParameter(hs::kVersion10, options_.sessionId));
      break;
    case Type::AsyncInitialize:
      sendMessage(kAsync, Type::AsyncInitializeResponse, 0, ('S' << 8) | 'M');
      break;
    case Type::AsyncMaximumMessageSize:
      sendMessage(kAsync, Type::AsyncMaximumMessageSizeResponse, 0, 0, hs::sizePayloadEncode(options_.maxMessage));
      break;
    case Type::AsyncDeviceClear:
      sendMessage(kAsync, Type::AsyncDeviceClearAcknowledge, 0, 0);
      break;
    case Type::DeviceClearComplete:
      sendMessage(kSync, Type::DeviceClearAcknowledge, options_.clearAckControl, 0);
      break;
    case Type::AsyncStatusQuery:
      sendMessage(kAsync, Type::AsyncStatusResponse, options_.statusByte, 0);
      break;
    default:
      break;
  }
}

}  // namespace fake
