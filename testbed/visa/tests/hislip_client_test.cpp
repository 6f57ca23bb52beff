// The stand-in as a VISA for LAN instruments: HiSLIP and SOCKET resources
// against small loopback servers, checked on the bytes each side sees.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "testbed/visa/tests/fake_hislip_server.h"
#include "testbed/visa/standin.h"

namespace {

namespace hs = kavrel::hislip;
namespace sock = kavrel::sock;
using fake::HislipServer;
using fake::kAsync;
using fake::kSync;
using fake::Received;
using hs::Type;

constexpr std::size_t kStartup = 3;  // Initialize, AsyncInitialize, AsyncMaximumMessageSize
constexpr ViStatus kErrorRsrcBusy = _VI_ERROR + 0x3FFF0072L;
constexpr ViStatus kErrorNsupMode = _VI_ERROR + 0x3FFF0046L;
constexpr std::uint32_t kFirstId = 0xFFFFFF00;

std::string bytes(std::initializer_list<unsigned> values) {
  std::string out;
  for (const unsigned v : values) out += static_cast<char>(v);
  return out;
}

// What a test expects of one message.
struct Expected {
  int channel;
  Type type;
  std::uint8_t control;
  std::uint32_t parameter;
  std::string payload;
};

void expectMessages(const std::vector<Received>& got, const std::vector<Expected>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("message " + std::to_string(i) + ": " + hs::typeName(got[i].message.header.type));
    EXPECT_EQ(got[i].channel, want[i].channel);
    EXPECT_EQ(got[i].message.type(), want[i].type);
    EXPECT_EQ(got[i].message.header.control, want[i].control);
    EXPECT_EQ(got[i].message.header.parameter, want[i].parameter);
    EXPECT_EQ(got[i].message.payload, want[i].payload);
  }
}

// Messages after the start-up, waiting for `count` of them.
std::vector<Received> afterStartup(HislipServer& server, std::size_t count) {
  std::vector<Received> all = server.received(kStartup + count);
  return std::vector<Received>(all.begin() + static_cast<std::ptrdiff_t>(std::min(kStartup, all.size())), all.end());
}

// A handler answering queries from a table: a DataEnd whose text is a key gets the value, with its MessageID.
fake::Handler answering(std::vector<std::pair<std::string, std::string>> replies) {
  return [replies = std::move(replies)](HislipServer& server, const Received& r) {
    if (r.message.type() != Type::DataEnd) return false;
    for (const auto& [query, reply] : replies) {
      if (r.message.payload == query) server.sendMessage(kSync, Type::DataEnd, 0, r.message.header.parameter, reply);
    }
    return true;
  };
}

// The stand-in reads KAVREL_VISA_TRACE as a session opens; empty takes the trace off.
void setTrace(const std::string& path) {
#ifdef _WIN32
  _putenv_s("KAVREL_VISA_TRACE", path.c_str());
#else
  if (path.empty()) ::unsetenv("KAVREL_VISA_TRACE");
  else ::setenv("KAVREL_VISA_TRACE", path.c_str(), 1);
#endif
}

std::string uniqueSuffix() { return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()); }

// A loopback port where nothing accepts: bound, never listening.
class ClosedPort {
 public:
  ClosedPort() {
    fd_ = sock::open(AF_INET, SOCK_STREAM, 0, false);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    port_ = static_cast<std::uint16_t>(sock::localPort(fd_));
  }
  ~ClosedPort() { sock::close(fd_); }
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
  std::uint16_t port() const { return port_; }

 private:
  sock::Handle fd_ = sock::kNone;
  std::uint16_t port_ = 0;
};

class HislipClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin_reset();
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
  }
  void TearDown() override { standin_reset(); }

  ViStatus open(const std::string& resource, ViSession& vi) {
    return viOpen(rm_, resource.c_str(), VI_NULL, VI_NULL, &vi);
  }

  static ViStatus write(ViSession vi, const std::string& text) {
    return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), VI_NULL);
  }

  // One viRead of at most `count` bytes gives `text` and `status`.
  static void expectRead(ViSession vi, ViUInt32 count, const std::string& text, ViStatus status) {
    std::string buf(count, '\0');
    ViUInt32 received = 0;
    EXPECT_EQ(viRead(vi, reinterpret_cast<ViPBuf>(buf.data()), count, &received), status);
    buf.resize(received);
    EXPECT_EQ(buf, text);
  }

  ViSession rm_ = 0;
};

// ---- start-up and resource names ------------------------------------------------

