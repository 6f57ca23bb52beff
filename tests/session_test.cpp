// Opening, setting up, resetting and closing a session.
#include "driver/core/frame.h"
#include "tests/support/driver_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

const Writes kSetup = {"*IDN?", "*OPT?", "*ESR?", "*ESR?", "*CLS;*ESE 1;*SRE 32"};

class Session : public DriverTest {
 protected:
  const InstrumentData* record() {
    ViAddr data = nullptr;
    EXPECT_EQ(VI_SUCCESS, viGetAttribute(vi_, VI_ATTR_USER_DATA, &data));
    return static_cast<const InstrumentData*>(data);
  }
  void scriptSetup(const std::string& identity, const std::string& options) {
    reply(identity);
    reply(options);
  }
};

TEST_F(Session, InitSendsExactlyTheSetupForEachFlagCombination) {
  struct Case {
    ViBoolean idQuery, reset;
    Writes expected;
  } cases[] = {
      {VI_FALSE, VI_FALSE, kSetup},
      {VI_TRUE, VI_FALSE, {"*IDN?", "*IDN?", "*OPT?", "*ESR?", "*ESR?", "*CLS;*ESE 1;*SRE 32"}},
      {VI_FALSE, VI_TRUE, {"*RST", "*IDN?", "*OPT?", "*ESR?", "*ESR?", "*CLS;*ESE 1;*SRE 32"}},
      {VI_TRUE, VI_TRUE, {"*IDN?", "*RST", "*IDN?", "*OPT?", "*ESR?", "*ESR?", "*CLS;*ESE 1;*SRE 32"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.idQuery << c.reset);
    standin_reset();
    mark();
    if (c.idQuery) reply("OVR,4101,100001,1.00\n");
    scriptSetup("OVR,4101,100001,1.00\n", "0\n");
    ASSERT_EQ(VI_SUCCESS, kavrel_init(const_cast<ViRsrc>(kResource), c.idQuery, c.reset, &vi_));
    EXPECT_EQ(c.expected, writes());
    EXPECT_EQ(2u, standin_open_sessions());
    EXPECT_EQ(VI_SUCCESS, kavrel_close(vi_));
    vi_ = VI_NULL;
    EXPECT_EQ(0u, standin_open_sessions());
  }
}

TEST_F(Session, InitConfiguresTimeoutBuffersAndRecord) {
  open(4103, 0x220);
  ViUInt32 timeout = 0;
  EXPECT_EQ(VI_SUCCESS, viGetAttribute(vi_, VI_ATTR_TMO_VALUE, &timeout));
  EXPECT_EQ(10000u, timeout);
  ViUInt16 mode = 0;
  EXPECT_EQ(VI_SUCCESS, viGetAttribute(vi_, VI_ATTR_WR_BUF_OPER_MODE, &mode));
  EXPECT_EQ(VI_FLUSH_ON_ACCESS, mode);
  EXPECT_EQ(VI_SUCCESS, viGetAttribute(vi_, VI_ATTR_RD_BUF_OPER_MODE, &mode));
  EXPECT_EQ(VI_FLUSH_ON_ACCESS, mode);
  const InstrumentData* data = record();
  ASSERT_NE(nullptr, data);
  EXPECT_EQ(26.5e9, data->maxFrequency);
  EXPECT_EQ(-90.0, data->minLevel);
  EXPECT_EQ(0x220, data->options);
  EXPECT_STREQ("Rev 1.1, 11/1999, CVI 5.0.1", data->revision);
}

TEST_F(Session, ModelsAndOptionsSetTheLimits) {
  struct Case {
    ViInt32 model, options;
    double maxFrequency, minLevel;
  } cases[] = {{4100, 0, 20e9, -70}, {4101, 0x200, 8e9, -110}, {4102, 0x220, 2e9, -90},
               {4103, 0x20, 26.5e9, -90}, {4104, 0x3FF, 26e9, -90}, {4104, 0x1C0, 26e9, -70}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    reopen(c.model, c.options);
    EXPECT_EQ(c.maxFrequency, record()->maxFrequency);
    EXPECT_EQ(c.minLevel, record()->minLevel);
  }
}

TEST_F(Session, IdentificationMustBeginWithTheFamilyPrefix) {
  struct Case {
    std::string identity;
    ViStatus expected;
  } cases[] = {
      {"OVR,4101,1,1.0\n", VI_SUCCESS},
      {"OVR,4109,1,1.0\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE},  // prefix fits, model unknown
      {"OVX,4101,1,1.0\n", VI_ERROR_FAIL_ID_QUERY},
      {"ovr,4101,1,1.0\n", VI_ERROR_FAIL_ID_QUERY},
      {"OVR,4201,1,1.0\n", VI_ERROR_FAIL_ID_QUERY},
      {" OVR,4101,1,1.0\n", VI_ERROR_FAIL_ID_QUERY},
      {"OVR,41", VI_ERROR_FAIL_ID_QUERY},
      {"", VI_ERROR_FAIL_ID_QUERY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.identity);
    standin_reset();
    reply(c.identity);
    scriptSetup(c.identity, "0\n");
    ViSession vi = 12345;
    EXPECT_EQ(c.expected, kavrel_init(const_cast<ViRsrc>(kResource), VI_TRUE, VI_FALSE, &vi));
    if (c.expected < 0) {
      EXPECT_EQ(static_cast<ViSession>(VI_NULL), vi);
      EXPECT_EQ(0u, standin_open_sessions());
    } else {
      kavrel_close(vi);
    }
  }
}

TEST_F(Session, UnknownModelCannotBeOpenedEvenWithoutIdentification) {
  scriptSetup("OVR,4099,1,1.0\n", "0\n");
  ViSession vi = 7;
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_init(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, &vi));
  EXPECT_EQ(static_cast<ViSession>(VI_NULL), vi);
  EXPECT_EQ(0u, standin_open_sessions());
  EXPECT_EQ((Writes{"*IDN?"}), writes());
}

// Errors an earlier program left in the register are cleared by the setup's
// own "*CLS"; only the second answer of its status check counts.
TEST_F(Session, StaleErrorBitsBeforeTheSetupDoNotFailInit) {
  scriptSetup("OVR,4101,1,1.0\n", "0\n");
  esr(0x20);
  esr(0);
  EXPECT_EQ(VI_SUCCESS, kavrel_init(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, &vi_));
}

TEST_F(Session, ErrorBitsDuringSetupFailInit) {
  scriptSetup("OVR,4101,1,1.0\n", "0\n");
  esr(0);
  esr(0x20);
  ViSession vi = 7;
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_init(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, &vi));
  EXPECT_EQ(0u, standin_open_sessions());
}

