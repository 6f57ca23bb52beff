// Display ranges by channel mode, limit checking, limit specifications and
// the display frequency mode.
#include <array>
#include <functional>
#include <string>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Display : public DriverTest {};

TEST_F(Display, RangeIsCheckedByTheActiveChannelsMode) {
  struct Case {
    const char* name;
    ViInt32 model;
    const char* mode;  // reply to ":CHAN:MODE?"
    ViBoolean startStop;
    double first, second;
    ViStatus expected;
    const char* command;  // sent when accepted
  } cases[] = {
      {"scalar full span", 4101, "SCAL\n", VI_TRUE, 10e6, 8e9, VI_SUCCESS,
       ":MEAS:DISP:START 10000000.000000;STOP 8000000000.000000"},
      {"scalar start equals stop", 4101, "SCAL\n", VI_TRUE, 1e9, 1e9, VI_SUCCESS,
       ":MEAS:DISP:START 1000000000.000000;STOP 1000000000.000000"},
      {"scalar start above stop", 4101, "SCAL\n", VI_TRUE, 2e9, 1e9, VI_ERROR_INSTR_START_GT_STOP, nullptr},
      {"scalar start below 10 MHz", 4101, "SCAL\n", VI_TRUE, 9.999e6, 1e9, VI_ERROR_PARAMETER2, nullptr},
      {"scalar stop above 4102", 4102, "SCAL\n", VI_TRUE, 1e9, 2.001e9, VI_ERROR_PARAMETER3, nullptr},
      {"scalar stop on 4103", 4103, "SCAL\n", VI_TRUE, 1e9, 26.5e9, VI_SUCCESS,
       ":MEAS:DISP:START 1000000000.000000;STOP 26500000000.000000"},
      {"scalar span below 10 MHz", 4101, "SCAL\n", VI_FALSE, 1e9, 5e6, VI_ERROR_PARAMETER3, nullptr},
      {"scalar centre/span at both edges", 4102, "SCAL\n", VI_FALSE, 1.005e9, 1.99e9, VI_SUCCESS,
       ":MEAS:DISP:CENT 1005000000.000000;SPAN 1990000000.000000"},
      {"scalar upper edge left", 4102, "SCAL\n", VI_FALSE, 1.5e9, 1.2e9, VI_ERROR_INSTR_CENTER_SPAN_RANGE, nullptr},
      {"scalar lower edge left", 4101, "SCAL\n", VI_FALSE, 100e6, 200e6, VI_ERROR_INSTR_CENTER_SPAN_RANGE, nullptr},
      {"scalar NaN", 4101, "SCAL\n", VI_TRUE, kNaN, 1e9, VI_ERROR_PARAMETER2, nullptr},
      {"fault edges 0 and 100", 4101, "FLOC\n", VI_FALSE, 50.0, 100.0, VI_SUCCESS,
       ":MEAS:DISP:CENT 50.000000;SPAN 100.000000"},
      {"fault edge passed", 4101, "FLOC\n", VI_FALSE, 50.1, 100.0, VI_ERROR_INSTR_CENTER_SPAN_RANGE, nullptr},
      {"fault span above 100", 4101, "FLOC\n", VI_FALSE, 50.0, 100.2, VI_ERROR_PARAMETER3, nullptr},
      {"fault start above 100", 4101, "FLOC\n", VI_TRUE, 101.0, 100.0, VI_ERROR_PARAMETER2, nullptr},
      {"fault zero span", 4101, "FLOC\n", VI_FALSE, 0.0, 0.0, VI_SUCCESS, ":MEAS:DISP:CENT 0.000000;SPAN 0.000000"},
      {"reflection unchecked", 4101, "REFL\n", VI_TRUE, 5.0, -1.0, VI_SUCCESS,
       ":MEAS:DISP:START 5.000000;STOP -1.000000"},
      {"readout unchecked", 4102, "READ\n", VI_FALSE, 30e9, 1e12, VI_SUCCESS,
       ":MEAS:DISP:CENT 30000000000.000000;SPAN 1000000000000.000000"},
      {"unexpected reply unchecked", 4101, "\n", VI_TRUE, 0.0, 1.0, VI_SUCCESS,
       ":MEAS:DISP:START 0.000000;STOP 1.000000"},
      {"lower-case reply unchecked", 4101, "scal\n", VI_TRUE, 1.0, 2.0, VI_SUCCESS,
       ":MEAS:DISP:START 1.000000;STOP 2.000000"},
      // Without limits a value must still be a number.
      {"reflection NaN start", 4101, "REFL\n", VI_TRUE, kNaN, 1.0, VI_ERROR_PARAMETER2, nullptr},
      {"readout infinite span", 4101, "READ\n", VI_FALSE, 1.0, kInf, VI_ERROR_PARAMETER3, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reopen(c.model);
    reply(c.mode);
    EXPECT_EQ(c.expected, kavrel_measDispRange(vi_, c.startStop, c.first, c.second));
    Writes expected{":CHAN:MODE?"};
    if (c.command) expected = checked({":CHAN:MODE?", c.command});
    EXPECT_EQ(expected, writes());
  }
}

TEST_F(Display, RangeFlagIsCheckedBeforeTheQueryAndQueryErrorsBeforeValues) {
  open();
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_measDispRange(vi_, 2, 1e9, 2e9));
  EXPECT_EQ(0u, allCalls());

  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_measDispRange(vi_, VI_TRUE, -1.0, -2.0));
  EXPECT_EQ(0u, calls(STANDIN_READ));

  mark();
  fail(STANDIN_READ, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_measDispRange(vi_, VI_TRUE, -1.0, -2.0));
  EXPECT_EQ((Writes{":CHAN:MODE?"}), writes());

  // A scalar channel needs the model's limits; a failing fetch ends the call.
  mark();
  reply("SCAL\n");
  fail(STANDIN_GET_ATTRIBUTE, 1, VI_ERROR_INV_OBJECT);
  EXPECT_EQ(VI_ERROR_INV_OBJECT, kavrel_measDispRange(vi_, VI_TRUE, 1e9, 2e9));
  EXPECT_EQ((Writes{":CHAN:MODE?"}), writes());
}

