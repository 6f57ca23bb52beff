// The server over loopback sockets: HiSLIP sequence and features, malformed
// input, locks, faults, the raw SCPI port, and several clients at once.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>


#include "testbed/sim/server.h"
#include "testbed/sim/tests/sim_client.h"

namespace kavrel::sim {
namespace {

using hislip::Type;
using test::HislipClient;

struct ServerFixture : ::testing::Test {
  std::unique_ptr<Server> server;
  void SetUp() override {
    Options o;
    o.hislipPort = 0;
    o.rawPort = 0;
    server = std::make_unique<Server>(o);
    std::string error;
    ASSERT_TRUE(server->start(&error)) << error;
  }
  int hislipPort() const { return server->hislipPort(); }
};

TEST_F(ServerFixture, InitializationAnswersBothChannels) {
  HislipClient c;
  ASSERT_TRUE(c.openSync(hislipPort()));
  EXPECT_EQ(c.version(), hislip::kVersion10);
  EXPECT_NE(c.sessionId(), 0);
  HislipClient other;
  ASSERT_TRUE(other.openSync(hislipPort()));
  EXPECT_NE(other.sessionId(), c.sessionId());
  c.sendAsync(Type::AsyncInitialize, 0, c.sessionId());  // before the channel exists: a fresh connection
  ASSERT_TRUE(c.openAsync(hislipPort()));
  ASSERT_TRUE(c.sendAsync(Type::AsyncMaximumMessageSize, 0, 0, hislip::sizePayloadEncode(4096)));
  auto r = c.readAsync();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->type(), Type::AsyncMaximumMessageSizeResponse);
  EXPECT_EQ(r->payload.size(), 8u);
  EXPECT_EQ(c.query("*IDN?"), "OVR,4101,100001,1.00\n");
}

TEST_F(ServerFixture, DataPiecesFormOneProgramMessage) {
  HislipClient c;
  ASSERT_TRUE(c.open(hislipPort()));
  c.sendSync(Type::Data, 0, hislip::kFirstMessageId, ":SOUR:SWE:");
  c.sendSync(Type::Data, 0, hislip::kFirstMessageId + 2, "POIN 7;POI");
  c.sendSync(Type::DataEnd, 0, hislip::kFirstMessageId + 4, "N?");
  auto r = c.readSync();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->type(), Type::DataEnd);
  EXPECT_EQ(r->header.parameter, hislip::kFirstMessageId + 4);
  EXPECT_EQ(r->payload, "7\n");
}

TEST_F(ServerFixture, LongResponsesFollowTheNegotiatedSize) {
  HislipClient c;
  ASSERT_TRUE(c.open(hislipPort(), 64));
  c.write(":SOUR:SWE:POIN 401;:SCAL:DATA:BIN?");
  std::string all;
  int pieces = 0;
  for (;;) {
    auto m = c.readSync();
    ASSERT_TRUE(m);
    EXPECT_LE(m->payload.size() + hislip::kHeaderSize, 64u);
    EXPECT_EQ(m->header.parameter, c.lastSent());
    all += m->payload;
    ++pieces;
    if (m->type() == Type::DataEnd) break;
    ASSERT_EQ(m->type(), Type::Data);
  }
  EXPECT_EQ(all.size(), 2u + 4u * 401u + 1u);  // "#0", the values, the closing line feed
  EXPECT_EQ(pieces, static_cast<int>((all.size() + 47) / 48));
}

// A status query answers for the message it names, even when it overtakes
// that message on its way: here the message follows the query 50 ms later,
// and the query still sees the error the message raises.
TEST_F(ServerFixture, StatusQueryWaitsForTheMessageItNames) {
  HislipClient c;
  ASSERT_TRUE(c.open(hislipPort()));
  const std::uint32_t cleared = c.write("*CLS");
  c.sendAsync(Type::AsyncStatusQuery, 0, cleared + 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_EQ(c.write(":SOUR:SWE:POIN 5000"), cleared + 2);
  auto s = c.readAsync();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->header.control & 0x04, 0x04);
}

