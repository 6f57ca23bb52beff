// Status texts, the instrument's error queue, revisions, self-test, raw I/O.
#include <cstring>
#include <set>
#include <string>

#include "tests/support/driver_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

class Utility : public DriverTest {};

// The driver's own texts, checked without restating its table: the eleven
// parameter texts generated from their numbers, a few published texts
// (the two "interpreting" texts a swap would exchange, the spelling the
// ratio text is published with, the longest at 80 characters), and for every
// code the prefix its sign calls for and a text of its own.
TEST_F(Utility, DriverCodesGetTheDriversTexts) {
  auto message = [](ViStatus code) {
    char text[256];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(VI_SUCCESS, kavrel_error_message(VI_NULL, code, text)) << std::hex << code;
    return std::string(text);
  };
  for (int n = 1; n <= 11; ++n) {
    ViStatus code = n <= 8 ? VI_ERROR_PARAMETER1 + (n - 1) : VI_ERROR_INSTR_PARAMETER9 + (n - 9);
    EXPECT_EQ("ERROR: Parameter " + std::to_string(n) + " out of range", message(code));
  }
  EXPECT_EQ("WARNING: ID Query not supported", message(VI_WARN_NSUP_ID_QUERY));
  EXPECT_EQ("ERROR: Interpreting instrument response", message(VI_ERROR_INV_RESPONSE));
  EXPECT_EQ("ERROR: Interpreting the instrument's response", message(VI_ERROR_INSTR_INTERPRETING_RESPONSE));
  EXPECT_EQ("WARNING: The Search value is not found.", message(VI_WARN_INSTR_SEARCH_NFOUND));
  EXPECT_EQ("ERROR: The nominator and denominator channels must be different.", message(VI_ERROR_INSTR_SAME_CHANNELS));
  const std::string longest = message(VI_ERROR_INSTR_CENTER_SPAN_RANGE);
  EXPECT_EQ("ERROR: The center and span values yield a range value which is out of the limits", longest);
  EXPECT_EQ(80u, longest.size());

  const ViStatus codes[] = {
      VI_WARN_NSUP_ID_QUERY,       VI_WARN_NSUP_RESET,           VI_WARN_NSUP_SELF_TEST,
      VI_WARN_NSUP_ERROR_QUERY,    VI_WARN_NSUP_REV_QUERY,       VI_ERROR_PARAMETER1,
      VI_ERROR_PARAMETER2,         VI_ERROR_PARAMETER3,          VI_ERROR_PARAMETER4,
      VI_ERROR_PARAMETER5,         VI_ERROR_PARAMETER6,          VI_ERROR_PARAMETER7,
      VI_ERROR_PARAMETER8,         VI_ERROR_FAIL_ID_QUERY,       VI_ERROR_INV_RESPONSE,
      VI_ERROR_INSTR_FILE_OPEN,    VI_ERROR_INSTR_FILE_WRITE,    VI_ERROR_INSTR_INTERPRETING_RESPONSE,
      VI_ERROR_INSTR_PARAMETER9,   VI_ERROR_INSTR_PARAMETER10,   VI_ERROR_INSTR_PARAMETER11,
      VI_WARN_INSTR_SEARCH_NFOUND, VI_ERROR_INSTR_START_GT_STOP, VI_ERROR_INSTR_SPECIFIC,
      VI_ERROR_INSTR_MIN_GT_MAX,   VI_ERROR_INSTR_SAME_CHANNELS, VI_ERROR_INSTR_CENTER_SPAN_RANGE,
  };
  std::set<std::string> texts;
  for (ViStatus code : codes) {
    const std::string text = message(code);
    EXPECT_EQ(0u, text.rfind(code < VI_SUCCESS ? "ERROR: " : "WARNING: ", 0)) << text;
    EXPECT_LE(text.size(), 80u) << text;
    EXPECT_TRUE(texts.insert(text).second) << "a second code with " << text;
  }
}

