#include "testbed/sim/hislip_session.h"

#include "testbed/sim/scpi.h"

namespace kavrel::sim {

using hislip::ErrorCode;
using hislip::FatalCode;
using hislip::Type;

HislipSession::HislipSession(Instrument& instrument, std::uint16_t id, std::uint16_t version, HislipSink& sink,
                             bool strictRmt)
    : session_(instrument), id_(id), version_(version), sink_(sink), strictRmt_(strictRmt) {}

void HislipSession::errorSend(bool async, ErrorCode code, std::string_view text) {
  std::string bytes = hislip::messageEncode(Type::Error, static_cast<std::uint8_t>(code), 0, text);
  if (async) sink_.sendAsync(std::move(bytes));
  else sink_.sendSync(std::move(bytes));
}

void HislipSession::fatalSend(FatalCode code, std::string_view text) {
  std::string bytes = hislip::messageEncode(Type::FatalError, static_cast<std::uint8_t>(code), 0, text);
  sink_.sendSync(bytes);
  if (asyncBound_) sink_.sendAsync(std::move(bytes));
  sink_.close();
}

// A message a client may not send, or not on this channel.
void HislipSession::unexpected(bool async, std::uint8_t type) {
  if (type >= hislip::kFirstVendorType) {
    errorSend(async, ErrorCode::UnrecognizedVendor, "Unrecognized vendor-defined message");
    return;
  }
  errorSend(async, ErrorCode::UnrecognizedType, "Unrecognized message type");
}

void HislipSession::rmtDelivered(std::uint8_t control, bool programMessage) {
  if (control & 0x01) {
    rmtExpected_ = false;
    mav_ = false;
    return;
  }
  // A status query may come while the reply is still being read: only new
  // program input (Data, DataEnd, Trigger) shows the reply was abandoned.
  if (strictRmt_ && programMessage && rmtExpected_) {
    // The client went on without reading the whole response.
    session_.logError(scpi::err::queryInterrupted);
    rmtExpected_ = false;
    mav_ = false;
  }
}

std::optional<HislipPending> HislipSession::programEnd(std::uint32_t messageId) {
  std::string program = std::move(input_);
  input_.clear();
  bool overflow = overflow_;
  overflow_ = false;
  if (overflow) {
    session_.logError(scpi::err::inputOverrun);
    return std::nullopt;
  }
  if (program.empty()) return std::nullopt;
  session_.execute(program);
  serviceRequestCheck();
  if (!session_.responsePending()) return std::nullopt;
  auto response = session_.read();
  if (!response) return std::nullopt;
  return HislipPending{std::move(*response), messageId, generation_};
}

void HislipSession::serviceRequestCheck() {
  if (!asyncBound_) return;
  if (auto stb = session_.takeServiceRequest())
    sink_.sendAsync(hislip::messageEncode(Type::AsyncServiceRequest, *stb, 0));
}

std::optional<HislipPending> HislipSession::syncMessage(const hislip::Message& m) {
  const std::uint8_t type = m.header.type;
  switch (m.type()) {
    case Type::Data:
    case Type::DataEnd:
    case Type::Trigger: {
      if (!asyncBound_) {
        fatalSend(FatalCode::ChannelsNotEstablished, "Asynchronous channel not initialized");
        return std::nullopt;
      }
      if (clearing_) return std::nullopt;  // input is dropped until the clear completes
      rmtDelivered(m.header.control, true);
      lastReceived_ = m.header.parameter;
      if (m.type() != Type::Trigger) {
        if (input_.size() + m.payload.size() > kMaxProgram) {
          overflow_ = true;
          input_.clear();
        } else if (!overflow_) {
          input_ += m.payload;
        }
      }
      if (m.type() == Type::Data) return std::nullopt;
      return programEnd(m.header.parameter);
    }
    case Type::DeviceClearComplete: {
      // Overlapped mode is not offered: the answer is always synchronized (bit 0 clear).
      clearing_ = false;
      input_.clear();
      overflow_ = false;
      rmtExpected_ = false;
      mav_ = false;
      lastReceived_ = hislip::kNoMessageSent;
      sink_.sendSync(hislip::messageEncode(Type::DeviceClearAcknowledge, 0, 0));
      return std::nullopt;
    }
    case Type::Initialize:
    case Type::AsyncInitialize:
      fatalSend(FatalCode::InvalidInitSequence, "Session already initialized");
      return std::nullopt;
    case Type::FatalError:
      sink_.close();
      return std::nullopt;
    case Type::Error:
      return std::nullopt;  // the client's complaint; nothing to answer
    default:
      unexpected(false, type);
      return std::nullopt;
  }
}

void HislipSession::asyncMessage(const hislip::Message& m) {
  switch (m.type()) {
    case Type::AsyncMaximumMessageSize: {
      auto size = hislip::sizePayloadDecode(m.payload);
      if (!size) {
        errorSend(true, ErrorCode::Unidentified, "Maximum message size needs an 8-byte payload");
        return;
      }
      maxOut_ = *size;
      sink_.sendAsync(hislip::messageEncode(Type::AsyncMaximumMessageSizeResponse, 0, 0,
                                            hislip::sizePayloadEncode(kMaxPayloadIn + hislip::kHeaderSize)));
      return;
    }
    case Type::AsyncStatusQuery: {
      rmtDelivered(m.header.control, false);
      std::uint8_t stb = session_.statusByte();
      if (mav_ && m.header.parameter == lastReceived_) stb |= hislip::kStatusMav;
      session_.rearmServiceRequest();
      sink_.sendAsync(hislip::messageEncode(Type::AsyncStatusResponse, stb, 0));
      return;
    }
    case Type::AsyncDeviceClear:
      clearing_ = true;
      ++generation_;
      input_.clear();
      overflow_ = false;
      session_.deviceClear();
      sink_.sendAsync(hislip::messageEncode(Type::AsyncDeviceClearAcknowledge, 0, 0));
      return;
    case Type::AsyncRemoteLocalControl:
      if (m.header.control > 6) {
        errorSend(true, ErrorCode::UnrecognizedControl, "Unrecognized remote/local request");
        return;
      }
      remoteLocal_ = m.header.control;
      sink_.sendAsync(hislip::messageEncode(Type::AsyncRemoteLocalResponse, 0, 0));
      return;
    case Type::Initialize:
    case Type::AsyncInitialize:
      fatalSend(FatalCode::InvalidInitSequence, "Session already initialized");
      return;
    case Type::FatalError:
      sink_.close();
      return;
    case Type::Error:
      return;
    default:
      unexpected(true, m.header.type);
      return;
  }
}

void HislipSession::responseSend(HislipPending pending) {
  if (pending.generation != generation_ || clearing_) return;
  const std::string& bytes = pending.response.bytes;
  // The client's limit counts the header too.
  std::uint64_t chunk = maxOut_ > hislip::kHeaderSize + 1 ? maxOut_ - hislip::kHeaderSize : 1;
  std::size_t offset = 0;
  do {
    std::size_t n = bytes.size() - offset;
    if (n > chunk) n = static_cast<std::size_t>(chunk);
    bool last = offset + n == bytes.size();
    sink_.sendSyncMessage(last ? Type::DataEnd : Type::Data, 0, pending.messageId,
                          std::string_view(bytes).substr(offset, n));
    offset += n;
  } while (offset < bytes.size());
  rmtExpected_ = true;
  mav_ = true;
}

void HislipSession::interrupt(std::uint32_t messageId) {
  session_.logError(scpi::err::queryInterrupted);
  sink_.sendAsync(hislip::messageEncode(Type::AsyncInterrupted, 0, messageId));
  sink_.sendSync(hislip::messageEncode(Type::Interrupted, 0, messageId));
}

}  // namespace kavrel::sim