TEST_F(ServerFixture, StatusQueryAndDeviceClear) {
  HislipClient c;
  ASSERT_TRUE(c.open(hislipPort()));
  std::uint32_t id = c.write("*IDN?");
  ASSERT_TRUE(c.readSync());
  c.sendAsync(Type::AsyncStatusQuery, 0, id);
  auto s = c.readAsync();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->type(), Type::AsyncStatusResponse);
  EXPECT_EQ(s->header.control & hislip::kStatusMav, hislip::kStatusMav);
  c.sendAsync(Type::AsyncStatusQuery, 1, id);  // delivered now
  s = c.readAsync();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->header.control & hislip::kStatusMav, 0);

  // A clear while a delayed response is held back: the response never comes.
  server->setReplyDelay(std::chrono::milliseconds(300));
  c.write("*OPT?");
  c.sendAsync(Type::AsyncDeviceClear, 0, 0);
  auto ack = c.readAsync();
  ASSERT_TRUE(ack);
  EXPECT_EQ(ack->type(), Type::AsyncDeviceClearAcknowledge);
  c.sendSync(Type::DeviceClearComplete, 0, 0);
  auto done = c.readSync();
  ASSERT_TRUE(done);
  EXPECT_EQ(done->type(), Type::DeviceClearAcknowledge);
  EXPECT_EQ(done->header.control, 0);
  EXPECT_FALSE(c.readSync(600));
  server->clearFaults();
  EXPECT_EQ(c.query("*OPT?"), "0\n");
}

TEST_F(ServerFixture, NewInputInterruptsAHeldResponse) {
  HislipClient c;
  ASSERT_TRUE(c.open(hislipPort()));
  server->setReplyDelay(std::chrono::milliseconds(400));
  c.write("*IDN?");
  std::uint32_t second = c.write("*OPT?");
  auto interrupted = c.readSync();
  ASSERT_TRUE(interrupted);
  EXPECT_EQ(interrupted->type(), Type::Interrupted);
  EXPECT_EQ(interrupted->header.parameter, second);
  auto asyncInterrupted = c.readAsync();
  ASSERT_TRUE(asyncInterrupted);
  EXPECT_EQ(asyncInterrupted->type(), Type::AsyncInterrupted);
  EXPECT_EQ(asyncInterrupted->header.parameter, second);
  auto reply = c.readSync();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->header.parameter, second);
  EXPECT_EQ(reply->payload, "0\n");
  server->clearFaults();
  EXPECT_EQ(c.query(":SYST:ERR?"), "-410,\"Query INTERRUPTED\"\n");
}

TEST_F(ServerFixture, MalformedInputLeavesOtherSessionsAlone) {
  struct Case {
    std::string name;
    bool async;             // sent on the asynchronous channel
    std::string bytes;      // sent as they stand
    Type reply;
    std::uint8_t code;
    bool closes;
  };
  const std::vector<Case> cases = {
      {"bad prologue", false, "XS" + std::string(14, '\0'), Type::FatalError, 1, true},
      {"bad prologue async", true, "HT" + std::string(14, '\0'), Type::FatalError, 1, true},
      {"unknown type", false, hislip::messageEncode(50, 0, 0, "xyz"), Type::Error, 1, false},
      {"vendor type", true, hislip::messageEncode(200, 0, 0), Type::Error, 3, false},
      {"oversized payload", false, hislip::messageEncode(Type::Data, 0, 0, std::string(2u << 20, 'x')), Type::Error, 4,
       false},
      {"absurd length", false, hislip::messageEncode(Type::Data, 0, 0).replace(8, 8, "\x00\x00\x01\x00\x00\x00\x00\x00", 8),
       Type::FatalError, 1, true},
      {"remote/local code", true, hislip::messageEncode(Type::AsyncRemoteLocalControl, 9, 0), Type::Error, 2, false},
      {"second initialize", false, hislip::messageEncode(Type::Initialize, 0, 0x01000000), Type::FatalError, 3, true},
  };
  HislipClient bystander;
  ASSERT_TRUE(bystander.open(hislipPort()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HislipClient bad;
    ASSERT_TRUE(bad.open(hislipPort()));
    ASSERT_TRUE(c.async ? bad.sendAsyncRaw(c.bytes) : bad.sendSyncRaw(c.bytes));
    auto r = c.async ? bad.readAsync() : bad.readSync();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type(), c.reply);
    EXPECT_EQ(r->header.control, c.code);
    if (c.closes) {
      EXPECT_TRUE(HislipClient::closedByPeer(bad.syncFd()));
      EXPECT_TRUE(HislipClient::closedByPeer(bad.asyncFd()));
    } else {
      EXPECT_EQ(bad.query("*OPT?"), "0\n");
    }
    EXPECT_EQ(bystander.query("*IDN?"), "OVR,4101,100001,1.00\n");
  }
}

