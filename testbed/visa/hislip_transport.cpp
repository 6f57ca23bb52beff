// HiSLIP client transport (synchronized mode).
#include "testbed/visa/hislip_transport.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "testbed/visa/standin_internal.h"
#include "testbed/visa/trace.h"

namespace kavrel::standin {
namespace {

namespace hs = kavrel::hislip;
using hs::Type;

constexpr std::uint16_t kVendorId = ('K' << 8) | 'V';
// Largest message (header included) the server may send us, as VISA offers by default.
constexpr std::uint64_t kMaxMessageIn = 1U << 20;
// Servers that leave the header out of the count are accepted too.
constexpr std::uint64_t kMaxPayloadIn = kMaxMessageIn;
constexpr std::size_t kChunkSize = 64 * 1024;
constexpr int kNoFatalError = -1;
// VISA codes the shared header leaves out: the server has no room for another
// client; the server insists on overlapped mode.
constexpr ViStatus kErrorRsrcBusy = _VI_ERROR + 0x3FFF0072L;
constexpr ViStatus kErrorNsupMode = _VI_ERROR + 0x3FFF0046L;

std::string decimal(std::uint64_t value) {
  char digits[24];
  const auto printed = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, printed.ptr);
}

// During open a dropped connection or an unexpected answer means no usable HiSLIP server there.
ViStatus openFailure(ViStatus status) { return status == VI_ERROR_CONN_LOST ? VI_ERROR_RSRC_NFOUND : status; }

}  // namespace

HislipTransport::Channel::Channel(const char* channelName) : name(channelName), in(kMaxPayloadIn) {}

HislipTransport::HislipTransport(ViSession vi) : vi_(vi), chunk_(kChunkSize) {}

HislipTransport::~HislipTransport() {
  net::closeSocket(sync_.fd);
  net::closeSocket(async_.fd);
}

// ---- messages -------------------------------------------------------------------
void HislipTransport::traceMessage(const Channel& channel, bool sent, const hs::Header& header,
                                   std::string_view payload) const {
  if (!trace::enabled()) return;
  std::string text = sent ? "-> " : "<- ";
  text.append(channel.name)
      .append(" ")
      .append(hs::typeName(header.type))
      .append(" control ")
      .append(decimal(header.control))
      .append(" parameter ")
      .append(trace::hex32(header.parameter))
      .append(" length ")
      .append(decimal(header.length));
  if (!payload.empty()) text.append(" ").append(trace::quoted(payload));
  trace::line(vi_, text);
}

ViStatus HislipTransport::lose(std::string_view why, int fatalCode) {
  if (fatalCode != kNoFatalError) {
    const std::string fatal = hs::messageEncode(Type::FatalError, static_cast<std::uint8_t>(fatalCode), 0, why);
    net::sendNow(sync_.fd, fatal);
    net::sendNow(async_.fd, fatal);
  }
  if (trace::enabled()) trace::line(vi_, std::string("connection lost: ").append(why));
  net::closeSocket(sync_.fd);
  net::closeSocket(async_.fd);
  lost_ = true;
  dropReply();
  return VI_ERROR_CONN_LOST;
}

ViStatus HislipTransport::flush(Channel& channel, const net::Deadline& deadline) {
  std::string_view rest = channel.unsent;
  const net::IoResult result = net::sendAll(channel.fd, rest, deadline);
  channel.unsent.erase(0, channel.unsent.size() - rest.size());
  switch (result) {
    case net::IoResult::ok: return VI_SUCCESS;
    case net::IoResult::timeout: return VI_ERROR_TMO;
    case net::IoResult::closed: break;
  }
  return lose("send failed", kNoFatalError);
}