TEST_F(HislipClientTest, StartupSendsExactInitializationBytes) {
  HislipServer server;
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  const std::vector<Received> got = server.received(kStartup);
  ASSERT_EQ(got.size(), kStartup);
  // Initialize: version 1.0, vendor "KV", sub-address as payload.
  EXPECT_EQ(got[0].channel, kSync);
  EXPECT_EQ(got[0].raw, bytes({'H', 'S', 0, 0, 0x01, 0x00, 'K', 'V', 0, 0, 0, 0, 0, 0, 0, 7}) + "hislip0");
  // AsyncInitialize quotes the session ID of the InitializeResponse (0x0107).
  EXPECT_EQ(got[1].channel, kAsync);
  EXPECT_EQ(got[1].raw, bytes({'H', 'S', 17, 0, 0, 0, 0x01, 0x07, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The largest message the server may send: 1 MiB.
  EXPECT_EQ(got[2].channel, kAsync);
  EXPECT_EQ(got[2].raw, bytes({'H', 'S', 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0x10, 0, 0}));
  EXPECT_EQ(viClose(vi), VI_SUCCESS);
}

TEST_F(HislipClientTest, ResourceNamesReachTheServerWithTheirDevice) {
  struct Case {
    std::string prefix;  // before ",port"
    std::string suffix;  // after it
    std::string device;  // the sub-address the server sees
    int family;
  };
  const std::vector<Case> cases = {
      {"TCPIP::127.0.0.1::hislip0", "::INSTR", "hislip0", AF_INET},
      {"tcpip0::127.0.0.1::HiSLIP3", "", "HiSLIP3", AF_INET},
      {"TCPIP12::localhost::hislip1", "::instr", "hislip1", AF_INET},
      {"TCPIP::[::1]::hislip0", "::INSTR", "hislip0", AF_INET6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prefix);
    fake::Options options;
    options.family = c.family;
    HislipServer server({}, options);
    if (!server.listening()) {
      ASSERT_EQ(c.family, AF_INET6);  // a machine without IPv6 loopback skips that case
      continue;
    }
    ViSession vi = 0;
    ASSERT_EQ(open(c.prefix + "," + std::to_string(server.port()) + c.suffix, vi), VI_SUCCESS);
    const std::vector<Received> got = server.received(1);
    ASSERT_EQ(got.size(), 1U);
    EXPECT_EQ(got[0].message.payload, c.device);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
  }
}

TEST_F(HislipClientTest, MalformedOrUnreachableResourcesFailWithoutASession) {
  const ClosedPort closed;
  const std::string port = std::to_string(closed.port());
  struct Case {
    std::string name;
    ViStatus status;
  };
  const std::vector<Case> cases = {
      {"TCPIP::127.0.0.1::hislip0,::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::hislip0,0::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::hislip0,65536::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::hislip0,+80::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::hislip_0::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::hislip0::SOCKETS", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::hislip0::INSTR::X", VI_ERROR_INV_RSRC_NAME},
      {"TCPIPX::127.0.0.1::hislip0::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::::hislip0::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::bad host::hislip0::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::[]::hislip0::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::50x::SOCKET", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::SOCKET", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::127.0.0.1::hislip0," + port + "::INSTR", VI_ERROR_RSRC_NFOUND},
      {"TCPIP::127.0.0.1::" + port + "::SOCKET", VI_ERROR_RSRC_NFOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViSession vi = 0x5A5A;
    EXPECT_EQ(open(c.name, vi), c.status);
    EXPECT_EQ(vi, 0x5A5AU);  // left alone
  }
  EXPECT_EQ(standin_open_sessions(), 1U);  // the resource manager only
}

TEST_F(HislipClientTest, StartupRefusalsGiveTheirStatus) {
  struct Case {
    const char* what;
    fake::Options options;
    fake::Handler handler;
    ViStatus status;
  };
  const auto refuseInitialize = [](std::uint8_t type, std::uint8_t control) -> fake::Handler {
    return [type, control](HislipServer& server, const Received& r) {
      if (r.message.type() != Type::Initialize) return false;
      server.send(kSync, hs::messageEncode(type, control, 0));
      return true;
    };
  };
  fake::Options overlappedOnly;
  overlappedOnly.initControl = 1;
  overlappedOnly.clearAckControl = 1;
  fake::Options tinyMessages;
  tinyMessages.maxMessage = hs::kHeaderSize;
  const std::vector<Case> cases = {
      {"too many clients", {}, refuseInitialize(2, 4), kErrorRsrcBusy},
      {"other fatal error", {}, refuseInitialize(2, 3), VI_ERROR_RSRC_NFOUND},
      {"not an InitializeResponse", {}, refuseInitialize(22, 0), VI_ERROR_RSRC_NFOUND},
      {"no room for data", tinyMessages, {}, VI_ERROR_RSRC_NFOUND},
      {"overlapped only", overlappedOnly, {}, kErrorNsupMode},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HislipServer server(c.handler, c.options);
    ViSession vi = 0;
    EXPECT_EQ(open(server.resource(), vi), c.status);
  }
  EXPECT_EQ(standin_open_sessions(), 1U);
}

TEST_F(HislipClientTest, OverlappedServerIsSwitchedToSynchronizedByADeviceClear) {
  fake::Options options;
  options.initControl = 1;
  HislipServer server(answering({{"Q?\n", "1\n"}}), options);
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  expectMessages(afterStartup(server, 2), {{kAsync, Type::AsyncDeviceClear, 0, 0, ""},
                                           {kSync, Type::DeviceClearComplete, 0, 0, ""}});
  ASSERT_EQ(write(vi, "Q?\n"), VI_SUCCESS);
  expectRead(vi, 10, "1\n", VI_SUCCESS);
}

// ---- writing and reading ------------------------------------------------------

TEST_F(HislipClientTest, WritesBecomeDataAndDataEndWithCountingMessageIds) {
  struct Case {
    const char* what;
    std::uint64_t maxMessage;
    bool sendEnd;
    std::vector<std::string> writes;
    std::vector<Expected> messages;
  };
  const std::vector<Case> cases = {
      {"one message per write", 1U << 20, true, {"*RST\n", "*CLS\n"},
       {{kSync, Type::DataEnd, 0, kFirstId, "*RST\n"}, {kSync, Type::DataEnd, 0, kFirstId + 2, "*CLS\n"}}},
      {"END off", 1U << 20, false, {"AB"}, {{kSync, Type::Data, 0, kFirstId, "AB"}}},
      {"split by the server's limit", hs::kHeaderSize + 4, true, {"ABCDEFGHIJ"},
       {{kSync, Type::Data, 0, kFirstId, "ABCD"},
        {kSync, Type::Data, 0, kFirstId + 2, "EFGH"},
        {kSync, Type::DataEnd, 0, kFirstId + 4, "IJ"}}},
      {"split exactly", hs::kHeaderSize + 4, true, {"ABCDEFGH"},
       {{kSync, Type::Data, 0, kFirstId, "ABCD"}, {kSync, Type::DataEnd, 0, kFirstId + 2, "EFGH"}}},
      {"empty with END", 1U << 20, true, {""}, {{kSync, Type::DataEnd, 0, kFirstId, ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake::Options options;
    options.maxMessage = c.maxMessage;
    HislipServer server({}, options);
    ViSession vi = 0;
    ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_SEND_END_EN, c.sendEnd ? VI_TRUE : VI_FALSE), VI_SUCCESS);
    for (const std::string& text : c.writes) {
      ViUInt32 sent = 0;
      EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), &sent),
                VI_SUCCESS);
      EXPECT_EQ(sent, text.size());
    }
    expectMessages(afterStartup(server, c.messages.size()), c.messages);
  }
}

TEST_F(HislipClientTest, DataEndHeaderBytesAreExact) {
  HislipServer server;
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(write(vi, "*IDN?\n"), VI_SUCCESS);
  const std::vector<Received> got = afterStartup(server, 1);
  ASSERT_EQ(got.size(), 1U);
  EXPECT_EQ(got[0].raw, bytes({'H', 'S', 7, 0, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0, 6}) + "*IDN?\n");
}

TEST_F(HislipClientTest, ReplyOverDataAndDataEndReadsWithCountAndEnd) {
  struct Step {
    ViUInt32 count;
    std::string text;
    ViStatus status;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  };
  const std::vector<Case> cases = {
      {"count inside the first piece", {{1, "1", VI_SUCCESS_MAX_CNT}, {100, "2345\n", VI_SUCCESS}}},
      {"count across the pieces", {{3, "123", VI_SUCCESS_MAX_CNT}, {100, "45\n", VI_SUCCESS}}},
      {"count one short of END", {{5, "12345", VI_SUCCESS_MAX_CNT}, {5, "\n", VI_SUCCESS}}},
      {"count exactly to END", {{6, "12345\n", VI_SUCCESS}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HislipServer server([](HislipServer& s, const Received& r) {
      if (r.message.type() != Type::DataEnd) return false;
      s.sendMessage(kSync, Type::Data, 0, r.message.header.parameter, "12");
      s.sendMessage(kSync, Type::DataEnd, 0, r.message.header.parameter, "345\n");
      return true;
    });
    ViSession vi = 0;
    ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
    ASSERT_EQ(write(vi, "Q?\n"), VI_SUCCESS);
    for (const Step& step : c.steps) {
      expectRead(vi, step.count, step.text, step.status);
    }
    // The whole reply was delivered: the next message says so, once.
    ASSERT_EQ(write(vi, "A\n"), VI_SUCCESS);
    ASSERT_EQ(write(vi, "B\n"), VI_SUCCESS);
    const std::vector<Received> got = afterStartup(server, 3);
    ASSERT_EQ(got.size(), 3U);
    EXPECT_EQ(got[0].message.header.control, 0);
    EXPECT_EQ(got[1].message.header.control, 1);
    EXPECT_EQ(got[2].message.header.control, 0);
  }
}

TEST_F(HislipClientTest, FormattedQueryRunsOverHislip) {
  HislipServer server(answering({{"*IDN?\n", "KAVREL,4100,0,1.0\n"}}));
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  char reply[64] = {};
  EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%t", reply), VI_SUCCESS);
  EXPECT_STREQ(reply, "KAVREL,4100,0,1.0\n");
}

// ---- time-outs ------------------------------------------------------------------

// A query "LATE?" gets no answer in time; then "NEXT?" is asked. What arrives
// late for "LATE?" must never be taken as the answer to "NEXT?".
TEST_F(HislipClientTest, TimedOutQueryNeverPairsItsLateReplyWithTheNextQuery) {
  struct Case {
    const char* what;
    // Sent by the server for the late query (its MessageID given) right before it answers "NEXT?".
    std::function<void(HislipServer&, std::uint32_t)> late;
    // Sent by the test after the time-out, before "NEXT?" is written.
    std::function<void(HislipServer&, std::uint32_t)> afterTimeout;
  };
  const auto lateDataEnd = [](HislipServer& s, std::uint32_t id) {
    s.sendMessage(kSync, Type::DataEnd, 0, id, "late\n");
  };
  const auto lateInPieces = [](HislipServer& s, std::uint32_t id) {
    s.sendMessage(kSync, Type::Data, 0, id, "la");
    s.sendMessage(kSync, Type::DataEnd, 0, id, "te\n");
  };
  const auto nothing = [](HislipServer&, std::uint32_t) {};
  const std::vector<Case> cases = {
      {"late reply comes after the next query", lateDataEnd, nothing},
      {"late reply in pieces", lateInPieces, nothing},
      {"late reply already waiting", nothing, lateDataEnd},
      {"late reply partly waiting", nothing,
       [](HislipServer& s, std::uint32_t id) { s.sendMessage(kSync, Type::Data, 0, id, "la"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::uint32_t lateIdSeen = 0;  // by the server thread
    HislipServer server([&](HislipServer& s, const Received& r) {
      if (r.message.type() != Type::DataEnd) return false;
      if (r.message.payload == "LATE?\n") lateIdSeen = r.message.header.parameter;
      if (r.message.payload == "NEXT?\n") {
        c.late(s, lateIdSeen);
        s.sendMessage(kSync, Type::DataEnd, 0, r.message.header.parameter, "next\n");
      }
      return true;
    });
    ViSession vi = 0;
    ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
    ASSERT_EQ(write(vi, "LATE?\n"), VI_SUCCESS);
    expectRead(vi, 100, "", VI_ERROR_TMO);
    const std::vector<Received> lateQuery = afterStartup(server, 1);
    ASSERT_EQ(lateQuery.size(), 1U);
    c.afterTimeout(server, lateQuery[0].message.header.parameter);
    ASSERT_EQ(write(vi, "NEXT?\n"), VI_SUCCESS);
    expectRead(vi, 100, "next\n", VI_SUCCESS);
  }
}

TEST_F(HislipClientTest, TimeOutInsideAMessageKeepsWhatArrived) {
  const std::string reply = hs::messageEncode(Type::DataEnd, 0, kFirstId, "whole\n");
  HislipServer server([&](HislipServer& s, const Received& r) {
    if (r.message.type() != Type::DataEnd) return false;
    s.send(kSync, std::string_view(reply).substr(0, 10));  // inside the header
    return true;
  });
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  ASSERT_EQ(write(vi, "Q?\n"), VI_SUCCESS);
  expectRead(vi, 100, "", VI_ERROR_TMO);
  server.send(kSync, std::string_view(reply).substr(10));
  expectRead(vi, 100, "whole\n", VI_SUCCESS);
}

TEST_F(HislipClientTest, WriteTimedOutMidMessageFinishesThatMessageFirst) {
  HislipServer server;
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  server.pauseSync(true);
  const std::string big(64U << 20, 'x');  // more than the socket buffers hold
  EXPECT_EQ(write(vi, big), VI_ERROR_TMO);
  server.pauseSync(false);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 10000), VI_SUCCESS);
  ASSERT_EQ(write(vi, "NEXT\n"), VI_SUCCESS);
  // Whole Data messages of the big write, in order, then the next message.
  std::vector<Received> got = server.receivedThrough(Type::DataEnd);
  ASSERT_GE(got.size(), kStartup + 2);
  got.erase(got.begin(), got.begin() + kStartup);
  for (std::size_t i = 0; i + 1 < got.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].message.type(), Type::Data);
    EXPECT_EQ(got[i].message.header.parameter, kFirstId + 2 * i);
    EXPECT_EQ(got[i].message.payload, std::string(got[i].message.payload.size(), 'x'));
  }
  EXPECT_EQ(got.back().message.type(), Type::DataEnd);
  EXPECT_EQ(got.back().message.header.parameter, kFirstId + 2 * (got.size() - 1));
  EXPECT_EQ(got.back().message.payload, "NEXT\n");
}

// ---- lost connections -------------------------------------------------------------

TEST_F(HislipClientTest, LostConnectionAnswersConnLostFromEveryLaterCall) {
  struct Case {
    const char* what;
    std::function<void(HislipServer&)> fault;
    bool fatalErrorSent;  // the client says why before it closes
  };
  const std::vector<Case> cases = {
      {"closed", [](HislipServer& s) { s.drop(); }, false},
      {"closed inside a header",
       [](HislipServer& s) {
         s.send(kSync, bytes({'H', 'S', 7, 0, 0xFF}));
         s.drop();
       },
       false},
      {"closed inside a payload",
       [](HislipServer& s) {
         s.send(kSync, hs::messageEncode(Type::DataEnd, 0, kFirstId, "whole\n").substr(0, 19));
         s.drop();
       },
       false},
      {"poorly formed header",
       [](HislipServer& s) { s.send(kSync, bytes({'X', 'X', 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})); }, true},
      {"fatal error from the server",
       [](HislipServer& s) {
         s.sendMessage(kSync, Type::FatalError, 0, 0, "gone");
         s.drop();
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HislipServer server([&](HislipServer& s, const Received& r) {
      if (r.message.type() != Type::DataEnd) return false;
      c.fault(s);
      return true;
    });
    ViSession vi = 0;
    ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
    ASSERT_EQ(write(vi, "Q?\n"), VI_SUCCESS);
    expectRead(vi, 100, "", VI_ERROR_CONN_LOST);
    if (c.fatalErrorSent) {
      const std::vector<Received> got = afterStartup(server, 2);
      ASSERT_EQ(got.size(), 2U);
      EXPECT_EQ(got[1].message.type(), Type::FatalError);
      EXPECT_EQ(got[1].message.header.control, 1);  // poorly formed header
    }
    expectRead(vi, 100, "", VI_ERROR_CONN_LOST);
    EXPECT_EQ(write(vi, "Q?\n"), VI_ERROR_CONN_LOST);
    ViUInt16 stb = 0;
    EXPECT_EQ(viReadSTB(vi, &stb), VI_ERROR_CONN_LOST);
    EXPECT_EQ(viClear(vi), VI_ERROR_CONN_LOST);
    EXPECT_EQ(viPrintf(vi, "*CLS\n"), VI_ERROR_CONN_LOST);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
  }
}

// ---- device clear and status --------------------------------------------------------

TEST_F(HislipClientTest, DeviceClearRunsTheHandshakeDropsTheOldReplyAndRestartsMessageIds) {
  HislipServer server(answering({{"A?\n", "a\n"}, {"B?\n", "b\n"}}));
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(write(vi, "A?\n"), VI_SUCCESS);  // answered, never read
  ASSERT_EQ(afterStartup(server, 1).size(), 1U);
  ASSERT_EQ(viClear(vi), VI_SUCCESS);
  ViUInt16 stb = 0;
  EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);  // quotes "nothing sent" again
  ASSERT_EQ(write(vi, "B?\n"), VI_SUCCESS);
  expectRead(vi, 100, "b\n", VI_SUCCESS);
  const std::vector<Received> got = afterStartup(server, 5);
  ASSERT_EQ(got.size(), 5U);
  EXPECT_EQ(got[1].raw, bytes({'H', 'S', 19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  expectMessages(got, {{kSync, Type::DataEnd, 0, kFirstId, "A?\n"},
                       {kAsync, Type::AsyncDeviceClear, 0, 0, ""},
                       {kSync, Type::DeviceClearComplete, 0, 0, ""},
                       {kAsync, Type::AsyncStatusQuery, 0, 0xFFFFFEFE, ""},
                       {kSync, Type::DataEnd, 0, kFirstId, "B?\n"}});
}

TEST_F(HislipClientTest, DeviceClearThatTimedOutIsFinishedByTheNextOperation) {
  std::atomic<bool> holdAck{true};
  HislipServer server([&](HislipServer&, const Received& r) {
    return r.message.type() == Type::AsyncDeviceClear && holdAck;
  });
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(write(vi, "X\n"), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  EXPECT_EQ(viClear(vi), VI_ERROR_TMO);
  holdAck = false;
  server.sendMessage(kAsync, Type::AsyncDeviceClearAcknowledge, 0, 0);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 5000), VI_SUCCESS);
  EXPECT_EQ(write(vi, "Y\n"), VI_SUCCESS);
  expectMessages(afterStartup(server, 4), {{kSync, Type::DataEnd, 0, kFirstId, "X\n"},
                                           {kAsync, Type::AsyncDeviceClear, 0, 0, ""},
                                           {kSync, Type::DeviceClearComplete, 0, 0, ""},
                                           {kSync, Type::DataEnd, 0, kFirstId, "Y\n"}});
}

TEST_F(HislipClientTest, StatusQueryQuotesTheLastMessageIdAndTheDeliveredReply) {
  fake::Options options;
  options.statusByte = 0x50;
  HislipServer server(answering({{"Q?\n", "1\n"}}), options);
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ViUInt16 stb = 0;
  EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);  // nothing sent yet
  EXPECT_EQ(stb, 0x50);
  ASSERT_EQ(write(vi, "Q?\n"), VI_SUCCESS);
  expectRead(vi, 100, "1\n", VI_SUCCESS);
  EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);  // says the reply was delivered
  EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);  // only once
  EXPECT_EQ(viReadSTB(vi, VI_NULL), VI_ERROR_USER_BUF);
  const std::vector<Received> got = afterStartup(server, 4);
  ASSERT_EQ(got.size(), 4U);
  EXPECT_EQ(got[0].raw, bytes({'H', 'S', 21, 0, 0xFF, 0xFF, 0xFE, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0}));
  expectMessages(got, {{kAsync, Type::AsyncStatusQuery, 0, 0xFFFFFEFE, ""},
                       {kSync, Type::DataEnd, 0, kFirstId, "Q?\n"},
                       {kAsync, Type::AsyncStatusQuery, 1, kFirstId, ""},
                       {kAsync, Type::AsyncStatusQuery, 0, kFirstId, ""}});
}

TEST_F(HislipClientTest, LateStatusAnswerIsNotTakenForTheNextQuery) {
  struct Case {
    const char* what;
    bool clearBetween;  // a device clear runs after the late answer came
  };
  for (const Case& c : {Case{"next query", false}, Case{"device clear, then next query", true}}) {
    SCOPED_TRACE(c.what);
    std::atomic<bool> hold{true};
    HislipServer server([&](HislipServer&, const Received& r) {
      return r.message.type() == Type::AsyncStatusQuery && hold;
    });
    ViSession vi = 0;
    ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
    ViUInt16 stb = 0x7777;
    EXPECT_EQ(viReadSTB(vi, &stb), VI_ERROR_TMO);
    EXPECT_EQ(stb, 0x7777);
    hold = false;
    server.sendMessage(kAsync, Type::AsyncStatusResponse, 0x55, 0);  // the late answer
    if (c.clearBetween) {
      EXPECT_EQ(viClear(vi), VI_SUCCESS);
    }
    EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
    EXPECT_EQ(stb, 0);  // the server's answer to this query
  }
}

TEST_F(HislipClientTest, NewQueryDropsTheUnreadRestOfTheLastReply) {
  HislipServer server(answering({{"A?\n", "12345\n"}, {"B?\n", "b\n"}}));
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(write(vi, "A?\n"), VI_SUCCESS);
  expectRead(vi, 3, "123", VI_SUCCESS_MAX_CNT);
  ASSERT_EQ(write(vi, "B?\n"), VI_SUCCESS);
  expectRead(vi, 100, "b\n", VI_SUCCESS);
}

// A reply payload comes straight into the reader's buffer as it arrives: a
// time-out inside it returns what came, and a new query drops the rest even
// when that rest is still on its way.
TEST_F(HislipClientTest, ReplyPayloadStillArrivingIsReadInPartsOrDropped) {
  const std::string first = hs::messageEncode(Type::DataEnd, 0, kFirstId, "0123456789\n");
  HislipServer server([&](HislipServer& s, const Received& r) {
    if (r.message.type() != Type::DataEnd) return false;
    if (r.message.payload == "A?\n") s.send(kSync, std::string_view(first).substr(0, hs::kHeaderSize + 4));
    if (r.message.payload == "B?\n") {
      s.send(kSync, std::string_view(first).substr(hs::kHeaderSize + 4));
      s.sendMessage(kSync, Type::DataEnd, 0, r.message.header.parameter, "b\n");
    }
    return true;
  });
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  ASSERT_EQ(write(vi, "A?\n"), VI_SUCCESS);
  expectRead(vi, 2, "01", VI_SUCCESS_MAX_CNT);
  expectRead(vi, 100, "23", VI_ERROR_TMO);
  ASSERT_EQ(write(vi, "B?\n"), VI_SUCCESS);
  expectRead(vi, 100, "b\n", VI_SUCCESS);
}

// ---- locks, trigger, remote/local, protocol attributes ------------------------------

// Each VISA operation as the one HiSLIP message it sends, and the status the server's answer gives.
TEST_F(HislipClientTest, LockTriggerAndRemoteLocalAreTheirHislipMessages) {
  constexpr ViStatus kNestedExclusive = 0x3FFF009AL;
  constexpr ViStatus kNotLocked = _VI_ERROR + 0x3FFF009CL;
  // Locks are granted unless the key is "busy"; releases answer 1 while one is held, else 3.
  int held = 0;
  HislipServer server([&](HislipServer& s, const Received& r) {
    if (r.message.type() == Type::AsyncLock) {
      const bool request = r.message.header.control == 1;
      const bool granted = request && r.message.payload != "busy";
      const int answer = request ? (granted ? 1 : 0) : (held > 0 ? 1 : 3);
      held += granted ? 1 : (!request && held > 0 ? -1 : 0);
      s.sendMessage(kAsync, Type::AsyncLockResponse, static_cast<std::uint8_t>(answer), 0);
      return true;
    }
    if (r.message.type() == Type::AsyncRemoteLocalControl) {
      s.sendMessage(kAsync, Type::AsyncRemoteLocalResponse, 0, 0);
      return true;
    }
    return false;
  });
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ViChar key[256] = "untouched";
  struct Case {
    const char* what;
    std::function<ViStatus()> call;
    ViStatus status;
    std::vector<Expected> sent;
  };
  const std::vector<Case> cases = {
      {"exclusive lock", [&] { return viLock(vi, VI_EXCLUSIVE_LOCK, 250, VI_NULL, VI_NULL); }, VI_SUCCESS,
       {{kAsync, Type::AsyncLock, 1, 250, ""}}},
      {"nested: nothing sent", [&] { return viLock(vi, VI_EXCLUSIVE_LOCK, 250, VI_NULL, VI_NULL); },
       kNestedExclusive, {}},
      {"write numbers the message", [&] { return write(vi, "*TRG\n"); }, VI_SUCCESS,
       {{kSync, Type::DataEnd, 0, kFirstId, "*TRG\n"}}},
      {"inner unlock: nothing sent", [&] { return viUnlock(vi); }, kNestedExclusive, {}},
      {"release quotes the last message", [&] { return viUnlock(vi); }, VI_SUCCESS,
       {{kAsync, Type::AsyncLock, 0, kFirstId, ""}}},
      {"nothing left to unlock", [&] { return viUnlock(vi); }, kNotLocked, {}},
      {"shared lock with its key", [&] { return viLock(vi, VI_SHARED_LOCK, 0, "bench", key); }, VI_SUCCESS,
       {{kAsync, Type::AsyncLock, 1, 0, "bench"}}},
      {"shared release", [&] { return viUnlock(vi); }, VI_SUCCESS, {{kAsync, Type::AsyncLock, 0, kFirstId, ""}}},
      {"lock not granted in time", [&] { return viLock(vi, VI_SHARED_LOCK, 10, "busy", key); }, VI_ERROR_TMO,
       {{kAsync, Type::AsyncLock, 1, 10, "busy"}}},
      {"bad lock type: nothing sent", [&] { return viLock(vi, 4, 0, VI_NULL, key); }, _VI_ERROR + 0x3FFF0020L, {}},
      {"trigger", [&] { return viAssertTrigger(vi, 0); }, VI_SUCCESS, {{kSync, Type::Trigger, 0, kFirstId + 2, ""}}},
      {"trigger protocol other than default", [&] { return viAssertTrigger(vi, 5); }, _VI_ERROR + 0x3FFF0079L, {}},
      {"remote with lockout", [&] { return viGpibControlREN(vi, 5); }, VI_SUCCESS,
       {{kAsync, Type::AsyncRemoteLocalControl, 5, kFirstId + 2, ""}}},
      {"REN mode out of range", [&] { return viGpibControlREN(vi, 7); }, VI_ERROR_INV_MODE, {}},
  };
  std::size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.call(), c.status);
    std::vector<Received> got = afterStartup(server, seen + c.sent.size());
    got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(std::min(seen, got.size())));
    expectMessages(got, c.sent);
    seen += c.sent.size();
  }
  EXPECT_STREQ(key, "bench");
}

TEST_F(HislipClientTest, ProtocolAttributesAndANewMaximumMessageSize) {
  HislipServer server;
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ViBoolean isHislip = VI_FALSE;
  ViUInt32 version = 0;
  ViUInt32 kb = 0;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_IS_HISLIP, &isHislip), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_HISLIP_VERSION, &version), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB, &kb), VI_SUCCESS);
  EXPECT_EQ(isHislip, VI_TRUE);
  EXPECT_EQ(version, 0x00100000U);
  EXPECT_EQ(kb, 1024U);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TCPIP_HISLIP_VERSION, 0x00200000), VI_ERROR_ATTR_READONLY);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB, 0), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(vi, VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB, 64), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB, &kb), VI_SUCCESS);
  EXPECT_EQ(kb, 64U);
  expectMessages(afterStartup(server, 1), {{kAsync, Type::AsyncMaximumMessageSize, 0, 0, hs::sizePayloadEncode(65536)}});
}