TEST_F(ServerFixture, InitializationMistakesAreFatal) {
  struct Case {
    std::string name;
    std::string first;
    std::uint8_t code;
  };
  const std::vector<Case> cases = {
      {"data first", hislip::messageEncode(Type::DataEnd, 0, 0, "*IDN?"), 3},
      {"unknown session", hislip::messageEncode(Type::AsyncInitialize, 0, 0xBEEF), 3},
      {"garbage", std::string(16, 'G'), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sock::Handle fd = test::tcpConnect(hislipPort());
    ASSERT_NE(fd, sock::kNone);
    hislip::sendAll(fd, c.first);
    hislip::Message m;
    ASSERT_EQ(hislip::readMessage(fd, 1024, m, 5000), hislip::ReadStatus::ok);
    EXPECT_EQ(m.type(), Type::FatalError);
    EXPECT_EQ(m.header.control, c.code);
    EXPECT_TRUE(HislipClient::closedByPeer(fd));
    sock::close(fd);
  }
  // Data on a session whose asynchronous channel is not open yet.
  HislipClient c;
  ASSERT_TRUE(c.openSync(hislipPort()));
  c.write("*IDN?");
  auto m = c.readSync();
  ASSERT_TRUE(m);
  EXPECT_EQ(m->type(), Type::FatalError);
  EXPECT_EQ(m->header.control, 2);
}

TEST_F(ServerFixture, LocksRemoteLocalAndServiceRequests) {
  HislipClient a, b;
  ASSERT_TRUE(a.open(hislipPort()));
  ASSERT_TRUE(b.open(hislipPort()));
  auto lock = [](HislipClient& c, std::uint8_t control, std::uint32_t param, std::string key = {}) {
    c.sendAsync(Type::AsyncLock, control, param, key);
    auto r = c.readAsync();
    return r && r->type() == Type::AsyncLockResponse ? r->header.control : 255;
  };
  EXPECT_EQ(lock(a, 1, 0), 1);       // exclusive, granted
  EXPECT_EQ(lock(a, 1, 0), 3);       // already held
  EXPECT_EQ(lock(b, 1, 100), 0);     // not within 100 ms
  b.sendAsync(Type::AsyncLockInfo, 0, 0);
  auto info = b.readAsync();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->header.control, 1);
  EXPECT_EQ(info->header.parameter, 1u);
  std::uint32_t waiting = b.write("*OPT?");  // b's program waits for the lock
  EXPECT_FALSE(b.readSync(200));
  EXPECT_EQ(lock(a, 0, hislip::kNoMessageSent), 1);  // released
  auto r = b.readSync();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->header.parameter, waiting);
  EXPECT_EQ(lock(a, 0, hislip::kNoMessageSent), 3);  // nothing to release
  EXPECT_EQ(lock(a, 1, 0, "key"), 1);                // shared locks with one key
  EXPECT_EQ(lock(b, 1, 0, "key"), 1);
  EXPECT_EQ(lock(b, 1, 0, "other"), 3);
  EXPECT_EQ(lock(b, 0, hislip::kNoMessageSent), 2);

  a.sendAsync(Type::AsyncRemoteLocalControl, 4, hislip::kNoMessageSent);
  auto rl = a.readAsync();
  ASSERT_TRUE(rl);
  EXPECT_EQ(rl->type(), Type::AsyncRemoteLocalResponse);

  a.write("*CLS;*ESE 1;*SRE 32;*OPC");
  auto srq = a.readAsync();
  ASSERT_TRUE(srq);
  EXPECT_EQ(srq->type(), Type::AsyncServiceRequest);
  EXPECT_EQ(srq->header.control & 0x60, 0x60);
}