// Header and payload go out together in one send call, the payload from
// where it lies. Once here the message is queued: on a time-out the rest is
// kept and goes out before the next message.
ViStatus HislipTransport::send(Channel& channel, Type type, std::uint8_t control, std::uint32_t parameter,
                               std::string_view payload, const net::Deadline& deadline) {
  const hs::Header header{static_cast<std::uint8_t>(type), control, parameter, payload.size()};
  traceMessage(channel, true, header, payload);
  if (!channel.unsent.empty()) {
    channel.unsent += hs::messageEncode(type, control, parameter, payload);
    return flush(channel, deadline);
  }
  std::array<std::uint8_t, hs::kHeaderSize> head{};
  hs::headerEncode(header, head);
  const std::string_view headText(reinterpret_cast<const char*>(head.data()), head.size());
  std::size_t sent = 0;
  const net::IoResult result = net::sendGathered(channel.fd, headText, payload, deadline, sent);
  if (result == net::IoResult::ok) return VI_SUCCESS;
  channel.unsent.assign(headText.substr(std::min(sent, headText.size())));
  channel.unsent.append(payload.substr(sent > headText.size() ? sent - headText.size() : 0));
  if (result == net::IoResult::timeout) return VI_ERROR_TMO;
  return lose("send failed", kNoFatalError);
}

ViStatus HislipTransport::fill(Channel& channel, const net::Deadline& deadline) {
  switch (channel.in.state()) {
    case hs::Decoder::State::ok: break;
    case hs::Decoder::State::badPrologue:
      return lose("poorly formed message header", static_cast<int>(hs::FatalCode::PoorlyFormedHeader));
    case hs::Decoder::State::tooLarge: {
      // Larger than we offered: refused with a non-fatal Error on its channel and skipped.
      const hs::Header& rejected = channel.in.rejectedHeader();
      traceMessage(channel, false, rejected, "(payload above the maximum message size, discarded)");
      channel.in.skipRejected();
      if (ViStatus status = send(channel, Type::Error, static_cast<std::uint8_t>(hs::ErrorCode::MessageTooLarge), 0,
                                 "Message too large", deadline);
          status < VI_SUCCESS) {
        return status;
      }
      return VI_SUCCESS;
    }
  }
  std::size_t received = 0;
  switch (net::receiveSome(channel.fd, chunk_.data(), chunk_.size(), deadline, received)) {
    case net::IoResult::ok: channel.in.feed(std::string_view(chunk_.data(), received)); return VI_SUCCESS;
    case net::IoResult::timeout: return VI_ERROR_TMO;
    case net::IoResult::closed: break;
  }
  return lose("closed by the server", kNoFatalError);
}

ViStatus HislipTransport::discardStale(const net::Deadline& deadline) {
  while (staleLeft_ > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(staleLeft_, chunk_.size()));
    std::size_t dropped = sync_.in.consume(want);
    if (dropped == 0) {
      switch (net::receiveSome(sync_.fd, chunk_.data(), want, deadline, dropped)) {
        case net::IoResult::ok: break;
        case net::IoResult::timeout: return VI_ERROR_TMO;
        case net::IoResult::closed: return lose("closed by the server", kNoFatalError);
      }
    }
    staleLeft_ -= dropped;
  }
  return VI_SUCCESS;
}

ViStatus HislipTransport::receive(Channel& channel, const net::Deadline& deadline, hs::Message& out) {
  if (&channel == &sync_) {
    if (ViStatus status = discardStale(deadline); status < VI_SUCCESS) return status;
  }
  for (;;) {
    if (std::optional<hs::Message> message = channel.in.next()) {
      traceMessage(channel, false, message->header, message->payload);
      out = std::move(*message);
      if (out.type() == Type::FatalError) return lose("fatal error from the server", kNoFatalError);
      return VI_SUCCESS;
    }
    if (ViStatus status = fill(channel, deadline); status < VI_SUCCESS) return status;
  }
}

// The next message on a channel during open, which must be `wanted`.
ViStatus HislipTransport::expect(Channel& channel, Type wanted, const net::Deadline& deadline, hs::Message& out) {
  const ViStatus status = receive(channel, deadline, out);
  if (status == VI_ERROR_CONN_LOST && out.type() == Type::FatalError &&
      out.header.control == static_cast<std::uint8_t>(hs::FatalCode::TooManyClients)) {
    return kErrorRsrcBusy;
  }
  if (status < VI_SUCCESS) return openFailure(status);
  if (out.type() != wanted) return openFailure(lose("unexpected answer during initialization", kNoFatalError));
  return VI_SUCCESS;
}