// A reply above the size offered is refused with the non-fatal Error 4 and
// skipped; the session goes on with the next reply.
TEST_F(HislipClientTest, OversizedReplyGetsErrorMessageTooLargeAndIsSkipped) {
  HislipServer server([](HislipServer& s, const Received& r) {
    if (r.message.type() != Type::DataEnd) return false;
    if (r.message.payload == "BIG?\n") {
      s.sendMessage(kSync, Type::DataEnd, 0, r.message.header.parameter, std::string(1024 + 1, 'x'));
    } else {
      s.sendMessage(kSync, Type::DataEnd, 0, r.message.header.parameter, "small\n");
    }
    return true;
  });
  ViSession vi = 0;
  ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TCPIP_HISLIP_MAX_MESSAGE_KB, 1), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
  ASSERT_EQ(write(vi, "BIG?\n"), VI_SUCCESS);
  expectRead(vi, 2000, "", VI_ERROR_TMO);
  expectMessages(afterStartup(server, 3),
                 {{kAsync, Type::AsyncMaximumMessageSize, 0, 0, hs::sizePayloadEncode(1024)},
                  {kSync, Type::DataEnd, 0, kFirstId, "BIG?\n"},
                  {kSync, Type::Error, 4, 0, "Message too large"}});
  ASSERT_EQ(write(vi, "SMALL?\n"), VI_SUCCESS);
  expectRead(vi, 100, "small\n", VI_SUCCESS);
}

