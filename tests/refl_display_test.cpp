// Reflection display: x-axis zoom against the axis shown now, y-axis scaling.
#include <vector>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

const std::string kSelect1 = ":CHAN:ACT 1;:MEAS:ACT 1";
const std::string kState = ":REFL:TDOM:STAT?";
const std::string kDisplay = ":REFL:TDOM:DISP?";
const std::string kUnit = ":REFL:TDOM:UNIT?";

class ReflDisplay : public DriverTest {};

TEST_F(ReflDisplay, ZoomIsHeldToTheLimitsOfTheAxisShown) {
  const Writes frequency = {kSelect1, kState};
  const Writes time = {kSelect1, kState, kDisplay};
  const Writes distance = {kSelect1, kState, kDisplay, kUnit};
  struct Case {
    const char* name;
    std::vector<std::string> replies;
    ViBoolean form;
    double first, second;
    ViStatus expected;
    Writes queries;
    std::string zoom;  // sent when accepted
  } cases[] = {
      {"frequency: centre and span fit", {"0\n"}, VI_FALSE, 4.0e9, 7.0e9, VI_SUCCESS, frequency,
       ":REFL:DISP:CENT 4000000000.000000;SPAN 7000000000.000000"},
      {"frequency: lower end below 250 MHz", {"0\n"}, VI_FALSE, 4.0e9, 8.0e9, VI_ERROR_INSTR_CENTER_SPAN_RANGE,
       frequency, ""},
      {"frequency: span held like a position", {"0\n"}, VI_FALSE, 4.0e9, 1.0e8, VI_ERROR_PARAMETER5, frequency, ""},
      {"frequency: start equal stop", {"0\n"}, VI_TRUE, 1.0e9, 1.0e9, VI_SUCCESS, frequency,
       ":REFL:DISP:STAR 1000000000.000000;STOP 1000000000.000000"},
      {"frequency: model maximum", {"0\n"}, VI_TRUE, 2.5e8, 8.0e9, VI_SUCCESS, frequency,
       ":REFL:DISP:STAR 250000000.000000;STOP 8000000000.000000"},
      {"frequency: above the model", {"0\n"}, VI_TRUE, 1.0e9, 8.1e9, VI_ERROR_PARAMETER5, frequency, ""},
      {"frequency: no number is off", {"\n"}, VI_TRUE, 2.4e8, 1.0e9, VI_ERROR_PARAMETER4, frequency, ""},
      {"time: stop below start", {"1\n", "TIME\n"}, VI_TRUE, 0.5, 0.4, VI_ERROR_INSTR_START_GT_STOP, time, ""},
      {"time: nanoseconds keep their digits", {"1\n", "TIME\n"}, VI_TRUE, -2e-9, 1.5e-8, VI_SUCCESS, time,
       ":REFL:DISP:STAR -0.000000002;STOP 0.000000015"},
      {"metres: 5e8 too far", {"1\n", "DIST\n", "METR\n"}, VI_TRUE, 5.0e8, 6.0e8, VI_ERROR_PARAMETER4, distance, ""},
      {"feet: 5e8 allowed", {"1\n", "DIST\n", "FEET\n"}, VI_TRUE, 5.0e8, 6.0e8, VI_SUCCESS, distance,
       ":REFL:DISP:STAR 500000000.000000;STOP 600000000.000000"},
      {"feet: limit", {"1\n", "DIST\n", "FEET\n"}, VI_TRUE, -983570000.0, 983570001.0, VI_ERROR_PARAMETER5, distance,
       ""},
      {"TIM is not TIME", {"1\n", "TIM\n", "METR\n"}, VI_FALSE, 0.0, 2.0, VI_SUCCESS, distance,
       ":REFL:DISP:CENT 0.000000;SPAN 2.000000"},
      {"metres: negative span reaches as far", {"1\n", "DIST\n", "METR\n"}, VI_FALSE, 2.5e8, -2.0e8,
       VI_ERROR_INSTR_CENTER_SPAN_RANGE, distance, ""},
      {"NaN centre", {"1\n", "TIME\n"}, VI_FALSE, kNaN, 0.1, VI_ERROR_PARAMETER4, time, ""},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    replies(c.replies);
    EXPECT_EQ(c.expected, kavrel_reflDispZoom(vi_, VI_FALSE, c.form, c.first, c.second));
    Writes expected = c.queries;
    if (c.expected == VI_SUCCESS) {
      expected.push_back(c.zoom);
      expected = checked(expected);
    }
    EXPECT_EQ(expected, writes());
  }
}

