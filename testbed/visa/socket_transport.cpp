// Raw TCP socket transport ("TCPIP::host::port::SOCKET"). The byte stream has
// no END: reads end on the termination character (VI_ATTR_TERMCHAR_EN), on
// the count, or on the time-out, which the session above decides.
#include <algorithm>

#include "testbed/visa/net.h"
#include "testbed/visa/trace.h"
#include "testbed/visa/transport.h"

namespace kavrel::standin {
namespace {

class SocketTransport final : public NetworkTransport {
 public:
  explicit SocketTransport(ViSession vi) : vi_(vi) {}
  ~SocketTransport() override { net::closeSocket(fd_); }
  SocketTransport(const SocketTransport&) = delete;
  SocketTransport& operator=(const SocketTransport&) = delete;

  ViStatus open(const NetworkAddress& address, ViUInt32 timeoutMs) override {
    return net::connectTo(address.host, address.port, net::Deadline(std::max(timeoutMs, net::kConnectMinimumMs)), fd_);
  }

  ViStatus write(std::string_view bytes, bool /*end*/, ViUInt32 timeoutMs) override {
    if (fd_ == sock::kNone) return VI_ERROR_CONN_LOST;
    if (trace::enabled() && !bytes.empty()) trace::line(vi_, "-> socket " + trace::quoted(bytes));
    return outcome(net::sendAll(fd_, bytes, net::Deadline(timeoutMs)));
  }

  ViStatus read(ViByte* buf, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& received, bool& end) override {
    received = 0;
    end = false;
    if (fd_ == sock::kNone) return VI_ERROR_CONN_LOST;
    const net::IoResult result =
        net::receiveSome(fd_, reinterpret_cast<char*>(buf), capacity, net::Deadline(timeoutMs), received);
    if (trace::enabled() && received > 0) {
      trace::line(vi_, "<- socket " + trace::quoted(std::string_view(reinterpret_cast<const char*>(buf), received)));
    }
    return outcome(result);
  }

  // Drop what has arrived and not been read.
  ViStatus clear(ViUInt32 /*timeoutMs*/) override {
    if (fd_ == sock::kNone) return VI_ERROR_CONN_LOST;
    char scratch[4096];
    std::size_t received = 0;
    net::IoResult result = net::IoResult::ok;
    do {
      result = net::receiveSome(fd_, scratch, sizeof scratch, net::Deadline(VI_TMO_IMMEDIATE), received);
    } while (result == net::IoResult::ok);
    return outcome(result == net::IoResult::timeout ? net::IoResult::ok : result);
  }

  // A byte stream has no status byte.
  ViStatus readStatusByte(ViUInt32 /*timeoutMs*/, ViUInt16& /*stb*/) override { return VI_ERROR_NSUP_OPER; }

 private:
  ViStatus outcome(net::IoResult result) {
    switch (result) {
      case net::IoResult::ok: return VI_SUCCESS;
      case net::IoResult::timeout: return VI_ERROR_TMO;
      case net::IoResult::closed: break;
    }
    if (trace::enabled()) trace::line(vi_, "connection lost");
    net::closeSocket(fd_);
    return VI_ERROR_CONN_LOST;
  }

  const ViSession vi_;
  sock::Handle fd_ = sock::kNone;
};

}  // namespace

std::unique_ptr<NetworkTransport> makeSocketTransport(ViSession vi) { return std::make_unique<SocketTransport>(vi); }

}  // namespace kavrel::standin