// ---- trace ------------------------------------------------------------------

TEST_F(HislipClientTest, TraceFileHasEveryMessageAndOperation) {
  const std::string path = ::testing::TempDir() + "kavrel_visa_trace_" + uniqueSuffix() + ".log";
  std::remove(path.c_str());
  setTrace(path);
  std::uint16_t port = 0;
  ViSession session = 0;
  {
    HislipServer server(answering({{"*IDN?\n", "KAVREL\n"}}));
    ViSession vi = 0;
    ASSERT_EQ(open(server.resource(), vi), VI_SUCCESS);
    port = server.port();
    session = vi;
    ASSERT_EQ(write(vi, "*IDN?\n"), VI_SUCCESS);
    expectRead(vi, 100, "KAVREL\n", VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 0), VI_SUCCESS);
    expectRead(vi, 100, "", VI_ERROR_TMO);
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
  }
  setTrace("");
  ViSession rm = 0;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);  // takes the trace off again
  const std::vector<std::string> expected = {
      R"(-> sync Initialize control 0 parameter 0x01004B56 length 7 "hislip0")",
      R"(<- sync InitializeResponse control 0 parameter 0x01000107 length 0)",
      R"(-> async AsyncInitialize control 0 parameter 0x00000107 length 0)",
      R"(<- async AsyncInitializeResponse control 0 parameter 0x0000534D length 0)",
      R"(-> async AsyncMaximumMessageSize control 0 parameter 0x00000000 length 8 "\x00\x00\x00\x00\x00\x10\x00\x00")",
      R"(<- async AsyncMaximumMessageSizeResponse control 0 parameter 0x00000000 length 8 "\x00\x00\x00\x00\x00\x10\x00\x00")",
      "viOpen TCPIP::127.0.0.1::hislip0," + std::to_string(port) + "::INSTR -> 0x00000000 Operation completed successfully.",
      R"(-> sync DataEnd control 0 parameter 0xFFFFFF00 length 6 "*IDN?\n")",
      "viWrite 6 bytes -> 0x00000000 Operation completed successfully.",
      R"(<- sync DataEnd control 0 parameter 0xFFFFFF00 length 7 "KAVREL\n")",
      "viRead 7 bytes -> 0x00000000 Operation completed successfully.",
      "viRead 0 bytes -> 0xBFFF0015 Timeout expired before operation completed.",
      "viClose -> 0x00000000 Operation completed successfully.",
  };
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), expected.size());
  // "2024-05-01 13:45:07.123456 session 2 ...": '0' stands for any digit.
  constexpr std::string_view kStamp = "0000-00-00 00:00:00.000000 ";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    ASSERT_GT(lines[i].size(), kStamp.size());
    for (std::size_t k = 0; k < kStamp.size(); ++k) {
      EXPECT_TRUE(kStamp[k] == '0' ? std::isdigit(static_cast<unsigned char>(lines[i][k])) != 0
                                   : lines[i][k] == kStamp[k]);
    }
    EXPECT_EQ(lines[i].substr(kStamp.size()), "session " + std::to_string(session) + " " + expected[i]);
  }
  std::remove(path.c_str());
}