TEST_F(ServerFixture, FaultsStallGarbleAndDrop) {
  HislipClient c;
  ASSERT_TRUE(c.open(hislipPort()));
  server->garbleReply();
  auto garbled = c.query("*IDN?");
  ASSERT_TRUE(garbled);
  EXPECT_EQ(garbled->size(), 21u);
  EXPECT_NE(garbled->substr(0, 7), "OVR,410");
  EXPECT_EQ(garbled->back(), '\n');
  EXPECT_EQ(c.query("*IDN?"), "OVR,4101,100001,1.00\n");

  server->stallQuery();
  c.write("*IDN?");
  EXPECT_FALSE(c.readSync(500));
  EXPECT_EQ(c.query("*OPT?"), "0\n");

  sock::Handle raw = test::tcpConnect(server->rawPort());
  ASSERT_NE(raw, sock::kNone);
  server->dropAfterBytes(10);
  hislip::sendAll(raw, "*IDN?\n");
  std::string got;
  char buf[64];
  for (long n; (n = sock::receive(raw, buf, sizeof buf)) > 0;) got.append(buf, static_cast<std::size_t>(n));
  EXPECT_EQ(got, "OVR,4101,1");  // ten bytes, then the connection ended
  sock::close(raw);
  EXPECT_EQ(c.query("*OPT?"), "0\n");  // other connections go on
}

TEST_F(ServerFixture, RawSocketLines) {
  sock::Handle fd = test::tcpConnect(server->rawPort());
  ASSERT_NE(fd, sock::kNone);
  auto exchange = [fd](const std::string& out, std::size_t expect) {
    hislip::sendAll(fd, out);
    std::string in;
    char buf[4096];
    while (in.size() < expect) {
      long n = sock::receive(fd, buf, sizeof buf);
      if (n <= 0) break;
      in.append(buf, static_cast<std::size_t>(n));
    }
    return in;
  };
  EXPECT_EQ(exchange("*IDN?\r\n", 21), "OVR,4101,100001,1.00\n");
  EXPECT_EQ(exchange("*OPT?\n*TST?;*OPT?\n", 6), "0\n0;0\n");
  std::string block = exchange(":SOUR:SWE:POIN 3;:SCAL:DATA:BIN?\n", 15);
  ASSERT_EQ(block.size(), 15u);  // "#0", three values, and the closing line feed
  EXPECT_EQ(block.substr(0, 2), "#0");
  EXPECT_EQ(block.back(), '\n');
  std::string data = std::string("\n\n#1\n", 5);
  EXPECT_EQ(exchange(":SCAL:MEM:DATA 1,#15" + data + "\n:SCAL:MEM:DATA? 1\n", 9), "#15" + data + "\n");
  EXPECT_EQ(exchange(":NOPE\n:SYST:ERR?\n", 24), "-113,\"Undefined header\"\n");
  sock::close(fd);
}

TEST_F(ServerFixture, SeveralClientsAtOnce) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t, &failures] {
      HislipClient c;
      if (!c.open(hislipPort())) {
        ++failures;
        return;
      }
      for (int i = 0; i < 40; ++i) {
        std::string points = std::to_string(2 + t);
        // Settings are shared, so each thread asks in one message what it set.
        auto r = c.query(":SOUR:SWE:POIN " + points + ";POIN?;*OPT?");
        if (r != points + "\n0\n" && r != points + ";0\n") ++failures;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(Server, BusyPortIsReportedAndStopIsSafe) {
  Options o;
  o.hislipPort = 0;
  o.rawPort = -1;
  Server first(o);
  std::string error;
  ASSERT_TRUE(first.start(&error)) << error;
  EXPECT_EQ(first.rawPort(), -1);
  o.hislipPort = first.hislipPort();
  Server second(o);
  EXPECT_FALSE(second.start(&error));
  EXPECT_NE(error.find(std::to_string(o.hislipPort)), std::string::npos);
  HislipClient c;
  ASSERT_TRUE(c.open(first.hislipPort()));
  first.stop();  // with a client connected
  EXPECT_TRUE(HislipClient::closedByPeer(c.syncFd()));
  sock::Handle late = test::tcpConnect(first.hislipPort());  // refused, not left waiting in a backlog
  EXPECT_EQ(sock::kNone, late);
  sock::close(late);
  first.stop();
}

}  // namespace
}  // namespace kavrel::sim
