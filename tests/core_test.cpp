// Command text, reply scanning, range checks and the status check.
#include <clocale>
#include <cmath>
#include <limits>

#include "driver/core/frame.h"
#include "driver/core/text.h"
#include "tests/support/driver_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

TEST(CommandText, PiecesFormatAsTheTemplatesSay) {
  struct Case {
    std::string built;
    std::string expected;
  } cases[] = {
      {line(real(1.5)), "1.500000"},                       // %f
      {line(real(-0.0000004)), "-0.000000"},                 // %f rounds
      {line(real(26.5e9)), "26500000000.000000"},
      {line(fixed1(2.25)), "2.2"},                           // %f[p1], round half to even as printf
      {line(fixed2(-70)), "-70.00"},                         // %f[p2]
      {line(fixed3(0.15)), "0.150"},                         // %f[p3]
      {line(sci9(1.5e9)), "1.500000000e+09"},                // %f[ep9]
      {line(sci(-2e-11)), "-2.000000e-11"},                  // %e
      {line(ViInt32{-2147483647 - 1}), "-2147483648"},       // %d
      {line(hex8(0x12)), "00000012"},                        // %x[uw8p0]
      {line(hex8(0xBFFC09F0u)), "BFFC09F0"},
      {line(":SOUR:FREQ ", real(1e7), ";POW:LEV ", fixed2(20)), ":SOUR:FREQ 10000000.000000;POW:LEV 20.00"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, c.built);
}

TEST(CommandText, HugeValuesAreWrittenWhole) {
  std::string text = line(real(1e300));
  EXPECT_EQ(301u + 7u, text.size());
  EXPECT_EQ("1", text.substr(0, 1));
  EXPECT_EQ(".000000", text.substr(text.size() - 7));
  EXPECT_EQ("-1.797693135e+308", line(sci9(-std::numeric_limits<double>::max())));
}

TEST(CommandText, LongLinesAreBuiltWhole) {
  Line built(":SOUR:LLIS:RES");
  for (int i = 0; i < 100; ++i) built.add(";SEGM ").add(real(26e9)).add(", ").add(real(26.5e9)).add(", ").add(ViInt32{401});
  EXPECT_EQ(14u + 100u * (6 + 18 + 2 + 18 + 2 + 3), built.str().size());
}

TEST(CommandText, NumbersIgnoreTheProcessLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
  const char* chosen = nullptr;
  for (const char* name : names)
    if (std::setlocale(LC_NUMERIC, name)) {
      chosen = name;
      break;
    }
  if (!chosen) GTEST_SKIP() << "no decimal-comma locale installed";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_STREQ("1,5", probe) << "the locale really uses a decimal comma";
  EXPECT_EQ("1.500000", line(real(1.5)));
  EXPECT_EQ("1.500000000e+09", line(sci9(1.5e9)));
  ViReal64 value = 0;
  Scan scan("2.5E+3");
  EXPECT_TRUE(scan.real(value));
  EXPECT_EQ(2500.0, value);
  std::setlocale(LC_NUMERIC, "C");
}

TEST(ReplyScan, Integers) {
  struct Case {
    std::string_view reply;
    bool ok;
    ViInt32 value;
    std::size_t consumed;
  } cases[] = {
      {"401\n", true, 401, 3},       {"  -12,5", true, -12, 5},          {"+7", true, 7, 2},
      {"\n", false, 0, 1},           {"", false, 0, 0},                  {"abc", false, 0, 0},
      {"2147483647", true, 2147483647, 10}, {"2147483648", false, 0, 0}, {"1.5", true, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reply));
    ViInt32 value = -99;
    Scan scan(c.reply);
    EXPECT_EQ(c.ok, scan.integer(value));
    EXPECT_EQ(c.ok ? c.value : -99, value);
    EXPECT_EQ(c.ok ? 1 : 0, scan.matched());
    if (c.ok) {
      EXPECT_EQ(c.consumed, scan.consumed());
    }
  }
}

TEST(ReplyScan, RealsInAnyNotation) {
  struct Case {
    std::string_view reply;
    bool ok;
    double value;
  } cases[] = {
      {"1.5", true, 1.5},        {"-1.25E-03\n", true, -1.25e-3}, {"+4.0e9", true, 4e9}, {" 12", true, 12},
      {"1e400", true, kInf},     {"-1e400", true, -kInf},         {"1e-400", true, 0.0}, {"x1", false, 0},
      {"", false, 0},            {",2", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.reply));
    ViReal64 value = -99;
    Scan scan(c.reply);
    EXPECT_EQ(c.ok, scan.real(value));
    EXPECT_EQ(c.ok ? c.value : -99, value);
  }
}

TEST(ReplyScan, LiteralsCountConsumedBytes) {
  Scan scan("OVR,4102,77");
  EXPECT_TRUE(scan.literal("OVR,410"));
  EXPECT_EQ(7u, scan.consumed());
  Scan other("OVX,4102");
  EXPECT_FALSE(other.literal("OVR,410"));
  EXPECT_EQ(2u, other.consumed());
  Scan shorter("OVR");
  EXPECT_FALSE(shorter.literal("OVR,410"));
}

TEST(ReplyScan, FieldsStopAtCommaAndLineFeed) {
  const char reply[] = "OVR,4101,100001,2.07\nrest";
  Scan scan(reply, sizeof reply - 1);
  char firmware[8];
  EXPECT_TRUE(scan.skipField() && scan.literal(",") && scan.skipField() && scan.literal(",") && scan.skipField() &&
              scan.literal(",") && scan.fieldToLineFeed(firmware, sizeof firmware));
  EXPECT_EQ(4, scan.matched());
  EXPECT_STREQ("2.07", firmware);
  // A stored field never overruns its buffer.
  Scan longer("abcdefghijkl");
  char small[5];
  EXPECT_TRUE(longer.fieldToLineFeed(small, sizeof small));
  EXPECT_STREQ("abcd", small);
}