// The next asynchronous message of type `wanted`; others (service requests,
// interruptions, errors, answers owed to timed-out requests) are dropped.
ViStatus HislipTransport::awaitAsync(Type wanted, const net::Deadline& deadline, hs::Message& out) {
  for (;;) {
    if (ViStatus status = receive(async_, deadline, out); status < VI_SUCCESS) return status;
    if (out.header.type != static_cast<std::uint8_t>(wanted)) continue;
    unsigned& owed = owed_[out.header.type];
    if (owed == 0) return VI_SUCCESS;
    --owed;
  }
}

std::uint8_t HislipTransport::takeRmtDelivered() {
  const std::uint8_t flag = rmtDelivered_ ? 1 : 0;
  rmtDelivered_ = false;
  return flag;
}

void HislipTransport::dropReply() {
  reply_.clear();
  replyPos_ = 0;
  replyEnd_ = false;
  if (streaming_) staleLeft_ += streamLeft_;
  streaming_ = false;
  streamLeft_ = 0;
}

// ---- open -----------------------------------------------------------------
ViStatus HislipTransport::open(const NetworkAddress& address, ViUInt32 timeoutMs) {
  const ViUInt32 openTimeout = std::max(timeoutMs, net::kConnectMinimumMs);
  const net::Deadline deadline(openTimeout);
  hs::Message answer;
  if (ViStatus status = net::connectTo(address.host, address.port, deadline, sync_.fd); status < VI_SUCCESS) {
    return status;
  }
  ViStatus status = send(sync_, Type::Initialize, 0, hs::initParameter(hs::kVersion10, kVendorId), address.device,
                         deadline);
  if (status >= VI_SUCCESS) status = expect(sync_, Type::InitializeResponse, deadline, answer);
  if (status < VI_SUCCESS) return openFailure(status);
  const std::uint16_t sessionId = hs::paramLow(answer.header.parameter);
  version_ = hs::paramHigh(answer.header.parameter);
  overlapped_ = (answer.header.control & 1) != 0;

  if (status = net::connectTo(address.host, address.port, deadline, async_.fd); status < VI_SUCCESS) return status;
  status = send(async_, Type::AsyncInitialize, 0, sessionId, {}, deadline);
  if (status >= VI_SUCCESS) status = expect(async_, Type::AsyncInitializeResponse, deadline, answer);
  if (status >= VI_SUCCESS) status = offerMaxMessage(kMaxMessageIn, deadline);
  if (status < VI_SUCCESS) return openFailure(status);

  // A server that starts overlapped is asked for synchronized mode through a device clear.
  if (overlapped_) {
    if (status = clear(openTimeout); status < VI_SUCCESS) return openFailure(status);
    if (overlapped_) return kErrorNsupMode;
  }
  return VI_SUCCESS;
}

ViStatus HislipTransport::offerMaxMessage(std::uint64_t size, const net::Deadline& deadline) {
  hs::Message answer;
  if (ViStatus status = asyncExchange(Type::AsyncMaximumMessageSize, 0, 0, hs::sizePayloadEncode(size),
                                      Type::AsyncMaximumMessageSizeResponse, deadline, answer);
      status < VI_SUCCESS) {
    return status;
  }
  const std::optional<std::uint64_t> maxOut = hs::sizePayloadDecode(answer.payload);
  if (!maxOut || *maxOut <= hs::kHeaderSize) {
    return lose("maximum message size too small", static_cast<int>(hs::FatalCode::Unidentified));
  }
  maxPayloadOut_ = *maxOut - hs::kHeaderSize;
  maxMessageIn_ = size;
  // Servers that leave the header out of the count are accepted too.
  sync_.in.setMaxPayload(size);
  return VI_SUCCESS;
}

ViStatus HislipTransport::asyncExchange(Type type, std::uint8_t control, std::uint32_t parameter,
                                        std::string_view payload, Type wanted, const net::Deadline& deadline,
                                        hs::Message& answer) {
  ViStatus status = send(async_, type, control, parameter, payload, deadline);
  if (status >= VI_SUCCESS) status = awaitAsync(wanted, deadline, answer);
  if (status == VI_ERROR_TMO) ++owed_[static_cast<std::uint8_t>(wanted)];  // the late answer is not for the next request
  return status;
}

// ---- data -----------------------------------------------------------------
ViStatus HislipTransport::sendNumbered(Type type, std::string_view payload, const net::Deadline& deadline) {
  lastSentId_ = nextId_;
  nextId_ += 2;  // wraps past 0xFFFFFFFE to 0
  return send(sync_, type, takeRmtDelivered(), lastSentId_, payload, deadline);
}

