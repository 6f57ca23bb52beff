#include <gtest/gtest.h>
#include "standin.h"
TEST(Smoke, OpenWriteRead) {
  standin_reset();
  ViSession rm = 0, vi = 0;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  ASSERT_EQ(viOpen(rm, "GPIB0::5::INSTR", VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  viSetAttribute(vi, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
  ASSERT_EQ(viPrintf(vi, "*IDN?\n"), VI_SUCCESS);
  standin_reply_text("OVR,4101,123,1.0\n");
  char buf[100] = {};
  ViUInt32 n = 0;
  EXPECT_EQ(viRead(vi, (ViPBuf)buf, 5, &n), VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(viRead(vi, (ViPBuf)buf, 100, &n), VI_SUCCESS);
  EXPECT_EQ(std::string(buf, n), "101,123,1.0\n");
  ASSERT_EQ(standin_write_count(), 1u);
  EXPECT_STREQ(standin_written(0, nullptr), "*IDN?\n");
  ViInt32 esr = 7;
  EXPECT_EQ(viQueryf(vi, "*ESR?\n", "%ld", &esr), VI_SUCCESS);
  EXPECT_EQ(esr, 0);
  float arr[4] = {};
  ViInt32 cnt = 4;
  standin_reply("#0\x3f\x80\x00\x00\x40\x00\x00\x00\n", 11);
  EXPECT_EQ(viScanf(vi, "#0%#zy", &cnt, arr), VI_SUCCESS);
  EXPECT_EQ(cnt, 2);
  EXPECT_EQ(arr[0], 1.0f);
  EXPECT_EQ(arr[1], 2.0f);
  ViInt32 code = 5; char msg[256] = "x";
  standin_reply_text("-100,\"Command error\"\n");
  EXPECT_EQ(viScanf(vi, "%ld,\"%[^\"]", &code, msg), VI_SUCCESS);
  EXPECT_EQ(code, -100);
  EXPECT_STREQ(msg, "Command error");
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
  EXPECT_EQ(standin_open_sessions(), 0u);
}
