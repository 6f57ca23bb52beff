// Server side of one HiSLIP session (its synchronous and asynchronous
// channel), independent of sockets and threads: messages go in, messages to
// send come out through a sink. Synchronized mode only.
#ifndef KAVREL_SIM_HISLIP_SESSION_H
#define KAVREL_SIM_HISLIP_SESSION_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "testbed/hislip/hislip.h"
#include "testbed/sim/instrument.h"

namespace kavrel::sim {

// Where a session's outgoing messages go.
class HislipSink {
 public:
  virtual ~HislipSink() = default;
  virtual void sendSync(std::string bytes) = 0;
  // One message on the synchronous channel; a socket sink sends the
  // payload where it lies, after the header, without copying it.
  virtual void sendSyncMessage(hislip::Type type, std::uint8_t control, std::uint32_t parameter,
                               std::string_view payload) {
    sendSync(hislip::messageEncode(type, control, parameter, payload));
  }
  virtual void sendAsync(std::string bytes) = 0;
  // FatalError was sent: close both channels.
  virtual void close() = 0;
};

// A response waiting to be sent: the transport may hold it back (delay) or
// drop it (stall) before handing it to HislipSession::responseSend.
struct HislipPending {
  Response response;
  std::uint32_t messageId = 0;
  std::uint64_t generation = 0;  // device clears since the session began
};

class HislipSession {
 public:
  // Largest payload a client may send in one message.
  static constexpr std::uint64_t kMaxPayloadIn = 1u << 20;
  // Largest program message the session collects from Data messages.
  static constexpr std::size_t kMaxProgram = 64u << 20;
  // Largest message a client takes from us until it says otherwise.
  static constexpr std::uint64_t kDefaultMaxOut = 1u << 20;

  HislipSession(Instrument& instrument, std::uint16_t id, std::uint16_t version, HislipSink& sink,
                bool strictRmt = false);

  std::uint16_t id() const { return id_; }
  std::uint16_t version() const { return version_; }
  void asyncBind() { asyncBound_ = true; }
  bool asyncBound() const { return asyncBound_; }
  bool clearing() const { return clearing_; }
  // Whether the synchronous channel has taken the client's message `messageId`
  // (or nothing is to come: none sent yet, or a clear under way).
  bool taken(std::uint32_t messageId) const {
    return messageId == lastReceived_ || messageId == hislip::kNoMessageSent || clearing_;
  }
  std::uint64_t generation() const { return generation_; }

  // A message from the synchronous channel; a program message ended by it may leave a response.
  std::optional<HislipPending> syncMessage(const hislip::Message& message);
  // A message from the asynchronous channel (locks excepted: the server keeps them).
  void asyncMessage(const hislip::Message& message);
  // Send a response unless a device clear came since it was made.
  void responseSend(HislipPending pending);
  // New input arrived while a response was still held back: drop it and tell the client.
  void interrupt(std::uint32_t messageId);
  // Messages the server answers itself.
  void errorSend(bool async, hislip::ErrorCode code, std::string_view text);
  void fatalSend(hislip::FatalCode code, std::string_view text);
  Session& instrumentSession() { return session_; }
  // Last remote/local request (0..6, as VISA's REN modes).
  int remoteLocal() const { return remoteLocal_; }

 private:
  void rmtDelivered(std::uint8_t control, bool programMessage);
  std::optional<HislipPending> programEnd(std::uint32_t messageId);
  void serviceRequestCheck();
  void unexpected(bool async, std::uint8_t type);

  Session session_;
  std::uint16_t id_;
  std::uint16_t version_;
  HislipSink& sink_;
  bool strictRmt_;
  bool asyncBound_ = false;
  bool clearing_ = false;
  std::uint64_t generation_ = 0;
  std::uint64_t maxOut_ = kDefaultMaxOut;
  std::string input_;
  bool overflow_ = false;
  bool rmtExpected_ = false;
  bool mav_ = false;
  std::uint32_t lastReceived_ = hislip::kNoMessageSent;
  int remoteLocal_ = 0;
};

}  // namespace kavrel::sim

#endif