TEST_F(Session, BadFlagsOpenNothing) {
  ViSession vi = 7;
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_init(const_cast<ViRsrc>(kResource), 2, 5, &vi));
  EXPECT_EQ(static_cast<ViSession>(VI_NULL), vi);  // as after every failure
  vi = 7;
  EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_init(const_cast<ViRsrc>(kResource), VI_TRUE, 0xFFFF, &vi));
  EXPECT_EQ(VI_ERROR_PARAMETER1, kavrel_init(VI_NULL, VI_TRUE, VI_TRUE, &vi));
  EXPECT_EQ(VI_ERROR_PARAMETER4, kavrel_init(const_cast<ViRsrc>(kResource), VI_TRUE, VI_TRUE, VI_NULL));
  EXPECT_EQ(0u, allCalls());
}

// Every VISA call of init fails once in turn: init returns that status and
// leaves nothing open, nothing allocated and the session variable VI_NULL.
TEST_F(Session, AFailureAtAnyStepOfInitCleansUp) {
  const standin_op ops[] = {STANDIN_OPEN_DEFAULT_RM, STANDIN_OPEN, STANDIN_SET_ATTRIBUTE, STANDIN_SET_BUF,
                            STANDIN_WRITE, STANDIN_READ, STANDIN_QUERYF, STANDIN_GET_ATTRIBUTE};
  for (standin_op op : ops) {
    for (unsigned nth = 1; nth <= 6; ++nth) {
      // The first two reads are of the resource class and interface, which
      // fall back to an instrument session (FramingFallsBackToEnd).
      if (op == STANDIN_GET_ATTRIBUTE && nth <= 2) continue;
      standin_reset();
      mark();
      reply("OVR,4101,1,1.0\n");
      scriptSetup("OVR,4101,1,1.0\n", "0\n");
      fail(op, nth, VI_ERROR_IO);
      ViSession vi = 7;
      ViStatus status = kavrel_init(const_cast<ViRsrc>(kResource), VI_TRUE, VI_TRUE, &vi);
      bool injected = calls(op) >= nth;
      SCOPED_TRACE(testing::Message() << "op " << op << " call " << nth);
      if (!injected) {
        // The fault is still pending and may hit close, which then frees
        // nothing: close again until it gets through.
        EXPECT_EQ(VI_SUCCESS, status);
        for (int attempt = 0; attempt < 3 && kavrel_close(vi) == VI_ERROR_IO; ++attempt) {
        }
        continue;
      }
      EXPECT_EQ(VI_ERROR_IO, status);
      EXPECT_EQ(static_cast<ViSession>(VI_NULL), vi);
      EXPECT_EQ(0u, standin_open_sessions());
    }
  }
}