TEST_F(Utility, UnknownCodesAndVisaCodes) {
  char text[256];
  EXPECT_EQ(VI_WARN_UNKNOWN_STATUS, kavrel_error_message(VI_NULL, static_cast<ViStatus>(0xBFFC0123), text));
  EXPECT_STREQ("Unknown Error 0xBFFC0123", text);
  EXPECT_EQ(VI_WARN_UNKNOWN_STATUS, kavrel_error_message(VI_NULL, 0x12, text));
  EXPECT_STREQ("Unknown Error 0x00000012", text);
  EXPECT_EQ(VI_SUCCESS, kavrel_error_message(VI_NULL, VI_ERROR_TMO, text));
  char visa[256];
  viStatusDesc(VI_NULL, VI_ERROR_TMO, visa);
  EXPECT_STREQ(visa, text);
  EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_error_message(VI_NULL, VI_ERROR_TMO, VI_NULL));
}

// VISA is asked first; when it fails, the driver's own table answers, and
// "Unknown Error" for a code it does not hold, as for a code VISA does not know.
TEST_F(Utility, FailingStatusDescriptionFallsBackToTheDriversTexts) {
  struct Case {
    ViStatus code;
    ViStatus expected;
    const char* text;
  } cases[] = {
      {VI_ERROR_PARAMETER2, VI_SUCCESS, "ERROR: Parameter 2 out of range"},
      {0x12, VI_WARN_UNKNOWN_STATUS, "Unknown Error 0x00000012"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char text[256];
    std::memset(text, 'x', sizeof text);
    fail(STANDIN_STATUS_DESC, 1, VI_ERROR_SYSTEM_ERROR);
    EXPECT_EQ(c.expected, kavrel_error_message(VI_NULL, c.code, text));
    EXPECT_STREQ(c.text, text);
    EXPECT_EQ(1u, calls(STANDIN_STATUS_DESC));
    mark();
  }
}

TEST_F(Utility, ErrorQueryReadsNumberAndUnquotedText) {
  open();
  reply("-222,\"Data out of range\"\n");
  ViInt32 code = 1;
  char text[256] = "";
  EXPECT_EQ(VI_SUCCESS, kavrel_error_query(vi_, &code, text));
  EXPECT_EQ(-222, code);
  EXPECT_STREQ("Data out of range", text);
  EXPECT_EQ((Writes{":SYST:ERR?"}), writes());
  reply("0,\"No error\"\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_error_query(vi_, &code, text));
  EXPECT_EQ(0, code);
  EXPECT_STREQ("No error", text);
}

TEST_F(Utility, ErrorQueryNeverWritesMoreThan255Characters) {
  open();
  std::string longText(1000, 'e');
  reply("-100,\"" + longText + "\"\n");
  char text[300];
  std::memset(text, '#', sizeof text);
  ViInt32 code = 0;
  EXPECT_EQ(VI_SUCCESS, kavrel_error_query(vi_, &code, text));
  EXPECT_EQ(-100, code);
  EXPECT_LE(std::strlen(text), 255u);
  EXPECT_GE(std::strlen(text), 254u);
  for (std::size_t i = 256; i < sizeof text; ++i) EXPECT_EQ('#', text[i]);
}

TEST_F(Utility, ErrorQueryFailuresLeaveOutputsAlone) {
  open();
  ViInt32 code = 42;
  char text[256] = "kept";
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_error_query(vi_, &code, text));
  EXPECT_EQ(0u, calls(STANDIN_SCANF));
  EXPECT_EQ(VI_ERROR_TMO, kavrel_error_query(vi_, &code, text));  // nothing queued: time-out
  EXPECT_EQ(42, code);
  EXPECT_STREQ("kept", text);
  reply("no error queue here\n");
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_error_query(vi_, &code, text));
  EXPECT_EQ(42, code);
  EXPECT_STREQ("kept", text);
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_error_query(vi_, VI_NULL, text));
  EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_error_query(vi_, &code, VI_NULL));
}