TEST_F(Display, LimitChecking) {
  open();
  struct Case {
    const char* name;
    ViBoolean channel, measurement, state;
    ViInt32 limitLine;
    ViStatus expected;
    Writes sent;
  } cases[] = {
      {"on, line 4", VI_FALSE, VI_TRUE, VI_TRUE, 4, VI_SUCCESS,
       checked({":CHAN:ACT 1;:MEAS:ACT 2", ":MEAS:LIM:SEL 4;STAT ON"})},
      {"on, line 1", VI_TRUE, VI_FALSE, VI_TRUE, 1, VI_SUCCESS,
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":MEAS:LIM:SEL 1;STAT ON"})},
      {"off", VI_TRUE, VI_TRUE, VI_FALSE, 2, VI_SUCCESS, checked({":CHAN:ACT 2;:MEAS:ACT 2", ":MEAS:LIM:STAT OFF"})},
      {"off, line 5", VI_FALSE, VI_FALSE, VI_FALSE, 5, VI_ERROR_PARAMETER5, {}},
      {"on, line 0", VI_FALSE, VI_FALSE, VI_TRUE, 0, VI_ERROR_PARAMETER5, {}},
      {"state 2", VI_FALSE, VI_FALSE, 2, 0, VI_ERROR_PARAMETER4, {}},
      {"measurement 2", VI_FALSE, 2, 2, 0, VI_ERROR_PARAMETER3, {}},
      {"channel 2", 2, 2, 2, 0, VI_ERROR_PARAMETER2, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    EXPECT_EQ(c.expected, kavrel_measLimCheck(vi_, c.channel, c.measurement, c.state, c.limitLine));
    EXPECT_EQ(c.sent, writes());
  }
}

TEST_F(Display, LimitCheckingStopsAtAFailedSelection) {
  open();
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_measLimCheck(vi_, VI_FALSE, VI_FALSE, VI_TRUE, 1));
  EXPECT_EQ(1u, calls(STANDIN_WRITE));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
}

// Seven field arrays in parameter order 2..8 and the type array at 3.
struct LimitSpec {
  std::array<ViReal64, 12> field1{}, field5{}, field4{}, field2{}, field6{}, field7{};
  std::array<ViInt32, 12> type{};
  ViStatus create(ViSession vi, ViInt32 count) const {
    return kavrel_measCreateLimSpec(vi, field1.data(), type.data(), field5.data(), field4.data(), field2.data(),
                                    field6.data(), field7.data(), count);
  }
};