// ---- raw socket ------------------------------------------------------------------

TEST_F(HislipClientTest, SocketResourceSendsRawBytesAndReadsToTheTermChar) {
  sock::Handle listener = sock::open(AF_INET, SOCK_STREAM, 0, false);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ViSession vi = 0;
  // The connection completes in the listen backlog; it is accepted afterwards.
  ASSERT_EQ(open("TCPIP0::127.0.0.1::" + std::to_string(sock::localPort(listener)) + "::SOCKET", vi), VI_SUCCESS);
  sock::Handle peer = sock::accept(listener);
  ASSERT_NE(peer, sock::kNone);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  char rsrcClass[256] = {};
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_RSRC_CLASS, rsrcClass), VI_SUCCESS);
  EXPECT_STREQ(rsrcClass, "SOCKET");

  ASSERT_EQ(write(vi, "MEAS?\n"), VI_SUCCESS);
  char got[16] = {};
  ASSERT_EQ(sock::receive(peer, got, sizeof got), 6);
  EXPECT_STREQ(got, "MEAS?\n");
  ASSERT_EQ(sock::send(peer, "1.5\n2.5\n"), 8);
  struct Step {
    std::string text;
    ViStatus status;
  };
  const std::vector<Step> steps = {{"1.5\n", VI_SUCCESS_TERM_CHAR}, {"2.5\n", VI_SUCCESS_TERM_CHAR}, {"", VI_ERROR_TMO}};
  for (const Step& step : steps) {
    expectRead(vi, 100, step.text, step.status);
  }
  // Without the termination character a read ends only at its count: binary
  // data read by length passes line feeds. A byte stream carries no END, so
  // suppressing it changes nothing.
  ASSERT_EQ(sock::send(peer, "#0\n\n\x0a\x41\n"), 7);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_SUPPRESS_END_EN, VI_TRUE), VI_SUCCESS);
  expectRead(vi, 6, "#0\n\n\x0a\x41", VI_SUCCESS_MAX_CNT);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  expectRead(vi, 100, "\n", VI_SUCCESS_TERM_CHAR);
  ViUInt16 stb = 0;
  EXPECT_EQ(viReadSTB(vi, &stb), VI_ERROR_NSUP_OPER);
  sock::close(peer);
  expectRead(vi, 100, "", VI_ERROR_CONN_LOST);
  EXPECT_EQ(write(vi, "X\n"), VI_ERROR_CONN_LOST);
  EXPECT_EQ(viClose(vi), VI_SUCCESS);
  sock::close(listener);
}

}  // namespace