// A VISA may store the record's address and still report an error: the
// record then belongs to the session, and the clean-up frees it once.
TEST_F(Session, RecordStoredDespiteAnErrorIsFreedOnce) {
  scriptSetup("OVR,4101,1,1.0\n", "0\n");
  standin_fail_after(STANDIN_SET_ATTRIBUTE, 4, VI_ERROR_IO);  // after time-out and both buffer modes
  ViSession vi = 7;
  EXPECT_EQ(VI_ERROR_IO, kavrel_init(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, &vi));
  EXPECT_EQ(static_cast<ViSession>(VI_NULL), vi);
  EXPECT_EQ(0u, standin_open_sessions());
}

// A close whose viClose fails leaves no pointer to the freed record behind:
// later calls on the session find no record instead of freed memory.
TEST_F(Session, FailedCloseLeavesNoRecordBehind) {
  open();
  fail(STANDIN_CLOSE, 1, VI_ERROR_IO);
  fail(STANDIN_CLOSE, 2, VI_ERROR_IO);  // the resource manager too, or it would close the session
  EXPECT_EQ(VI_ERROR_IO, kavrel_close(vi_));
  ASSERT_EQ(nullptr, record());
  mark();
  EXPECT_EQ(VI_ERROR_INV_OBJECT, kavrel_srcLinListFreqSweep(vi_, 0.0));
  EXPECT_EQ(Writes{}, writes());
  EXPECT_EQ(VI_SUCCESS, kavrel_close(vi_));
  EXPECT_EQ(0u, standin_open_sessions());
  vi_ = VI_NULL;
}

TEST_F(Session, ResetKeepsOneRecordThatFollowsTheLatestAnswers) {
  open(4101, 0);
  const InstrumentData* first = record();
  scriptSetup("OVR,4102,1,1.0\n", "512\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reset(vi_));
  EXPECT_EQ((Writes{"*RST", "*IDN?", "*OPT?", "*ESR?", "*ESR?", "*CLS;*ESE 1;*SRE 32"}), writes());
  EXPECT_EQ(first, record());
  EXPECT_EQ(2e9, record()->maxFrequency);
  EXPECT_EQ(-110.0, record()->minLevel);
  scriptSetup("OVR,4100,1,1.0\n", "0\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reset(vi_));
  EXPECT_EQ(first, record());
  EXPECT_EQ(20e9, record()->maxFrequency);
}

TEST_F(Session, FailedResetKeepsTheRecordAndTheFieldsSetSoFar) {
  open(4101, 0);
  scriptSetup("OVR,4103,1,1.0\n", "none\n");
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_reset(vi_));
  ASSERT_NE(nullptr, record());
  EXPECT_EQ(26.5e9, record()->maxFrequency);
  EXPECT_EQ(-70.0, record()->minLevel);
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_reset(vi_));
}

TEST_F(Session, InstrOptionsReturnsTheWordOrOneBit) {
  open();
  struct Case {
    ViInt32 selector;
    ViInt32 expected;
  } cases[] = {{16, 0x2F}, {5, 0x20}, {0, 1}, {4, 0}, {37, 0x20}, {-27, 0x20}, {-1, 0}, {INT32_MIN, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selector);
    mark();
    reply("47\n");
    ViInt32 value = -1;
    EXPECT_EQ(VI_SUCCESS, kavrel_instrOptions(vi_, c.selector, &value));
    EXPECT_EQ(c.expected, value);
    EXPECT_EQ(checked({"*OPT?"}), writes());
  }
  reply("-2147483648\n");
  ViInt32 value = 0;
  EXPECT_EQ(VI_SUCCESS, kavrel_instrOptions(vi_, 31, &value));
  EXPECT_EQ(INT32_MIN, value);
}

TEST_F(Session, InstrOptionsWithoutANumberSkipsTheStatusCheck) {
  open();
  reply("\n");
  ViInt32 value = 5;
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_instrOptions(vi_, 16, &value));
  EXPECT_EQ((Writes{"*OPT?"}), writes());
  EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_instrOptions(vi_, 16, VI_NULL));
}

TEST_F(Session, CloseThatCannotReadItsAttributesClosesNothing) {
  open();
  fail(STANDIN_GET_ATTRIBUTE, 1, VI_ERROR_INV_OBJECT);
  EXPECT_EQ(VI_ERROR_INV_OBJECT, kavrel_close(vi_));
  EXPECT_EQ(2u, standin_open_sessions());
  fail(STANDIN_GET_ATTRIBUTE, 2, VI_ERROR_INV_OBJECT);
  EXPECT_EQ(VI_ERROR_INV_OBJECT, kavrel_close(vi_));
  EXPECT_EQ(2u, standin_open_sessions());
  EXPECT_EQ(VI_SUCCESS, kavrel_close(vi_));
  EXPECT_EQ(0u, standin_open_sessions());
  vi_ = VI_NULL;
}

}  // namespace
}  // namespace kavrel::test