TEST_F(ReflDisplay, ZoomFrequencyLimitFollowsTheModel) {
  open(4103);
  reply("0\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reflDispZoom(vi_, VI_TRUE, VI_TRUE, 1.0e9, 26.5e9));
  EXPECT_EQ(checked({":CHAN:ACT 2;:MEAS:ACT 1", kState, ":REFL:DISP:STAR 1000000000.000000;STOP 26500000000.000000"}),
            writes());
}

TEST_F(ReflDisplay, ZoomOrderOfChecksAgainstIo) {
  open();
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_reflDispZoom(vi_, 2, VI_FALSE, 1e9, 1e9));
  EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_reflDispZoom(vi_, VI_FALSE, 2, 1e9, 1e9));
  EXPECT_EQ(0u, allCalls());
  // A failing selection ends the call before any query, whatever the positions.
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_reflDispZoom(vi_, VI_FALSE, VI_FALSE, kNaN, kNaN));
  EXPECT_EQ(0u, calls(STANDIN_READ));
  // A failing display query, likewise.
  mark();
  reply("1\n");
  fail(STANDIN_READ, 2, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_reflDispZoom(vi_, VI_FALSE, VI_FALSE, kNaN, kNaN));
  EXPECT_EQ((Writes{kSelect1, kState, kDisplay}), writes());
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  // The record cannot be read on a frequency axis.
  mark();
  reply("0\n");
  fail(STANDIN_GET_ATTRIBUTE, 1, VI_ERROR_INV_OBJECT);
  EXPECT_EQ(VI_ERROR_INV_OBJECT, kavrel_reflDispZoom(vi_, VI_FALSE, VI_FALSE, 4e9, 1e9));
  EXPECT_EQ((Writes{kSelect1, kState}), writes());
}

TEST_F(ReflDisplay, Scaling) {
  struct Case {
    const char* name;
    ViBoolean autoScale;
    double scale;
    ViInt32 position;
    double level;
    ViStatus expected;
    std::string sent;
  } cases[] = {
      {"manual", VI_FALSE, 10.0, 5, -20.0, VI_SUCCESS, ":REFL:SCAL:DIV 10.000000;POS 5;RLEV -20.000000"},
      {"negative scale sent unchanged", VI_FALSE, -0.5, 0, 1e6, VI_SUCCESS,
       ":REFL:SCAL:DIV -0.500000;POS 0;RLEV 1000000.000000"},
      {"automatic", VI_TRUE, 0.0, 10, 0.0, VI_SUCCESS, ":REFL:SCAL:AUT"},
      {"automatic still checks the position", VI_TRUE, 1.0, 11, 0.0, VI_ERROR_PARAMETER6, ""},
      {"position -1", VI_FALSE, 1.0, -1, 0.0, VI_ERROR_PARAMETER6, ""},
      {"scale NaN", VI_FALSE, kNaN, 5, 0.0, VI_ERROR_PARAMETER5, ""},
      {"scale infinite", VI_FALSE, -kInf, 5, 0.0, VI_ERROR_PARAMETER5, ""},
      {"level NaN", VI_FALSE, 1.0, 5, kNaN, VI_ERROR_PARAMETER7, ""},
      {"scale before position", VI_FALSE, kInf, 11, kNaN, VI_ERROR_PARAMETER5, ""},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    EXPECT_EQ(c.expected, kavrel_reflScaling(vi_, VI_TRUE, VI_FALSE, c.autoScale, c.scale, c.position, c.level));
    if (c.expected == VI_SUCCESS)
      EXPECT_EQ(checked({":CHAN:ACT 2;:MEAS:ACT 1", c.sent}), writes());
    else
      EXPECT_EQ(0u, allCalls());
  }
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_reflScaling(vi_, 2, 0, 0, 1.0, 1, 1.0));
  EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_reflScaling(vi_, 0, 2, 0, 1.0, 1, 1.0));
  EXPECT_EQ(VI_ERROR_PARAMETER4, kavrel_reflScaling(vi_, 0, 0, 2, 1.0, 1, 1.0));
}

}  // namespace
}  // namespace kavrel::test