TEST(RangeChecks, BoundsAreInclusiveAndNaNFails) {
  EXPECT_FALSE(kavrel_invalidViBooleanRange(VI_FALSE));
  EXPECT_FALSE(kavrel_invalidViBooleanRange(VI_TRUE));
  EXPECT_TRUE(kavrel_invalidViBooleanRange(2));
  EXPECT_TRUE(kavrel_invalidViBooleanRange(0xFFFF));

  struct IntCase {
    ViInt32 value, min, max;
    bool invalid;
  } ints[] = {{0, 0, 3, false}, {3, 0, 3, false}, {-1, 0, 3, true}, {4, 0, 3, true},
              {INT32_MIN, INT32_MIN, 0, false}, {INT32_MAX, 0, INT32_MAX, false}, {-5, -10, -1, false}};
  for (const IntCase& c : ints) EXPECT_EQ(c.invalid, kavrel_invalidViInt32Range(c.value, c.min, c.max) == VI_TRUE);

  struct RealCase {
    double value, min, max;
    bool invalid;
  } reals[] = {{10e6, 10e6, 8e9, false}, {8e9, 10e6, 8e9, false}, {9999999.999, 10e6, 8e9, true},
               {8000000000.001, 10e6, 8e9, true}, {kNaN, -kInf, kInf, true}, {kInf, 0, 1e300, true},
               {-kInf, -kInf, 0, false}};
  for (const RealCase& c : reals) EXPECT_EQ(c.invalid, kavrel_invalidViReal64Range(c.value, c.min, c.max) == VI_TRUE);

  EXPECT_FALSE(kavrel_invalidViStringRange("12345678901234567890", 20));
  EXPECT_TRUE(kavrel_invalidViStringRange("123456789012345678901", 20));
  EXPECT_FALSE(kavrel_invalidViStringRange("", 20));
  EXPECT_TRUE(kavrel_invalidViStringRange(VI_NULL, 20));
}

TEST(RangeChecks, FirstFailureDecides) {
  EXPECT_EQ(VI_SUCCESS, static_cast<ViStatus>(Checks().flag(1, VI_ERROR_PARAMETER2).integer(3, 0, 3, VI_ERROR_PARAMETER3)));
  EXPECT_EQ(VI_ERROR_PARAMETER3,
            static_cast<ViStatus>(Checks().flag(1, VI_ERROR_PARAMETER2).integer(4, 0, 3, VI_ERROR_PARAMETER3).flag(9, VI_ERROR_PARAMETER4)));
  EXPECT_EQ(VI_ERROR_INSTR_START_GT_STOP,
            static_cast<ViStatus>(Checks().real(2, 0, 5, VI_ERROR_PARAMETER2).rule(false, VI_ERROR_INSTR_START_GT_STOP).real(kNaN, 0, 1, VI_ERROR_PARAMETER4)));
  constexpr Keywords<3> table{"A", "B", "C"};
  EXPECT_EQ("C", keyword(table, 2));
  EXPECT_EQ("", keyword(table, 3));
  EXPECT_EQ("", keyword(table, -1));
  EXPECT_EQ(VI_ERROR_PARAMETER5, static_cast<ViStatus>(Checks().index(3, table, VI_ERROR_PARAMETER5)));
}

// The status check runs against the scripted instrument directly.
class StatusCheck : public DriverTest {};

// Reading the register clears it: a command's error shows in the first
// answer, so both count; bits other than the four error bits never do.
TEST_F(StatusCheck, ErrorBitsInEitherAnswerCount) {
  struct Case {
    ViInt32 first, second;
    ViStatus expected;
  } cases[] = {{0, 0, VI_SUCCESS},    {0, 1, VI_SUCCESS},    {0, 0x80, VI_SUCCESS},  {0, 0x42, VI_SUCCESS},
               {0, 0x04, VI_ERROR_INSTR_SPECIFIC}, {0, 0x08, VI_ERROR_INSTR_SPECIFIC},
               {0, 0x10, VI_ERROR_INSTR_SPECIFIC}, {0, 0x20, VI_ERROR_INSTR_SPECIFIC},
               {0x3C, 0, VI_ERROR_INSTR_SPECIFIC}, {0x10, 0x01, VI_ERROR_INSTR_SPECIFIC},
               {0x81, 0x40, VI_SUCCESS}, {0xFF, 0xFF, VI_ERROR_INSTR_SPECIFIC}};
  ViSession rm = VI_NULL, vi = VI_NULL;
  ASSERT_EQ(VI_SUCCESS, viOpenDefaultRM(&rm));
  ASSERT_EQ(VI_SUCCESS, viOpen(rm, kResource, VI_NULL, VI_NULL, &vi));
  viSetAttribute(vi, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
  viSetAttribute(vi, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.second);
    mark();
    esr(c.first);
    esr(c.second);
    EXPECT_EQ(c.expected, kavrel_checkStatus(vi));
    EXPECT_EQ((Writes{"*ESR?", "*ESR?"}), writes());
  }
  // The default setup, before "*CLS", tests only the second answer.
  mark();
  esr(0x3C);
  esr(0x01);
  EXPECT_EQ(VI_SUCCESS, kavrel_checkStatus(vi, StatusRule::secondAnswer));
  esr(0);
  esr(0x20);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_checkStatus(vi, StatusRule::secondAnswer));
  // A failing first query is returned at once; no second query.
  mark();
  fail(STANDIN_QUERYF, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_checkStatus(vi));
  EXPECT_EQ(1u, calls(STANDIN_QUERYF));
  viClose(rm);
}

}  // namespace
}  // namespace kavrel::test
