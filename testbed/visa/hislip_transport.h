// A HiSLIP client session in synchronized mode: the synchronous channel
// carries the data, the asynchronous one status queries and device clear.
//
// Replies are matched to queries by MessageID: a reply whose DataEnd does not
// carry the ID of the latest message sent is dropped, and every new message
// drops reply bytes not yet read. So after a time-out the late answer to the
// old query is never taken as the answer to the next one. Answers on the
// asynchronous channel carry no ID: one still owed to a timed-out status
// query is dropped when it arrives. A time-out in the middle of a message
// keeps the part received, and the unsent rest of a message goes out before
// anything else, so the framing on both channels always stays intact.
#ifndef KAVREL_STANDIN_HISLIP_TRANSPORT_H
#define KAVREL_STANDIN_HISLIP_TRANSPORT_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "testbed/hislip/hislip.h"
#include "testbed/visa/net.h"
#include "testbed/visa/transport.h"

namespace kavrel::standin {

class HislipTransport final : public NetworkTransport {
 public:
  explicit HislipTransport(ViSession vi);
  ~HislipTransport() override;
  HislipTransport(const HislipTransport&) = delete;
  HislipTransport& operator=(const HislipTransport&) = delete;

  // Connect both channels and run the initialization and the maximum-size exchange.
  ViStatus open(const NetworkAddress& address, ViUInt32 timeoutMs) override;

  ViStatus write(std::string_view bytes, bool end, ViUInt32 timeoutMs) override;
  ViStatus read(ViByte* buf, std::size_t capacity, ViUInt32 timeoutMs, std::size_t& received, bool& end) override;
  ViStatus clear(ViUInt32 timeoutMs) override;
  ViStatus readStatusByte(ViUInt32 timeoutMs, ViUInt16& stb) override;
  ViStatus lock(std::string_view sharedKey, ViUInt32 lockTimeoutMs, ViUInt32 timeoutMs) override;
  ViStatus unlock(ViUInt32 timeoutMs) override;
  ViStatus trigger(ViUInt32 timeoutMs) override;
  ViStatus remoteLocal(ViUInt16 mode, ViUInt32 timeoutMs) override;
  std::optional<AttributeValue> protocolAttribute(ViAttr attr) const override;
  std::optional<ViStatus> setProtocolAttribute(ViAttr attr, ViAttrState value, ViUInt32 timeoutMs) override;

 private:
  struct Channel {
    explicit Channel(const char* channelName);
    const char* name;  // for the trace
    int fd = -1;
    kavrel::hislip::Decoder in;  // keeps a message cut short by a time-out
    std::string unsent;          // what a time-out kept from going out; sent before anything else
  };
  enum class ClearStage { none, awaitAsyncAck, awaitSyncAck };

  ViStatus send(Channel& channel, kavrel::hislip::Type type, std::uint8_t control, std::uint32_t parameter,
                std::string_view payload, const net::Deadline& deadline);
  ViStatus flush(Channel& channel, const net::Deadline& deadline);
  ViStatus receive(Channel& channel, const net::Deadline& deadline, kavrel::hislip::Message& out);
  ViStatus expect(Channel& channel, kavrel::hislip::Type wanted, const net::Deadline& deadline,
                  kavrel::hislip::Message& out);
  ViStatus awaitAsync(kavrel::hislip::Type wanted, const net::Deadline& deadline, kavrel::hislip::Message& out);
  ViStatus takeSync(const kavrel::hislip::Message& message);
  // Whether a Data or DataEnd message with this ID answers the latest message sent.
  bool current(const kavrel::hislip::Header& header) const;
  // Start delivering the next synchronous message's payload straight to the
  // reader when it is a current reply: `started` says so. Anything else stays
  // for receive().
  ViStatus startStream(const net::Deadline& deadline, bool& started);
  ViStatus deliverStream(ViByte* buf, std::size_t capacity, const net::Deadline& deadline, std::size_t& received,
                         bool& end);
  // Drop what is left of a reply payload no longer wanted.
  ViStatus discardStale(const net::Deadline& deadline);
  // More bytes from a channel's socket into its decoder.
  ViStatus fill(Channel& channel, const net::Deadline& deadline);
  ViStatus finishClear(const net::Deadline& deadline);
  // One request on the asynchronous channel and its answer of type `wanted`;
  // an answer that comes too late is dropped when it arrives.
  ViStatus asyncExchange(kavrel::hislip::Type type, std::uint8_t control, std::uint32_t parameter,
                         std::string_view payload, kavrel::hislip::Type wanted, const net::Deadline& deadline,
                         kavrel::hislip::Message& answer);
  // Offer the server the largest message we take.
  ViStatus offerMaxMessage(std::uint64_t size, const net::Deadline& deadline);
  // Send Data, DataEnd or Trigger with the next MessageID.
  ViStatus sendNumbered(kavrel::hislip::Type type, std::string_view payload, const net::Deadline& deadline);
  // Close both channels for good, after a FatalError with `fatalCode` unless it is negative.
  ViStatus lose(std::string_view why, int fatalCode);
  std::uint8_t takeRmtDelivered();
  void dropReply();
  void traceMessage(const Channel& channel, bool sent, const kavrel::hislip::Header& header,
                    std::string_view payload) const;

  const ViSession vi_;
  Channel sync_{"sync"};
  Channel async_{"async"};
  std::vector<char> chunk_;   // receive buffer
  bool lost_ = false;         // every later call answers VI_ERROR_CONN_LOST
  bool overlapped_ = false;   // the mode the server set
  std::uint64_t maxPayloadOut_ = 0;  // per message to the server, from its maximum message size
  std::uint64_t maxMessageIn_ = 0;   // the largest message we offered to take
  std::uint16_t version_ = 0;        // negotiated protocol version

  // MessageIDs: the next to use, and the latest sent (the one a reply must carry).
  std::uint32_t nextId_ = kavrel::hislip::kFirstMessageId;
  std::uint32_t lastSentId_ = kavrel::hislip::kNoMessageSent;
  bool rmtDelivered_ = false;  // a whole reply went to the application; told once

  // Reply bytes accepted and not yet read; replyEnd_: the last one carries END.
  // Taken whole this way only while tracing; otherwise payloads stream below.
  std::string reply_;
  std::size_t replyPos_ = 0;
  bool replyEnd_ = false;

  // The reply message whose payload goes straight to the reader: bytes still
  // to come, and whether it is a DataEnd. A reply that went stale before it
  // was read leaves its rest to drop.
  bool streaming_ = false;
  std::uint64_t streamLeft_ = 0;
  bool streamEnd_ = false;
  std::uint64_t staleLeft_ = 0;

  ClearStage clearStage_ = ClearStage::none;
  // Asynchronous answers still owed to requests that timed out, by message type.
  std::array<unsigned, 256> owed_{};
};

}  // namespace kavrel::standin

#endif
