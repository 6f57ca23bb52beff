// A small HiSLIP server for the client tests: one thread on an ephemeral
// loopback port, taking one synchronous and one asynchronous connection. It
// answers the start-up, device clear and status queries itself, records
// every message it receives with its exact bytes, and hands each one to the
// test's handler, which may answer, hold back, or drop the connection.
#ifndef KAVREL_FAKE_HISLIP_SERVER_H
#define KAVREL_FAKE_HISLIP_SERVER_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "testbed/hislip/hislip.h"

namespace fake {

enum Channel { kSync = 0, kAsync = 1 };

struct Received {
  int channel;
  std::string raw;  // header and payload as they came
  kavrel::hislip::Message message;
};

class HislipServer;
// Called for every message after it is recorded; true means "answered", so
// the server's own answer (start-up, clear, status) is left out.
using Handler = std::function<bool(HislipServer&, const Received&)>;

struct Options {
  int family = 0;                              // AF_INET (0) or AF_INET6
  std::uint64_t maxMessage = 1U << 20;         // the size the server accepts, header included
  std::uint8_t initControl = 0;                // InitializeResponse control (bit 0: overlapped)
  std::uint8_t clearAckControl = 0;            // DeviceClearAcknowledge control
  std::uint8_t statusByte = 0;                 // answered to every status query
  std::uint16_t sessionId = 0x0107;
};

class HislipServer {
 public:
  explicit HislipServer(Handler handler = {}, Options options = {});
  ~HislipServer();
  HislipServer(const HislipServer&) = delete;
  HislipServer& operator=(const HislipServer&) = delete;

  std::uint16_t port() const { return port_; }
  bool listening() const { return listenFd_ != kavrel::sock::kNone; }
  // "TCPIP::127.0.0.1::hislip0,<port>::INSTR"
  std::string resource(const std::string& device = "hislip0") const;

  // Send bytes on a channel (from the handler or the test).
  void send(int channel, std::string_view bytes);
  void sendMessage(int channel, kavrel::hislip::Type type, std::uint8_t control, std::uint32_t parameter,
                   std::string_view payload = {});
  // Close both connections.
  void drop();
  // Stop or resume reading the synchronous channel (to fill the client's send buffer).
  void pauseSync(bool paused) { syncPaused_ = paused; }

  // The first `count` messages received, waiting a bounded time for them.
  std::vector<Received> received(std::size_t count);
  // Messages received until the first of `type`, waiting a bounded time for it.
  std::vector<Received> receivedThrough(kavrel::hislip::Type type);

 private:
  void run();
  void accept();
  void take(int channel);
  void answer(const Received& r);

  Handler handler_;
  Options options_;
  kavrel::sock::Handle listenFd_ = kavrel::sock::kNone;
  std::uint16_t port_ = 0;
  kavrel::sock::Handle fds_[2] = {kavrel::sock::kNone, kavrel::sock::kNone};
  int accepted_ = 0;
  std::string raw_[2];
  kavrel::hislip::Decoder decoders_[2] = {kavrel::hislip::Decoder(1U << 24), kavrel::hislip::Decoder(1U << 24)};
  std::mutex ioLock_;  // fds_ for sends and drop
  std::mutex logLock_;
  std::condition_variable logged_;
  std::vector<Received> log_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> syncPaused_{false};
  std::thread thread_;
};

}  // namespace fake

#endif