ViStatus HislipTransport::write(std::string_view bytes, bool end, ViUInt32 timeoutMs) {
  if (lost_) return VI_ERROR_CONN_LOST;
  const net::Deadline deadline(timeoutMs);
  if (ViStatus status = finishClear(deadline); status < VI_SUCCESS) return status;
  if (bytes.empty() && !end) return VI_SUCCESS;
  dropReply();  // a new message makes any unread reply stale
  do {
    const std::string_view piece = bytes.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(
                                                        bytes.size(), maxPayloadOut_)));
    bytes.remove_prefix(piece.size());
    const Type type = bytes.empty() && end ? Type::DataEnd : Type::Data;
    if (ViStatus status = sendNumbered(type, piece, deadline); status < VI_SUCCESS) return status;
  } while (!bytes.empty());
  return VI_SUCCESS;
}

bool HislipTransport::current(const hs::Header& header) const {
  const std::uint32_t id = header.parameter;
  const bool isEnd = header.type == static_cast<std::uint8_t>(Type::DataEnd);
  return id == lastSentId_ || (!isEnd && id == hs::kNoMessageId);
}

// A message on the synchronous channel while a reply is awaited.
ViStatus HislipTransport::takeSync(const hs::Message& message) {
  switch (message.type()) {
    case Type::Data:
    case Type::DataEnd: {
      const bool isEnd = message.type() == Type::DataEnd;
      if (!current(message.header)) {
        dropReply();  // the answer to an older message: it and what came with it are stale
        if (trace::enabled()) trace::line(vi_, "stale reply dropped");
        return VI_SUCCESS;
      }
      reply_.append(message.payload);
      replyEnd_ = isEnd;
      return VI_SUCCESS;
    }
    case Type::Interrupted:
      dropReply();
      return VI_SUCCESS;
    default:  // errors and anything unknown are traced and dropped
      return VI_SUCCESS;
  }
}

ViStatus HislipTransport::startStream(const net::Deadline& deadline, bool& started) {
  started = false;
  if (trace::enabled()) return VI_SUCCESS;  // traced replies are taken whole, to show their bytes
  if (ViStatus status = discardStale(deadline); status < VI_SUCCESS) return status;
  std::optional<hs::Header> header;
  while (!(header = sync_.in.peekHeader())) {
    if (ViStatus status = fill(sync_, deadline); status < VI_SUCCESS) return status;
  }
  const auto type = static_cast<Type>(header->type);
  if ((type != Type::Data && type != Type::DataEnd) || !current(*header)) return VI_SUCCESS;
  sync_.in.consume(hs::kHeaderSize);
  streaming_ = true;
  streamLeft_ = header->length;
  streamEnd_ = type == Type::DataEnd;
  started = true;
  return VI_SUCCESS;
}

// Payload bytes go from the decoder, then from the socket, straight into the reader's buffer.
ViStatus HislipTransport::deliverStream(ViByte* buf, std::size_t capacity, const net::Deadline& deadline,
                                        std::size_t& received, bool& end) {
  while (received < capacity && streamLeft_ > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity - received, streamLeft_));
    char* to = reinterpret_cast<char*>(buf + received);
    std::size_t got = sync_.in.take(to, want);
    if (got == 0) {
      switch (net::receiveSome(sync_.fd, to, want, deadline, got)) {
        case net::IoResult::ok: break;
        case net::IoResult::timeout: return received > 0 ? VI_SUCCESS : VI_ERROR_TMO;
        case net::IoResult::closed: return lose("closed by the server", kNoFatalError);
      }
    }
    received += got;
    streamLeft_ -= got;
  }
  if (streamLeft_ == 0) {
    streaming_ = false;
    end = streamEnd_;
    rmtDelivered_ = rmtDelivered_ || end;
  }
  return VI_SUCCESS;
}

