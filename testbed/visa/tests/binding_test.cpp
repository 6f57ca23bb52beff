#include <gtest/gtest.h>
#include "binding.h"
#include "standin.h"
TEST(Smoke, LoadsStandin) {
  ViSession rm = 0, vi = 0;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);
  EXPECT_EQ(kavrel::binding::bindingLoadCount(), 1u);
  ASSERT_EQ(viOpen(rm, "GPIB0::5::INSTR", VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
  ASSERT_EQ(viPrintf(vi, "%s", "*RST\n"), VI_SUCCESS);
  EXPECT_EQ(standin_write_count(), 1u);
  char d[256];
  EXPECT_EQ(viStatusDesc(vi, VI_ERROR_TMO, d), VI_SUCCESS);
  EXPECT_STREQ(d, "Timeout expired before operation completed.");
  EXPECT_EQ(viMove(vi, 0, 0, 0, 0, 0, 0, 0), VI_ERROR_NSUP_OPER);
  EXPECT_EQ(viClose(rm), VI_SUCCESS);
}