TEST_F(Display, LimitSpecificationSendsTheFieldsInTheInstrumentsOrder) {
  open();
  LimitSpec limits;
  limits.field1[0] = 1e9;
  limits.field2[0] = 2e9;
  limits.type[0] = 1;
  limits.field4[0] = -3.5;
  limits.field5[0] = 4.25;
  limits.field6[0] = 6;
  limits.field7[0] = -7;
  EXPECT_EQ(VI_SUCCESS, limits.create(vi_, 1));
  EXPECT_EQ(checked({":MEAS:LIM:RES;SEGM 1000000000.000000, 2000000000.000000, SLOP, -3.500000, 4.250000, "
                     "6.000000, -7.000000"}),
            writes());
}

TEST_F(Display, TwelveSegmentsGoOutAsOneLine) {
  open();
  LimitSpec limits;
  std::string expected = ":MEAS:LIM:RES";
  const char* types[] = {"FLAT", "SLOP", "POIN"};
  for (int i = 0; i < 12; ++i) {
    double big = 26.5e9 - i;  // the widest numbers the instrument takes
    limits.field1[i] = big;
    limits.field2[i] = -big;
    limits.type[i] = i % 3;
    limits.field4[i] = big;
    limits.field5[i] = -big;
    limits.field6[i] = big;
    limits.field7[i] = -big;
    std::string b = std::to_string(static_cast<long long>(big)) + ".000000";
    expected += ";SEGM " + b + ", -" + b + ", " + types[i % 3] + ", " + b + ", -" + b + ", " + b + ", -" + b;
  }
  EXPECT_GT(expected.size(), 1000u);
  EXPECT_EQ(VI_SUCCESS, limits.create(vi_, 12));
  EXPECT_EQ(checked({expected}), writes());
}

TEST_F(Display, LimitSpecificationRejectsBadInputBeforeAnyIO) {
  open();
  struct Case {
    const char* name;
    std::function<void(LimitSpec&)> spoil;
    ViInt32 count;
    ViStatus expected;
  } cases[] = {
      {"count 0", [](LimitSpec&) {}, 0, VI_ERROR_PARAMETER2},
      {"count 13", [](LimitSpec&) {}, 13, VI_ERROR_PARAMETER2},
      {"count -1", [](LimitSpec&) {}, -1, VI_ERROR_PARAMETER2},
      {"type 3", [](LimitSpec& s) { s.type[1] = 3; }, 2, VI_ERROR_PARAMETER3},
      {"type -1", [](LimitSpec& s) { s.type[0] = -1; }, 1, VI_ERROR_PARAMETER3},
      {"field 1 NaN", [](LimitSpec& s) { s.field1[11] = kNaN; }, 12, VI_ERROR_PARAMETER2},
      {"field 5 infinite", [](LimitSpec& s) { s.field5[0] = -kInf; }, 1, VI_ERROR_PARAMETER4},
      {"field 4 NaN", [](LimitSpec& s) { s.field4[0] = kNaN; }, 1, VI_ERROR_PARAMETER5},
      {"field 2 NaN", [](LimitSpec& s) { s.field2[2] = kNaN; }, 3, VI_ERROR_PARAMETER6},
      {"field 6 infinite", [](LimitSpec& s) { s.field6[0] = kInf; }, 1, VI_ERROR_PARAMETER7},
      {"field 7 NaN", [](LimitSpec& s) { s.field7[0] = kNaN; }, 1, VI_ERROR_PARAMETER8},
      {"first bad position decides",
       [](LimitSpec& s) {
         s.field7[0] = kNaN;
         s.type[0] = 5;
       },
       1, VI_ERROR_PARAMETER3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LimitSpec limits;
    c.spoil(limits);
    mark();
    EXPECT_EQ(c.expected, limits.create(vi_, c.count));
    EXPECT_EQ(0u, allCalls());
  }
  // A bad value beyond the count is not looked at.
  LimitSpec limits;
  limits.type[1] = 7;
  limits.field1[1] = kNaN;
  mark();
  EXPECT_EQ(VI_SUCCESS, limits.create(vi_, 1));
}

TEST_F(Display, LimitSpecificationNeedsEveryArray) {
  open();
  LimitSpec s;
  const ViReal64* r = s.field1.data();
  const ViInt32* t = s.type.data();
  expectRefused({
      {"field 1", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, nullptr, t, r, r, r, r, r, 1); },
       VI_ERROR_PARAMETER2},
      {"types", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, r, nullptr, r, r, r, r, r, 1); },
       VI_ERROR_PARAMETER3},
      {"field 5", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, r, t, nullptr, r, r, r, r, 1); },
       VI_ERROR_PARAMETER4},
      {"field 4", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, r, t, r, nullptr, r, r, r, 1); },
       VI_ERROR_PARAMETER5},
      {"field 2", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, r, t, r, r, nullptr, r, r, 1); },
       VI_ERROR_PARAMETER6},
      {"field 6", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, r, t, r, r, r, nullptr, r, 1); },
       VI_ERROR_PARAMETER7},
      {"field 7", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, r, t, r, r, r, r, nullptr, 12); },
       VI_ERROR_PARAMETER8},
      {"count first", [&](ViSession vi) { return kavrel_measCreateLimSpec(vi, r, nullptr, r, r, r, r, r, 0); },
       VI_ERROR_PARAMETER2},
  });
}