ViStatus HislipTransport::read(ViByte* buf, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& received,
                               bool& end) {
  received = 0;
  end = false;
  if (lost_) return VI_ERROR_CONN_LOST;
  const net::Deadline deadline(timeoutMs);
  if (ViStatus status = finishClear(deadline); status < VI_SUCCESS) return status;
  while (replyPos_ == reply_.size() && !replyEnd_) {
    if (streaming_) {
      if (ViStatus status = deliverStream(buf, capacity, deadline, received, end); status < VI_SUCCESS) return status;
      if (received > 0 || end || streaming_) return VI_SUCCESS;
      continue;  // an empty Data message: on to the next
    }
    bool started = false;
    if (ViStatus status = startStream(deadline, started); status < VI_SUCCESS) return status;
    if (started) continue;
    hs::Message message;
    if (ViStatus status = receive(sync_, deadline, message); status < VI_SUCCESS) return status;
    if (ViStatus status = takeSync(message); status < VI_SUCCESS) return status;
  }
  received = std::min(capacity, reply_.size() - replyPos_);
  std::memcpy(buf, reply_.data() + replyPos_, received);
  replyPos_ += received;
  if (replyPos_ == reply_.size()) {
    end = replyEnd_;
    rmtDelivered_ = rmtDelivered_ || end;
    dropReply();
  }
  return VI_SUCCESS;
}

// ---- device clear and status ----------------------------------------------------
ViStatus HislipTransport::clear(ViUInt32 timeoutMs) {
  if (lost_) return VI_ERROR_CONN_LOST;
  const net::Deadline deadline(timeoutMs);
  dropReply();
  if (clearStage_ == ClearStage::none) {
    // A message cut short by a time-out is finished first, so the framing holds.
    if (ViStatus status = flush(sync_, deadline); status < VI_SUCCESS) return status;
    clearStage_ = ClearStage::awaitAsyncAck;
    if (ViStatus status = send(async_, Type::AsyncDeviceClear, 0, 0, {}, deadline); status < VI_SUCCESS) {
      return status;
    }
  }
  return finishClear(deadline);
}

// Carry a device clear on as far as the time-out allows; a clear that timed
// out is finished by the next operation, since the server drops data until then.
ViStatus HislipTransport::finishClear(const net::Deadline& deadline) {
  hs::Message message;
  if (clearStage_ == ClearStage::awaitAsyncAck) {
    if (ViStatus status = awaitAsync(Type::AsyncDeviceClearAcknowledge, deadline, message); status < VI_SUCCESS) {
      return status;
    }
    owed_.fill(0);  // answers to earlier requests came ahead of the acknowledgement
    clearStage_ = ClearStage::awaitSyncAck;
    // Ask for synchronized mode (feature bit 0 clear).
    if (ViStatus status = send(sync_, Type::DeviceClearComplete, 0, 0, {}, deadline); status < VI_SUCCESS) {
      return status;
    }
  }
  if (clearStage_ == ClearStage::awaitSyncAck) {
    do {  // everything else on the channel belongs to before the clear
      if (ViStatus status = receive(sync_, deadline, message); status < VI_SUCCESS) return status;
    } while (message.type() != Type::DeviceClearAcknowledge);
    overlapped_ = (message.header.control & 1) != 0;
    nextId_ = hs::kFirstMessageId;
    lastSentId_ = hs::kNoMessageSent;
    rmtDelivered_ = false;
    dropReply();
    clearStage_ = ClearStage::none;
  }
  return VI_SUCCESS;
}

ViStatus HislipTransport::readStatusByte(ViUInt32 timeoutMs, ViUInt16& stb) {
  if (lost_) return VI_ERROR_CONN_LOST;
  const net::Deadline deadline(timeoutMs);
  if (ViStatus status = finishClear(deadline); status < VI_SUCCESS) return status;
  hs::Message answer;
  if (ViStatus status = asyncExchange(Type::AsyncStatusQuery, takeRmtDelivered(), lastSentId_, {},
                                      Type::AsyncStatusResponse, deadline, answer);
      status < VI_SUCCESS) {
    return status;
  }
  stb = answer.header.control;
  return VI_SUCCESS;
}

