// Skipping the per-call status check for a sequence, and the one check at its end.
#include "tests/support/driver_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

class StatusSkip : public DriverTest {};

// Each call's wire with the check kept (the default) and with it skipped:
// skipping leaves out the two "*ESR?" and nothing else.
TEST_F(StatusSkip, SkippingLeavesOutOnlyTheStatusQueries) {
  ViInt32 count = 0;
  struct Case {
    const char* name;
    std::vector<std::string> replies;
    Call call;
    Writes lines;
  } cases[] = {
      {"setting", {}, [](ViSession vi) { return kavrel_srcContWave(vi, 1.5e9, -10.25); },
       {":SOUR:MODE CW;:SOUR:FREQ 1500000000.000000;POW:LEV -10.25"}},
      {"selection and setting", {}, [](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, VI_FALSE, 1); },
       {":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:MEAS:POW B"}},
      {"query", {"7\n"}, [&count](ViSession vi) { return kavrel_readMax(vi, 3, &count); }, {":SCAL:MEM:MAX?"}},
  };
  open();
  for (ViBoolean skip : {VI_FALSE, VI_TRUE, VI_FALSE}) {
    ASSERT_EQ(VI_SUCCESS, kavrel_skipStatusCheck(vi_, skip));
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << " skip " << int(skip));
      mark();
      replies(c.replies);
      EXPECT_EQ(VI_SUCCESS, c.call(vi_));
      EXPECT_EQ(skip ? c.lines : checked(c.lines), writes());
    }
  }
  EXPECT_EQ(7, count);
}

// Refusals collect in the register: the check at the end of the sequence
// finds one made by any call, whether or not the calls skipped their checks.
TEST_F(StatusSkip, EndOfSequenceCheckReadsTheRegisterOnce) {
  struct Case {
    ViBoolean skip;
    ViInt32 first, second;
    ViStatus expected;
  } cases[] = {
      {VI_TRUE, 0, 0, VI_SUCCESS},
      {VI_TRUE, 0x20, 0, VI_ERROR_INSTR_SPECIFIC},
      {VI_TRUE, 0x01, 0x10, VI_ERROR_INSTR_SPECIFIC},
      {VI_FALSE, 0x04, 0, VI_ERROR_INSTR_SPECIFIC},
      {VI_FALSE, 0x81, 0x40, VI_SUCCESS},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.skip) << " " << c.first << " " << c.second);
    ASSERT_EQ(VI_SUCCESS, kavrel_skipStatusCheck(vi_, c.skip));
    mark();
    esr(c.first);
    esr(c.second);
    EXPECT_EQ(c.expected, kavrel_checkInstrStatus(vi_));
    EXPECT_EQ((Writes{"*ESR?", "*ESR?"}), writes());
  }
  mark();
  fail(STANDIN_QUERYF, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_checkInstrStatus(vi_));
  EXPECT_EQ(1u, calls(STANDIN_QUERYF));
}

// A bad flag and a session kavrel_init never set up change nothing and send nothing.
TEST_F(StatusSkip, BadRequestsChangeNothing) {
  open();
  mark();
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_skipStatusCheck(vi_, 2));
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_skipStatusCheck(vi_, 0xFFFF));
  EXPECT_EQ(0u, allCalls());
  EXPECT_EQ(VI_SUCCESS, kavrel_srcRFOutput(vi_, VI_TRUE));
  EXPECT_EQ(checked({":SOUR:RF ON"}), writes());

  ViSession rm = VI_NULL, bare = VI_NULL;
  ASSERT_EQ(VI_SUCCESS, viOpenDefaultRM(&rm));
  ASSERT_EQ(VI_SUCCESS, viOpen(rm, kResource, VI_NULL, VI_NULL, &bare));
  EXPECT_EQ(VI_ERROR_INV_OBJECT, kavrel_skipStatusCheck(bare, VI_TRUE));
  viClose(rm);
}

// The switch is the session's: a reset keeps it and still checks its own setup;
// a new session starts with the check.
TEST_F(StatusSkip, ResetKeepsTheSwitchAndANewSessionStartsChecked) {
  open();
  ASSERT_EQ(VI_SUCCESS, kavrel_skipStatusCheck(vi_, VI_TRUE));
  replies({"OVR,4101,100001,1.00\n", "0\n"});
  mark();
  EXPECT_EQ(VI_SUCCESS, kavrel_reset(vi_));
  EXPECT_EQ((Writes{"*RST", "*IDN?", "*OPT?", "*ESR?", "*ESR?", "*CLS;*ESE 1;*SRE 32"}), writes());
  mark();
  EXPECT_EQ(VI_SUCCESS, kavrel_srcRFOutput(vi_, VI_FALSE));
  EXPECT_EQ((Writes{":SOUR:RF OFF"}), writes());
  reopen();
  EXPECT_EQ(VI_SUCCESS, kavrel_srcRFOutput(vi_, VI_FALSE));
  EXPECT_EQ(checked({":SOUR:RF OFF"}), writes());
}

}  // namespace
}  // namespace kavrel::test