TEST_F(Display, LimitSpecificationFailuresAndInstrumentErrors) {
  open();
  LimitSpec limits;
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, limits.create(vi_, 1));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  esr(0);
  esr(0x08);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, limits.create(vi_, 1));
}

TEST_F(Display, FrequencyModes) {
  open();
  struct Case {
    const char* name;
    ViBoolean channel;
    ViInt32 mode;
    double offset, scale, power;
    ViStatus expected;
    const char* command;
  } cases[] = {
      {"user offset and scale", VI_FALSE, 0, -200e9, 30.0, 99.99, VI_SUCCESS,
       ":CHAN:ACT 1;:SYST:DISP:FMOD USER;FOFF -200000000000.000000;FSC 30.000000"},
      {"user power offset", VI_TRUE, 1, 200e9, 0.01, -99.99, VI_SUCCESS,
       ":CHAN:ACT 2;:SYST:DISP:FMOD USER;POFF -99.990000"},
      {"fixed 5831", VI_FALSE, 2, 0.0, 1.0, 0.0, VI_SUCCESS, ":CHAN:ACT 1;:SYST:DISP:FMOD 5831"},
      {"fixed 5832", VI_TRUE, 3, 0.0, 1.0, 0.0, VI_SUCCESS, ":CHAN:ACT 2;:SYST:DISP:FMOD 5832"},
      // Every value is checked, also those the mode does not send.
      {"scale 0 in mode 2", VI_FALSE, 2, 0.0, 0.0, 0.0, VI_ERROR_PARAMETER5, nullptr},
      {"offset beyond 200 GHz", VI_FALSE, 1, 200.001e9, 1.0, 0.0, VI_ERROR_PARAMETER4, nullptr},
      {"scale above 30", VI_FALSE, 3, 0.0, 30.01, 0.0, VI_ERROR_PARAMETER5, nullptr},
      {"power offset 100", VI_FALSE, 0, 0.0, 1.0, 100.0, VI_ERROR_PARAMETER6, nullptr},
      {"power offset NaN", VI_FALSE, 2, 0.0, 1.0, kNaN, VI_ERROR_PARAMETER6, nullptr},
      {"mode 4", VI_FALSE, 4, 0.0, 1.0, 0.0, VI_ERROR_PARAMETER3, nullptr},
      {"mode -1", VI_FALSE, -1, kNaN, 1.0, 0.0, VI_ERROR_PARAMETER3, nullptr},
      {"channel 2", 2, 4, 0.0, 1.0, 0.0, VI_ERROR_PARAMETER2, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    EXPECT_EQ(c.expected, kavrel_dispDomScaleOffset(vi_, c.channel, c.mode, c.offset, c.scale, c.power));
    if (c.command)
      EXPECT_EQ(checked({c.command}), writes());
    else
      EXPECT_EQ(0u, allCalls());
  }
}

}  // namespace
}  // namespace kavrel::test