// ---- locks, trigger, remote/local -------------------------------------------------
ViStatus HislipTransport::lock(std::string_view sharedKey, ViUInt32 lockTimeoutMs, ViUInt32 timeoutMs) {
  if (lost_) return VI_ERROR_CONN_LOST;
  // The server may take the whole lock time-out before it answers.
  const bool infinite = lockTimeoutMs == VI_TMO_INFINITE || timeoutMs == VI_TMO_INFINITE;
  const net::Deadline deadline(infinite ? VI_TMO_INFINITE
                                        : static_cast<ViUInt32>(std::min<std::uint64_t>(
                                              std::uint64_t{lockTimeoutMs} + timeoutMs, VI_TMO_INFINITE - 1)));
  if (ViStatus status = finishClear(deadline); status < VI_SUCCESS) return status;
  hs::Message answer;
  if (ViStatus status = asyncExchange(Type::AsyncLock, 1, lockTimeoutMs, sharedKey, Type::AsyncLockResponse,
                                      deadline, answer);
      status < VI_SUCCESS) {
    return status;
  }
  switch (answer.header.control) {
    case 1: return VI_SUCCESS;
    case 0: return VI_ERROR_TMO;  // others held it for the whole time-out
    default: return VI_ERROR_RSRC_LOCKED;
  }
}

ViStatus HislipTransport::unlock(ViUInt32 timeoutMs) {
  if (lost_) return VI_ERROR_CONN_LOST;
  const net::Deadline deadline(timeoutMs);
  if (ViStatus status = finishClear(deadline); status < VI_SUCCESS) return status;
  hs::Message answer;
  if (ViStatus status =
          asyncExchange(Type::AsyncLock, 0, lastSentId_, {}, Type::AsyncLockResponse, deadline, answer);
      status < VI_SUCCESS) {
    return status;
  }
  return answer.header.control == 1 || answer.header.control == 2 ? VI_SUCCESS : kErrorSesnNlocked;
}

ViStatus HislipTransport::trigger(ViUInt32 timeoutMs) {
  if (lost_) return VI_ERROR_CONN_LOST;
  const net::Deadline deadline(timeoutMs);
  if (ViStatus status = finishClear(deadline); status < VI_SUCCESS) return status;
  dropReply();  // like any new message, a trigger makes an unread reply stale
  return sendNumbered(Type::Trigger, {}, deadline);
}

ViStatus HislipTransport::remoteLocal(ViUInt16 mode, ViUInt32 timeoutMs) {
  if (lost_) return VI_ERROR_CONN_LOST;
  const net::Deadline deadline(timeoutMs);
  if (ViStatus status = finishClear(deadline); status < VI_SUCCESS) return status;
  hs::Message answer;
  return asyncExchange(Type::AsyncRemoteLocalControl, static_cast<std::uint8_t>(mode), lastSentId_, {},
                       Type::AsyncRemoteLocalResponse, deadline, answer);
}

// ---- attributes -------------------------------------------------------------
std::optional<Transport::AttributeValue> HislipTransport::protocolAttribute(ViAttr attr) const {
  switch (attr) {
    case VI_ATTR_TCPIP_IS_HISLIP: return AttributeValue{VI_TRUE, 2};
    case VI_ATTR_TCPIP_HISLIP_VERSION:  // ViVersion: major in bits 20..31, minor in 12..19
      return AttributeValue{(ViUInt64{version_} >> 8) << 20 | (ViUInt64{version_} & 0xFF) << 12, 4};
    case VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB: return AttributeValue{maxMessageIn_ / 1024, 4};
    default: return std::nullopt;
  }
}

std::optional<ViStatus> HislipTransport::setProtocolAttribute(ViAttr attr, ViAttrState value, ViUInt32 timeoutMs) {
  switch (attr) {
    case VI_ATTR_TCPIP_IS_HISLIP:
    case VI_ATTR_TCPIP_HISLIP_VERSION: return VI_ERROR_ATTR_READONLY;
    case VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB: {
      // A new offer goes to the server at once; at least room for a header and one byte.
      if (value == 0 || value > 0xFFFFFFFFU) return VI_ERROR_NSUP_ATTR_STATE;
      if (lost_) return VI_ERROR_CONN_LOST;
      return offerMaxMessage(std::uint64_t{value} * 1024, net::Deadline(timeoutMs));
    }
    default: return std::nullopt;
  }
}

std::unique_ptr<NetworkTransport> makeHislipTransport(ViSession vi) { return std::make_unique<HislipTransport>(vi); }

}  // namespace kavrel::standin
