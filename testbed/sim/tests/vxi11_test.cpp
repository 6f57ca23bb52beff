// VXI-11: the exact bytes of an RPC record, record reassembly, and the
// simulator's core channel and portmapper driven by plain RPC calls.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "testbed/hislip/hislip.h"
#include "testbed/sim/server.h"
#include "testbed/vxi11/rpc.h"

#include <rpc/pmap_prot.h>

namespace kavrel::sim {
namespace {

namespace v = kavrel::vxi11;

std::string words(std::initializer_list<std::uint32_t> values) {
  std::string out;
  for (std::uint32_t w : values) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((w >> shift) & 0xFF);
  }
  return out;
}

TEST(Vxi11Rpc, DeviceWriteCallBytesAreExact) {
  char data[] = "*IDN?\n";
  Device_WriteParms parms{7, 1000, 0, v::kFlagEnd, {6, data}};
  const std::string record = v::recordEncode(
      v::callEncode(1, DEVICE_CORE, DEVICE_CORE_VERSION, device_write, v::xdrRoutine(xdr_Device_WriteParms), &parms));
  // xid, CALL, RPC version 2, program, version, procedure 11, null credentials and verifier;
  // link 7, I/O time-out 1000, lock time-out 0, flags END, six bytes padded to eight.
  const std::string body = words({1, 0, 2, 0x0607AF, 1, 11, 0, 0, 0, 0, 7, 1000, 0, 8, 6}) + "*IDN?\n" +
                           std::string(2, '\0');
  EXPECT_EQ(record, words({0x80000000u | static_cast<std::uint32_t>(body.size())}) + body);
}

TEST(Vxi11Rpc, RecordsReassembleFromFragmentsAnySplit) {
  const std::string stream = words({3}) + "abc" + words({0x80000002u}) + "de" + v::recordEncode("fgh");
  for (std::size_t chunk = 1; chunk <= stream.size(); ++chunk) {
    SCOPED_TRACE(chunk);
    v::RecordDecoder decoder(100);
    std::vector<std::string> got;
    for (std::size_t i = 0; i < stream.size(); i += chunk) {
      decoder.feed(std::string_view(stream).substr(i, chunk));
      while (auto record = decoder.next()) got.push_back(*record);
    }
    EXPECT_EQ(got, (std::vector<std::string>{"abcde", "fgh"}));
  }
  v::RecordDecoder small(4);
  small.feed(v::recordEncode("12345"));
  EXPECT_FALSE(small.next());
  EXPECT_TRUE(small.failed());
}

// A plain RPC client over TCP for the tests.
class RpcClient {
 public:
  explicit RpcClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RpcClient() { ::close(fd_); }
  RpcClient(const RpcClient&) = delete;
  RpcClient& operator=(const RpcClient&) = delete;

  template <typename Args, typename Result>
  bool call(rpcprog_t program, rpcproc_t procedure, xdrproc_t argsRoutine, const Args& args,
            v::Decoded<Result>& result, rpcvers_t version = 1) {
    const std::uint32_t xid = ++xid_;
    return sendRaw(v::recordEncode(v::callEncode(xid, program, version, procedure, argsRoutine, &args))) &&
           receive(xid, result) == v::ReplyStatus::ok;
  }
  bool sendRaw(std::string_view bytes) { return connected_ && hislip::sendAll(fd_, bytes); }
  template <typename Result>
  v::ReplyStatus receive(std::uint32_t xid, v::Decoded<Result>& result) {
    std::string reply;
    if (v::readRecord(fd_, v::kMaxRecord, reply) != v::ReadStatus::ok) return v::ReplyStatus::garbled;
    return v::replyDecode(reply, xid, result.proc, &result.value);
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  std::uint32_t xid_ = 0;
};

struct Vxi11ServerTest : ::testing::Test {
  void SetUp() override {
    Options o;
    o.hislipPort = 0;
    o.rawPort = -1;
    o.vxi11Port = 0;
    o.portmapPort = 0;
    server = std::make_unique<Server>(o);
    std::string error;
    ASSERT_TRUE(server->start(&error)) << error;
    core = std::make_unique<RpcClient>(server->vxi11Port());
  }

  long link(const char* device, long* error = nullptr) {
    Create_LinkParms p{1, 0, 0, const_cast<char*>(device)};
    v::Decoded<Create_LinkResp> r(v::xdrRoutine(xdr_Create_LinkResp));
    EXPECT_TRUE(core->call(DEVICE_CORE, create_link, v::xdrRoutine(xdr_Create_LinkParms), p, r));
    if (error != nullptr) *error = r.value.error;
    return r.value.lid;
  }
  long write(long lid, std::string text, long flags = v::kFlagEnd) {
    Device_WriteParms p{lid, 1000, 0, flags, {static_cast<u_int>(text.size()), text.data()}};
    v::Decoded<Device_WriteResp> r(v::xdrRoutine(xdr_Device_WriteResp));
    EXPECT_TRUE(core->call(DEVICE_CORE, device_write, v::xdrRoutine(xdr_Device_WriteParms), p, r));
    return r.value.error;
  }
  struct Read {
    long error;
    long reason;
    std::string data;
  };
  Read read(long lid, u_long count, long flags = 0, char termChar = 0, u_long timeoutMs = 1000) {
    Device_ReadParms p{lid, count, timeoutMs, 0, flags, termChar};
    v::Decoded<Device_ReadResp> r(v::xdrRoutine(xdr_Device_ReadResp));
    EXPECT_TRUE(core->call(DEVICE_CORE, device_read, v::xdrRoutine(xdr_Device_ReadParms), p, r));
    return {r.value.error, r.value.reason, std::string(r.value.data.data_val, r.value.data.data_len)};
  }
  long onLink(rpcproc_t procedure, long lid) {
    v::Decoded<Device_Error> r(v::xdrRoutine(xdr_Device_Error));
    if (procedure == device_lock) {
      Device_LockParms p{lid, 0, 0};
      EXPECT_TRUE(core->call(DEVICE_CORE, procedure, v::xdrRoutine(xdr_Device_LockParms), p, r));
    } else {
      Device_Link p = lid;
      EXPECT_TRUE(core->call(DEVICE_CORE, procedure, v::xdrRoutine(xdr_Device_Link), p, r));
    }
    return r.value.error;
  }

