// The stand-in against the simulated test set's own HiSLIP and raw socket
// servers on loopback: both ends of the protocol written here meet.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "testbed/sim/server.h"
#include "testbed/visa/standin.h"

namespace {

class StandinSimulatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin_reset();
    std::string error;
    server_ = kavrel::sim::startOnLoopback(&error);
    ASSERT_NE(server_, nullptr) << error;
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    const std::string hislip = "TCPIP::127.0.0.1::hislip0," + std::to_string(server_->hislipPort()) + "::INSTR";
    ASSERT_EQ(viOpen(rm_, hislip.c_str(), VI_NULL, VI_NULL, &vi_), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
  }
  void TearDown() override {
    standin_reset();
    server_.reset();
  }

  // One query through formatted I/O; the reply up to END.
  std::string query(const char* command, ViStatus& status) {
    char reply[256] = {};
    status = viQueryf(vi_, command, "%255t", reply);
    return reply;
  }

  std::unique_ptr<kavrel::sim::Server> server_;
  ViSession rm_ = 0;
  ViSession vi_ = 0;
};

// VXI-11 device names, each reached through the simulator's portmapper; the
// operations beyond write and read, and a lock another link has to wait for.
TEST_F(StandinSimulatorTest, Vxi11DeviceNamesAndOperations) {
  const std::string portmap = std::to_string(server_->portmapPort());
  for (const char* device : {"inst0", "INST1", "gpib0,7"}) {
    SCOPED_TRACE(device);
    const std::string name = "TCPIP0::127.0.0.1::" + std::string(device) + "," + portmap + "::INSTR";
    ViSession vi = 0;
    ASSERT_EQ(viOpen(rm_, name.c_str(), VI_NULL, VI_NULL, &vi), VI_SUCCESS);
    char reply[64] = {};
    EXPECT_EQ(viQueryf(vi, "*IDN?\n", "%63t", reply), VI_SUCCESS);
    EXPECT_STREQ(reply, "OVR,4101,100001,1.00\n");
    EXPECT_EQ(viClose(vi), VI_SUCCESS);
  }
  ViSession vi = 0;
  const std::string name = "TCPIP::127.0.0.1::inst0," + portmap + "::INSTR";
  EXPECT_EQ(viOpen(rm_, ("TCPIP::127.0.0.1::inst0,x," + portmap).c_str(), VI_NULL, VI_NULL, &vi),
            VI_ERROR_INV_RSRC_NAME);
  ASSERT_EQ(viOpen(rm_, name.c_str(), VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
  ViBoolean isHislip = VI_TRUE;
  EXPECT_EQ(viGetAttribute(vi, VI_ATTR_TCPIP_IS_HISLIP, &isHislip), VI_SUCCESS);
  EXPECT_EQ(isHislip, VI_FALSE);
  EXPECT_EQ(viAssertTrigger(vi, 0), VI_SUCCESS);
  EXPECT_EQ(viGpibControlREN(vi, 3), VI_SUCCESS);
  ViChar key[256] = {};
  EXPECT_EQ(viLock(vi, VI_SHARED_LOCK, 0, "k", key), _VI_ERROR + 0x3FFF0020L);  // VXI-11 locks are exclusive
  ASSERT_EQ(viLock(vi, VI_EXCLUSIVE_LOCK, 0, VI_NULL, VI_NULL), VI_SUCCESS);
  // Another client waits for the lock, then gives up.
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
  ViStatus status = VI_SUCCESS;
  EXPECT_EQ(query("*IDN?\n", status), "");
  EXPECT_EQ(status, VI_ERROR_TMO);
  ViSession other = 0;  // another VXI-11 link waits its time-out for the lock
  ASSERT_EQ(viOpen(rm_, name.c_str(), VI_NULL, VI_NULL, &other), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(other, VI_ATTR_TMO_VALUE, 100), VI_SUCCESS);
  EXPECT_EQ(viWrite(other, reinterpret_cast<ViConstBuf>("*CLS\n"), 5, VI_NULL), VI_ERROR_RSRC_LOCKED);
  ViUInt16 stb = 0xFF;
  EXPECT_EQ(viWrite(vi, reinterpret_cast<ViConstBuf>("*IDN?\n"), 6, VI_NULL), VI_SUCCESS);
  EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
  EXPECT_EQ(stb & 0x10, 0x10);  // a response waits
  EXPECT_EQ(viClear(vi), VI_SUCCESS);
  EXPECT_EQ(viReadSTB(vi, &stb), VI_SUCCESS);
  EXPECT_EQ(stb & 0x10, 0);
  EXPECT_EQ(viUnlock(vi), VI_SUCCESS);
  EXPECT_EQ(viUnlock(vi), _VI_ERROR + 0x3FFF009CL);
  ViUInt32 got = 0;
  char buf[16] = {};
  EXPECT_EQ(viRead(vi, reinterpret_cast<ViPBuf>(buf), sizeof buf, &got), VI_ERROR_TMO);  // nothing to read
  EXPECT_EQ(viClose(vi), VI_SUCCESS);
}

TEST_F(StandinSimulatorTest, IdentifiesOverHislipAndTheRawSocket) {
  ViStatus status = VI_SUCCESS;
  EXPECT_EQ(query("*IDN?\n", status), "OVR,4101,100001,1.00\n");
  EXPECT_EQ(status, VI_SUCCESS);

  ViSession raw = 0;
  const std::string socket = "TCPIP::127.0.0.1::" + std::to_string(server_->rawPort()) + "::SOCKET";
  ASSERT_EQ(viOpen(rm_, socket.c_str(), VI_NULL, VI_NULL, &raw), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(raw, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  char reply[64] = {};
  EXPECT_EQ(viQueryf(raw, "*IDN?\n", "%63t", reply), VI_SUCCESS);
  EXPECT_STREQ(reply, "OVR,4101,100001,1.00\n");
  EXPECT_EQ(viClose(raw), VI_SUCCESS);
}

TEST_F(StandinSimulatorTest, LateOrMissingReplyNeverAnswersTheNextQuery) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
  struct Case {
    const char* what;
    void (*fault)(kavrel::sim::Server&);
  };
  const Case cases[] = {
      {"reply held back", [](kavrel::sim::Server& s) { s.stallQuery(); }},
      {"reply late", [](kavrel::sim::Server& s) { s.setReplyDelay(std::chrono::milliseconds(400)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.fault(*server_);
    ViStatus status = VI_SUCCESS;
    query("*IDN?\n", status);
    EXPECT_EQ(status, VI_ERROR_TMO);
    server_->clearFaults();
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 2000), VI_SUCCESS);
    EXPECT_EQ(query("*OPC?\n", status), "1\n");
    EXPECT_EQ(status, VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
  }
}

TEST_F(StandinSimulatorTest, StatusByteShowsAWaitingReplyAndClearDropsIt) {
  ASSERT_EQ(viPrintf(vi_, "*IDN?\n"), VI_SUCCESS);
  ViUInt16 stb = 0;
  // The reply may still be on its way: ask until it is there (for at most about 5 s).
  for (int i = 0; i < 500 && (stb & 0x10) == 0; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(viReadSTB(vi_, &stb), VI_SUCCESS);
  }
  EXPECT_NE(stb & 0x10, 0);
  EXPECT_EQ(viClear(vi_), VI_SUCCESS);
  EXPECT_EQ(viReadSTB(vi_, &stb), VI_SUCCESS);
  EXPECT_EQ(stb & 0x10, 0);
  ViStatus status = VI_SUCCESS;
  EXPECT_EQ(query("*OPC?\n", status), "1\n");
  EXPECT_EQ(status, VI_SUCCESS);
}

TEST_F(StandinSimulatorTest, DroppedConnectionIsLostForGood) {
  server_->dropAfterBytes(0);
  ViStatus status = VI_SUCCESS;
  query("*IDN?\n", status);
  EXPECT_EQ(status, VI_ERROR_CONN_LOST);
  EXPECT_EQ(viPrintf(vi_, "*CLS\n"), VI_ERROR_CONN_LOST);
  EXPECT_EQ(viClose(vi_), VI_SUCCESS);
}

}  // namespace
