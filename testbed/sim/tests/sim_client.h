// A small HiSLIP client over raw sockets for the server tests, and a raw
// SCPI socket connection.
#ifndef KAVREL_SIM_TEST_CLIENT_H
#define KAVREL_SIM_TEST_CLIENT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "testbed/hislip/hislip.h"

namespace kavrel::sim::test {

// A loopback TCP connection with TCP_NODELAY and a 10 s receive limit, or sock::kNone.
sock::Handle tcpConnect(int port);
// Both ends of a loopback TCP connection; false when it cannot be made.
bool tcpPair(sock::Handle ends[2]);

class HislipClient {
 public:
  HislipClient() = default;
  ~HislipClient();
  HislipClient(const HislipClient&) = delete;
  HislipClient& operator=(const HislipClient&) = delete;

  // Both channels, initialized, with the maximum message size exchanged.
  bool open(int port, std::uint64_t maxMessage = 1u << 20);
  // Only the synchronous channel, initialized.
  bool openSync(int port);
  bool openAsync(int port);
  void close();

  bool sendSync(hislip::Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {});
  bool sendAsync(hislip::Type type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {});
  bool sendSyncRaw(std::string_view bytes);
  bool sendAsyncRaw(std::string_view bytes);
  // Next message on a channel within the time limit.
  std::optional<hislip::Message> readSync(int timeoutMs = 5000);
  std::optional<hislip::Message> readAsync(int timeoutMs = 5000);

  // One program message as DataEnd with the next MessageID; returns that ID.
  std::uint32_t write(std::string_view text, bool rmtDelivered = false);
  // write, then collect Data/DataEnd with that MessageID up to DataEnd.
  std::optional<std::string> query(std::string_view text);

  sock::Handle syncFd() const { return sync_; }
  sock::Handle asyncFd() const { return async_; }
  std::uint16_t sessionId() const { return session_; }
  std::uint16_t version() const { return version_; }
  std::uint64_t serverMaxMessage() const { return serverMax_; }
  std::uint32_t lastSent() const { return lastSent_; }
  // True when the peer closed the channel (read returns end of stream).
  static bool closedByPeer(sock::Handle fd, int timeoutMs = 2000);

 private:
  sock::Handle sync_ = sock::kNone;
  sock::Handle async_ = sock::kNone;
  std::uint16_t session_ = 0;
  std::uint16_t version_ = 0;
  std::uint64_t serverMax_ = 0;
  std::uint32_t next_ = hislip::kFirstMessageId;
  std::uint32_t lastSent_ = hislip::kNoMessageSent;
  bool responseDelivered_ = false;
};

}  // namespace kavrel::sim::test

#endif