  std::unique_ptr<Server> server;
  std::unique_ptr<RpcClient> core;
};

// A length the record does not hold is refused as garbage, not allocated.
TEST_F(Vxi11ServerTest, OversizedLengthIsGarbageNotAnAllocation) {
  // The arguments written by hand: link 1, time-outs, END, and a data length of almost 4 GiB.
  const std::string call = v::callEncode(9, DEVICE_CORE, DEVICE_CORE_VERSION, device_write, nullptr, nullptr) +
                           words({1, 1000, 0, 8, 0xFFFFFFF0u});
  ASSERT_TRUE(core->sendRaw(v::recordEncode(call)));
  v::Decoded<Device_WriteResp> r(v::xdrRoutine(xdr_Device_WriteResp));
  EXPECT_EQ(core->receive(9, r), v::ReplyStatus::refused);
}

TEST_F(Vxi11ServerTest, PortmapperGivesTheCoreChannelOnly) {
  RpcClient portmap(server->portmapPort());
  struct Case {
    pmap query;
    u_long port;
  };
  for (const Case& c : {Case{{DEVICE_CORE, 1, IPPROTO_TCP, 0}, static_cast<u_long>(server->vxi11Port())},
                        Case{{DEVICE_CORE, 2, IPPROTO_TCP, 0}, 0}, Case{{DEVICE_CORE, 1, IPPROTO_UDP, 0}, 0},
                        Case{{100003, 3, IPPROTO_TCP, 0}, 0}}) {
    v::Decoded<u_long> port(v::xdrRoutine(xdr_u_long));
    ASSERT_TRUE(portmap.call(v::kPortmapProgram, v::kPortmapGetPort, v::xdrRoutine(xdr_pmap), c.query, port, 2));
    EXPECT_EQ(port.value, c.port);
  }
}

TEST_F(Vxi11ServerTest, ReadEndsOnCountTermCharOrEnd) {
  long error = -1;
  EXPECT_EQ(link("hislip0", &error), 0);
  EXPECT_EQ(error, v::kInvalidAddress);
  const long lid = link("gpib0,7", &error);
  ASSERT_EQ(error, v::kNoError);
  EXPECT_EQ(read(lid, 10, 0, 0, 50).error, v::kIoTimeout);  // nothing to read
  ASSERT_EQ(write(lid, "*ID", 0), v::kNoError);              // no END: not yet a program message
  ASSERT_EQ(write(lid, "N?\n"), v::kNoError);
  struct Case {
    u_long count;
    long flags;
    char termChar;
    Read want;
  };
  for (const Case& c : {Case{4, 0, 0, {0, v::kReasonRequestCount, "OVR,"}},
                        Case{100, v::kFlagTermChar, ',', {0, v::kReasonTermChar, "4101,"}},
                        Case{7, v::kFlagTermChar, '\n', {0, v::kReasonRequestCount, "100001,"}},
                        Case{100, 0, 0, {0, v::kReasonEnd, "1.00\n"}}}) {
    const Read got = read(lid, c.count, c.flags, c.termChar);
    EXPECT_EQ(got.error, c.want.error);
    EXPECT_EQ(got.reason, c.want.reason);
    EXPECT_EQ(got.data, c.want.data);
  }
  EXPECT_EQ(read(lid + 100, 10).error, v::kInvalidLinkId);
}

TEST_F(Vxi11ServerTest, LocksKeepOtherLinksOutAndLinksEnd) {
  const long a = link("inst0");
  const long b = link("inst1");
  auto otherConnection = std::make_unique<RpcClient>(server->vxi11Port());
  auto elsewhere = [&](auto call) {  // the call made on another connection
    std::swap(core, otherConnection);
    const long error = call();
    std::swap(core, otherConnection);
    return error;
  };
  struct Case {
    const char* what;
    std::function<long()> call;
    long error;
  };
  const std::vector<Case> cases = {
      {"a link is its connection's only", [&] { return elsewhere([&] { return write(a, "*CLS\n"); }); },
       v::kInvalidLinkId},
      {"lock", [&] { return onLink(device_lock, a); }, v::kNoError},
      {"other link may not write", [&] { return write(b, "*CLS\n"); }, v::kDeviceLocked},
      {"other link may not lock", [&] { return onLink(device_lock, b); }, v::kDeviceLocked},
      {"other link holds nothing", [&] { return onLink(device_unlock, b); }, v::kNoLockHeld},
      {"the holder writes", [&] { return write(a, "*CLS\n"); }, v::kNoError},
      {"unlock", [&] { return onLink(device_unlock, a); }, v::kNoError},
      {"other link writes again", [&] { return write(b, "*CLS\n"); }, v::kNoError},
      {"destroy", [&] { return onLink(destroy_link, a); }, v::kNoError},
      {"gone", [&] { return onLink(destroy_link, a); }, v::kInvalidLinkId},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.call(), c.error);
  }
}

}  // namespace
}  // namespace kavrel::sim