TEST_F(Utility, RevisionQuery) {
  open();
  struct Case {
    std::string identity;
    ViStatus expected;
    const char* firmware;
  } cases[] = {
      {"OVR,4101,100001,2.07\n", VI_SUCCESS, "2.07"},
      {"OVR,4101,100001,2.07", VI_SUCCESS, "2.07"},
      {"OVR,4101,100001,\n", VI_SUCCESS, ""},
      {"OVR,4101,100001\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
      {"OVR\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.identity);
    mark();
    reply(c.identity);
    char driver[256] = "untouched";
    char firmware[256] = "";
    EXPECT_EQ(c.expected, kavrel_revision_query(vi_, driver, firmware));
    EXPECT_EQ((Writes{"*IDN?"}), writes());
    if (c.firmware) {
      EXPECT_STREQ("Rev 1.1, 11/1999, CVI 5.0.1", driver);
      EXPECT_STREQ(c.firmware, firmware);
    } else {
      EXPECT_STREQ("untouched", driver);
    }
  }
  // Only 100 bytes are read: a long firmware field is cut there, never overrun.
  reply("OVR,4101,1," + std::string(300, 'f') + "\n");
  char driver[256], firmware[256];
  EXPECT_EQ(VI_SUCCESS_MAX_CNT, kavrel_revision_query(vi_, driver, firmware));
  EXPECT_EQ(100u - 11u, std::strlen(firmware));
}

TEST_F(Utility, SelfTest) {
  open();
  reply("0\n");
  ViInt16 result = -1;
  char message[256] = "old";
  EXPECT_EQ(VI_SUCCESS, kavrel_self_test(vi_, &result, message));
  EXPECT_EQ(0, result);
  EXPECT_STREQ("", message);
  reply("17\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_self_test(vi_, &result, VI_NULL));
  EXPECT_EQ(17, result);
  EXPECT_EQ((Writes{"*TST?", "*TST?"}), writes());
  reply("PASS\n");
  strcpy(message, "old");
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_self_test(vi_, &result, message));
  EXPECT_EQ(17, result);
  EXPECT_STREQ("old", message);
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_self_test(vi_, VI_NULL, message));
}

TEST_F(Utility, RawWriteAndRead) {
  open();
  EXPECT_EQ(VI_SUCCESS, kavrel_writeInstrData(vi_, const_cast<ViString>(":SOUR:POW?")));
  EXPECT_EQ((Writes{":SOUR:POW?"}), writes());
  reply("-10.00\n");
  char buffer[4] = {'#', '#', '#', '#'};
  ViInt32 count = -1;
  EXPECT_EQ(VI_SUCCESS_MAX_CNT, kavrel_readInstrData(vi_, 3, buffer, &count));
  EXPECT_EQ(3, count);
  EXPECT_EQ(0, std::memcmp(buffer, "-10#", 4));
  EXPECT_EQ(VI_SUCCESS_MAX_CNT, kavrel_readInstrData(vi_, 3, buffer, &count));
  EXPECT_EQ(3, count);
  EXPECT_EQ(0, std::memcmp(buffer, ".00", 3));
  EXPECT_EQ(VI_SUCCESS, kavrel_readInstrData(vi_, 3, buffer, VI_NULL));
  EXPECT_EQ('\n', buffer[0]);
  // Nothing more to read: the time-out, and the count left at 0.
  count = 9;
  EXPECT_EQ(VI_ERROR_TMO, kavrel_readInstrData(vi_, 3, buffer, &count));
  EXPECT_EQ(0, count);
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_readInstrData(vi_, -1, buffer, &count));
  EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_readInstrData(vi_, 3, VI_NULL, &count));
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_writeInstrData(vi_, VI_NULL));
}

}  // namespace
}  // namespace kavrel::test
