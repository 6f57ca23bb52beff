// HiSLIP framing (exact header bytes, stream decoding) and the server's
// session state machine driven without sockets.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "testbed/hislip/hislip.h"
#include "testbed/sim/hislip_session.h"

namespace kavrel::sim {
namespace {

using hislip::Type;

TEST(HislipFraming, HeaderBytesAreBigEndian) {
  std::string m = hislip::messageEncode(Type::DataEnd, 1, 0xFFFFFF00u, "*IDN?");
  const std::string expected = std::string("HS\x07\x01\xFF\xFF\xFF\x00", 8) + std::string(7, '\0') + "\x05*IDN?";
  EXPECT_EQ(m, expected);
  auto h = hislip::headerDecode(std::span<const std::uint8_t, 16>(reinterpret_cast<const std::uint8_t*>(m.data()), 16));
  ASSERT_TRUE(h);
  EXPECT_EQ(h->type, 7);
  EXPECT_EQ(h->control, 1);
  EXPECT_EQ(h->parameter, 0xFFFFFF00u);
  EXPECT_EQ(h->length, 5u);
  m[1] = 'X';
  EXPECT_FALSE(hislip::headerDecode(std::span<const std::uint8_t, 16>(reinterpret_cast<const std::uint8_t*>(m.data()), 16)));
  EXPECT_EQ(hislip::sizePayloadEncode(0x0102030405060708ull), "\x01\x02\x03\x04\x05\x06\x07\x08");
  EXPECT_EQ(hislip::sizePayloadDecode("1234567"), std::nullopt);
  EXPECT_EQ(hislip::sizePayloadDecode(std::string("\x00\x00\x00\x00\x00\x10\x00\x00", 8)), 0x100000u);
  EXPECT_EQ(hislip::initParameter(0x0100, 0x7878), 0x01007878u);
  EXPECT_EQ(hislip::typeName(21), "AsyncStatusQuery");
  EXPECT_EQ(hislip::typeName(99), "type 99");
}

TEST(HislipFraming, DecoderTakesAnySplitOfTheStream) {
  std::string stream = hislip::messageEncode(Type::Data, 0, 1, "abc") + hislip::messageEncode(Type::DataEnd, 0, 1, "") +
                       hislip::messageEncode(Type::AsyncStatusQuery, 1, 7);
  for (std::size_t chunk : {1u, 2u, 15u, 16u, 17u, 1000u}) {
    SCOPED_TRACE(chunk);
    hislip::Decoder d(100);
    std::vector<std::pair<int, std::string>> got;
    for (std::size_t i = 0; i < stream.size(); i += chunk) {
      d.feed(std::string_view(stream).substr(i, chunk));
      while (auto m = d.next()) got.emplace_back(m->header.type, m->payload);
    }
    EXPECT_EQ(got, (std::vector<std::pair<int, std::string>>{{6, "abc"}, {7, ""}, {21, ""}}));
    EXPECT_EQ(d.state(), hislip::Decoder::State::ok);
    EXPECT_EQ(d.buffered(), 0u);
  }
}

// The buffered reader over a socket: messages sent together, a payload larger
// than its buffer sent by the gathered send (read whole, then rejected and
// skipped), then the end of the stream inside a header or before one.
TEST(HislipFraming, ReaderTakesMessagesSentTogetherAndLargeOnes) {
  const std::string large(200000, 'x');
  for (bool cutInHeader : {false, true}) {
    SCOPED_TRACE(cutInHeader);
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    std::thread writer([&] {
      std::array<std::uint8_t, hislip::kHeaderSize> header{};
      hislip::headerEncode({static_cast<std::uint8_t>(Type::Data), 0, 2, large.size()}, header);
      hislip::sendAll(fds[0], hislip::messageEncode(Type::Data, 0, 1, "abc") +
                                  hislip::messageEncode(Type::Trigger, 0, 1) +
                                  hislip::messageEncode(Type::DataEnd, 0, 1, std::string(300, 'r')));
      hislip::sendAllGathered(fds[0], header, large);
      hislip::sendAllGathered(fds[0], header, large);
      hislip::sendAll(fds[0], hislip::messageEncode(Type::DataEnd, 1, 3, "*IDN?") +
                                  (cutInHeader ? std::string("HS\x06") : std::string()));
      ::shutdown(fds[0], SHUT_WR);
    });
    hislip::Reader reader(fds[1]);
    std::vector<std::pair<int, std::string>> got;
    hislip::Message m;
    for (std::uint64_t limit : {1000u, 1000u, 1000u, 250000u, 1000u, 1000u}) {
      const hislip::ReadStatus status = reader.read(limit, m, 5000);
      if (status == hislip::ReadStatus::tooLarge) {
        EXPECT_TRUE(reader.skip(m.header.length));
        got.emplace_back(-1, "");
      } else {
        EXPECT_EQ(status, hislip::ReadStatus::ok);
        got.emplace_back(m.header.type, m.payload);
      }
    }
    EXPECT_EQ(reader.read(1000, m, 5000), cutInHeader ? hislip::ReadStatus::truncated : hislip::ReadStatus::closed);
    writer.join();
    ::close(fds[0]);
    ::close(fds[1]);
    EXPECT_EQ(got, (std::vector<std::pair<int, std::string>>{
                       {6, "abc"}, {12, ""}, {7, std::string(300, 'r')}, {6, large}, {-1, ""}, {7, "*IDN?"}}));
  }
}

TEST(HislipFraming, DecoderStopsAtBadPrologueAndOversizedPayload) {
  hislip::Decoder bad(100);
  bad.feed("XS" + std::string(14, '\0'));
  EXPECT_FALSE(bad.next());
  EXPECT_EQ(bad.state(), hislip::Decoder::State::badPrologue);
  hislip::Decoder big(4);
  big.feed(hislip::messageEncode(Type::Data, 0, 3, "12345"));
  EXPECT_FALSE(big.next());
  EXPECT_EQ(big.state(), hislip::Decoder::State::tooLarge);
  EXPECT_EQ(big.rejectedHeader().length, 5u);
}

// ---- session state machine ----------------------------------------------------------------

struct RecordingSink : HislipSink {
  std::vector<hislip::Message> sync, async;
  bool closed = false;
  static hislip::Message decode(const std::string& bytes) {
    hislip::Decoder d(1u << 30);
    d.feed(bytes);
    auto m = d.next();
    return m ? *m : hislip::Message{};
  }
  void sendSync(std::string bytes) override { sync.push_back(decode(bytes)); }
  void sendAsync(std::string bytes) override { async.push_back(decode(bytes)); }
  void close() override { closed = true; }
};

hislip::Message msg(Type t, std::uint8_t control, std::uint32_t param, std::string payload = {}) {
  hislip::Message m;
  m.header = {static_cast<std::uint8_t>(t), control, param, payload.size()};
  m.payload = std::move(payload);
  return m;
}

struct SessionFixture : ::testing::Test {
  Instrument instrument;
  RecordingSink sink;
  HislipSession session{instrument, 5, hislip::kVersion10, sink};
  void SetUp() override { session.asyncBind(); }
  // A program message ended with DataEnd; the response sent right away.
  void run(std::string text, std::uint32_t id, std::uint8_t rmt = 0) {
    auto pending = session.syncMessage(msg(Type::DataEnd, rmt, id, std::move(text)));
    if (pending) session.responseSend(std::move(*pending));
  }
  std::uint8_t status(std::uint32_t id, std::uint8_t rmt = 0) {
    session.asyncMessage(msg(Type::AsyncStatusQuery, rmt, id));
    return sink.async.back().header.control;
  }
};

TEST_F(SessionFixture, ResponseCarriesTheMessageIdThatEndedTheProgram) {
  EXPECT_FALSE(session.syncMessage(msg(Type::Data, 0, 0xFFFFFF00u, "*ID")));
  run("N?", 0xFFFFFF02u);
  ASSERT_EQ(sink.sync.size(), 1u);
  EXPECT_EQ(sink.sync[0].type(), Type::DataEnd);
  EXPECT_EQ(sink.sync[0].header.parameter, 0xFFFFFF02u);
  EXPECT_EQ(sink.sync[0].header.control, 0);
  EXPECT_EQ(sink.sync[0].payload, "OVR,4101,100001,1.00\n");
  run("*CLS", 0xFFFFFF04u);  // no response, nothing sent
  EXPECT_EQ(sink.sync.size(), 1u);
}

TEST_F(SessionFixture, ResponsesAreSplitAtTheClientsMaximum) {
  session.asyncMessage(msg(Type::AsyncMaximumMessageSize, 0, 0, hislip::sizePayloadEncode(16 + 10)));
  ASSERT_EQ(sink.async.back().type(), Type::AsyncMaximumMessageSizeResponse);
  EXPECT_EQ(hislip::sizePayloadDecode(sink.async.back().payload), HislipSession::kMaxPayloadIn + 16);
  run(":SOUR:SWE:POIN 6;:SCAL:DATA:BIN?", 8);  // "#0", 24 bytes, a line feed: 27 bytes in pieces of 10
  ASSERT_EQ(sink.sync.size(), 3u);
  std::string all;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(sink.sync[i].type(), i < 2 ? Type::Data : Type::DataEnd);
    EXPECT_EQ(sink.sync[i].header.parameter, 8u);
    EXPECT_LE(sink.sync[i].payload.size(), 10u);
    all += sink.sync[i].payload;
  }
  EXPECT_EQ(all.size(), 27u);
  EXPECT_EQ(all.substr(0, 2), "#0");
  EXPECT_EQ(all.back(), '\n') << "NL^END closes the block";
}

TEST_F(SessionFixture, MessageAvailableUntilTheClientConfirmsDelivery) {
  EXPECT_EQ(status(hislip::kNoMessageSent) & hislip::kStatusMav, 0);
  run("*IDN?", 10);
  EXPECT_EQ(status(10) & hislip::kStatusMav, hislip::kStatusMav);
  EXPECT_EQ(status(12) & hislip::kStatusMav, 0);  // the query overtook data the server has not seen
  EXPECT_EQ(status(10, 1) & hislip::kStatusMav, 0);  // delivered
  run("*IDN?", 12);
  run("*CLS", 14, 1);  // the next message confirms the response
  EXPECT_EQ(status(14) & hislip::kStatusMav, 0);
}

TEST_F(SessionFixture, DeviceClearDropsInputAndHeldResponses) {
  EXPECT_FALSE(session.syncMessage(msg(Type::Data, 0, 2, "*ID")));
  auto held = session.syncMessage(msg(Type::DataEnd, 0, 4, "*OPT?"));  // "*ID*OPT?" is not a header
  auto pending = session.syncMessage(msg(Type::DataEnd, 0, 6, "*OPT?"));
  ASSERT_TRUE(pending);
  session.asyncMessage(msg(Type::AsyncDeviceClear, 0, 0));
  EXPECT_EQ(sink.async.back().type(), Type::AsyncDeviceClearAcknowledge);
  EXPECT_EQ(sink.async.back().header.control, 0);
  session.responseSend(std::move(*pending));  // made before the clear: dropped
  EXPECT_FALSE(session.syncMessage(msg(Type::DataEnd, 0, 8, "*OPT?")));  // input before the handshake ends
  EXPECT_TRUE(sink.sync.empty());
  session.syncMessage(msg(Type::DeviceClearComplete, 1, 0));  // asks for overlapped mode
  ASSERT_EQ(sink.sync.size(), 1u);
  EXPECT_EQ(sink.sync[0].type(), Type::DeviceClearAcknowledge);
  EXPECT_EQ(sink.sync[0].header.control, 0);  // synchronized it stays
  run("*OPT?", hislip::kFirstMessageId);
  EXPECT_EQ(sink.sync.back().payload, "0\n");
  EXPECT_FALSE(held);
}

TEST_F(SessionFixture, ServiceRequestOnOperationComplete) {
  run("*CLS;*ESE 1;*SRE 32", 2);
  EXPECT_TRUE(sink.async.empty());
  run("*OPC", 4);
  ASSERT_EQ(sink.async.size(), 1u);
  EXPECT_EQ(sink.async[0].type(), Type::AsyncServiceRequest);
  EXPECT_EQ(sink.async[0].header.control, 0x60);
  run("*OPC", 6);
  EXPECT_EQ(sink.async.size(), 1u);  // not again before a status query
  EXPECT_EQ(status(6) & 0x40, 0x40);
}

TEST_F(SessionFixture, UnexpectedMessagesGetErrorsOrEndTheSession) {
  struct Case {
    bool async;
    hislip::Message message;
    Type reply;
    std::uint8_t code;
    bool closes;
  };
  std::vector<Case> cases = {
      {false, msg(static_cast<Type>(50), 0, 0), Type::Error, 1, false},
      {true, msg(static_cast<Type>(200), 0, 0), Type::Error, 3, false},
      {false, msg(Type::AsyncStatusQuery, 0, 0), Type::Error, 1, false},
      {true, msg(Type::DataEnd, 0, 0, "*IDN?"), Type::Error, 1, false},
      {true, msg(Type::AsyncRemoteLocalControl, 9, 0), Type::Error, 2, false},
      {true, msg(Type::AsyncMaximumMessageSize, 0, 0, "1234"), Type::Error, 0, false},
      {false, msg(Type::Initialize, 0, 0x01000000), Type::FatalError, 3, true},
      {true, msg(Type::AsyncInitialize, 0, 5), Type::FatalError, 3, true},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(hislip::typeName(c.message.header.type));
    sink = RecordingSink{};
    if (c.async) session.asyncMessage(c.message);
    else (void)session.syncMessage(c.message);
    auto& channel = c.async ? sink.async : sink.sync;
    ASSERT_FALSE(channel.empty());
    EXPECT_EQ(channel.back().type(), c.reply);
    EXPECT_EQ(channel.back().header.control, c.code);
    EXPECT_EQ(sink.closed, c.closes);
  }
}

TEST(HislipSession, DataBeforeTheAsynchronousChannelIsFatal) {
  Instrument instrument;
  RecordingSink sink;
  HislipSession session(instrument, 1, hislip::kVersion10, sink);
  EXPECT_FALSE(session.syncMessage(msg(Type::DataEnd, 0, 0, "*IDN?")));
  ASSERT_EQ(sink.sync.size(), 1u);
  EXPECT_EQ(sink.sync[0].type(), Type::FatalError);
  EXPECT_EQ(sink.sync[0].header.control, 2);
  EXPECT_TRUE(sink.closed);
  EXPECT_TRUE(sink.async.empty());
}

// A session in strict mode with one answered query, its response sent and not confirmed.
struct StrictSession {
  Instrument instrument;
  RecordingSink sink;
  HislipSession session{instrument, 1, hislip::kVersion10, sink, true};
  StrictSession() {
    session.asyncBind();
    query("*IDN?", 0);
  }
  void query(std::string text, std::uint32_t id) {
    auto p = session.syncMessage(msg(Type::DataEnd, 0, id, std::move(text)));
    ASSERT_TRUE(p);
    session.responseSend(std::move(*p));
  }
};

TEST(HislipSession, StrictModeLogsAnUnconfirmedResponse) {
  StrictSession strict;
  HislipSession& session = strict.session;
  (void)session.syncMessage(msg(Type::DataEnd, 0, 2, "*CLS"));  // RMT-delivered not set
  Session& s = session.instrumentSession();
  EXPECT_EQ(s.query(":SYST:ERR?"), "0,\"No error\"\n");  // *CLS cleared it...
  strict.query("*IDN?", 4);
  (void)session.syncMessage(msg(Type::DataEnd, 0, 6, ":SYST:ERR?"));  // ...this one shows it
  EXPECT_EQ(s.query("*ESR?"), "4\n");
}

// A status query while the reply waits unread is no interruption: the reply
// stays available and nothing is logged.
TEST(HislipSession, StrictModeLetsAStatusQueryPassAnUnreadResponse) {
  StrictSession strict;
  for (int i = 0; i < 2; ++i) {
    strict.session.asyncMessage(msg(Type::AsyncStatusQuery, 0, 0));
    EXPECT_EQ(strict.sink.async.back().header.control & (hislip::kStatusMav | 0x04), hislip::kStatusMav);
  }
  EXPECT_EQ(strict.session.instrumentSession().query(":SYST:ERR?"), "0,\"No error\"\n");
}

}  // namespace
}  // namespace kavrel::sim
