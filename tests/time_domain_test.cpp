// Time domain: transform settings, window, display domain, gate and fence.
#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

constexpr char kStateQuery[] = ":REFL:TDOM:STAT?";

class TimeDomain : public DriverTest {};

TEST_F(TimeDomain, TypicalCallsSendTheirLinesAndOneStatusCheck) {
  open();
  expectSent({
      {"on, measurement 1 of channel 2", [](ViSession vi) { return kavrel_reflTimeDomain(vi, VI_TRUE, VI_TRUE); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":REFL:TDOM ON"})},
      {"off", [](ViSession vi) { return kavrel_reflTimeDomain(vi, VI_FALSE, VI_FALSE); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:TDOM OFF"})},
      {"low pass step", [](ViSession vi) { return kavrel_reflTDomFunc(vi, VI_TRUE, VI_FALSE, VI_FALSE); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":REFL:TDOM:TRAN LOW;RESP STEP"})},
      {"band pass impulse", [](ViSession vi) { return kavrel_reflTDomFunc(vi, VI_FALSE, VI_TRUE, VI_TRUE); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:TDOM:TRAN BAND;RESP IMP"})},
      {"extrapolation, one decimal",
       [](ViSession vi) { return kavrel_reflDCextrapol(vi, VI_FALSE, VI_TRUE, 2, 12.34); },
       checked({":CHAN:ACT 1;:MEAS:ACT 2", ":REFL:TDOM:EMOD MAN;RCO 12.3"})},
      {"extrapolation auto", [](ViSession vi) { return kavrel_reflDCextrapol(vi, VI_TRUE, VI_TRUE, 0, 1000.0); },
       checked({":CHAN:ACT 2;:MEAS:ACT 2", ":REFL:TDOM:EMOD AUTO;RCO 1000.0"})},
      {"window sends the user number too",
       [](ViSession vi) { return kavrel_reflWindowing(vi, VI_FALSE, VI_FALSE, 0, 13); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:TDOM:WIND:SHAP MIN;USER 13"})},
      {"user window", [](ViSession vi) { return kavrel_reflWindowing(vi, VI_TRUE, VI_FALSE, 3, 0); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":REFL:TDOM:WIND:SHAP USER;USER 0"})},
      {"time display", [](ViSession vi) { return kavrel_reflDomDisp(vi, VI_FALSE, 0); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:TDOM:DISP TIME"})},
      {"metres", [](ViSession vi) { return kavrel_reflDomDisp(vi, VI_FALSE, 1); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:TDOM:DISP DIST;UNIT METR"})},
      {"feet", [](ViSession vi) { return kavrel_reflDomDisp(vi, VI_TRUE, 2); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":REFL:TDOM:DISP DIST;UNIT FEET"})},
  });
}

TEST_F(TimeDomain, ArgumentErrorsComeBeforeAnyIo) {
  open();
  expectRefused({
      {"time domain channel", [](ViSession vi) { return kavrel_reflTimeDomain(vi, 2, 0); }, VI_ERROR_PARAMETER2},
      {"time domain state", [](ViSession vi) { return kavrel_reflTimeDomain(vi, 0, 2); }, VI_ERROR_PARAMETER3},
      {"transform", [](ViSession vi) { return kavrel_reflTDomFunc(vi, 0, 2, 0); }, VI_ERROR_PARAMETER3},
      {"response", [](ViSession vi) { return kavrel_reflTDomFunc(vi, 0, 0, 2); }, VI_ERROR_PARAMETER4},
      {"extrapolation mode", [](ViSession vi) { return kavrel_reflDCextrapol(vi, 0, 0, 3, 1.0); }, VI_ERROR_PARAMETER4},
      {"value in every mode", [](ViSession vi) { return kavrel_reflDCextrapol(vi, 0, 0, 0, 1000.5); },
       VI_ERROR_PARAMETER5},
      {"value negative", [](ViSession vi) { return kavrel_reflDCextrapol(vi, 0, 0, 2, -0.1); }, VI_ERROR_PARAMETER5},
      {"value NaN", [](ViSession vi) { return kavrel_reflDCextrapol(vi, 0, 0, 2, kNaN); }, VI_ERROR_PARAMETER5},
      {"window shape", [](ViSession vi) { return kavrel_reflWindowing(vi, 0, 0, 4, 0); }, VI_ERROR_PARAMETER4},
      {"user window 14", [](ViSession vi) { return kavrel_reflWindowing(vi, 0, 0, 0, 14); }, VI_ERROR_PARAMETER5},
      {"user window -1", [](ViSession vi) { return kavrel_reflWindowing(vi, 0, 0, 3, -1); }, VI_ERROR_PARAMETER5},
      {"display domain", [](ViSession vi) { return kavrel_reflDomDisp(vi, 0, 3); }, VI_ERROR_PARAMETER3},
      {"display channel", [](ViSession vi) { return kavrel_reflDomDisp(vi, 7, 0); }, VI_ERROR_PARAMETER2},
      {"gate switch", [](ViSession vi) { return kavrel_reflGateNFence(vi, 2, 0, 0, 0, 0, 0, 0); }, VI_ERROR_PARAMETER2},
      {"gate form", [](ViSession vi) { return kavrel_reflGateNFence(vi, 0, 2, 0, 0, 0, 0, 0); }, VI_ERROR_PARAMETER3},
  });
}

TEST_F(TimeDomain, GatePositionsFollowTheReportedState) {
  struct Case {
    const char* name;
    const char* state;  // reply to the state query
    ViBoolean form;
    double first, second;
    ViBoolean type, coupling;
    ViInt32 shape;
    ViStatus expected;
  } cases[] = {
      {"on: centre + half span at the limit", "1\n", VI_FALSE, 0.8, 0.4, 1, 1, 0, VI_SUCCESS},
      {"on: centre + half span past it", "1\n", VI_FALSE, 0.9, 0.4, 1, 1, 0, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {"on: lower end past it", "1\n", VI_FALSE, -0.8, 0.6, 1, 1, 0, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {"on: a negative span reaches as far", "1\n", VI_FALSE, 0.9, -0.4, 1, 1, 0, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {"on: position 1.5", "1\n", VI_TRUE, 1.5, 1.6, 1, 1, 0, VI_ERROR_PARAMETER4},
      {"on: span held like a position", "1\n", VI_FALSE, 0.0, 1.5, 1, 1, 0, VI_ERROR_PARAMETER5},
      {"any non-zero state is on", "-1\n", VI_TRUE, 0.0, 2.0, 1, 1, 0, VI_ERROR_PARAMETER5},
      {"off: 3e8 allowed", "0\n", VI_TRUE, -3.0e8, 3.0e8, 0, 0, 3, VI_SUCCESS},
      {"off: 3.5e8", "0\n", VI_TRUE, 3.5e8, 3.6e8, 0, 0, 3, VI_ERROR_PARAMETER4},
      {"no number counts as off", "OFF\n", VI_TRUE, 2.0, 2.0, 0, 0, 3, VI_SUCCESS},
      {"stop below start", "1\n", VI_TRUE, 0.5, 0.2, 0, 0, 0, VI_ERROR_INSTR_START_GT_STOP},
      {"stop equal start", "1\n", VI_TRUE, 0.5, 0.5, 0, 0, 0, VI_SUCCESS},
      {"range before relation", "1\n", VI_TRUE, 0.5, 1.2, 0, 0, 0, VI_ERROR_PARAMETER5},
      {"relation before type", "1\n", VI_TRUE, 0.5, 0.2, 2, 0, 0, VI_ERROR_INSTR_START_GT_STOP},
      {"NaN position", "1\n", VI_TRUE, kNaN, 0.2, 0, 0, 0, VI_ERROR_PARAMETER4},
      {"type", "1\n", VI_TRUE, 0.1, 0.2, 2, 0, 0, VI_ERROR_PARAMETER6},
      {"coupling", "1\n", VI_TRUE, 0.1, 0.2, 0, 2, 0, VI_ERROR_PARAMETER7},
      {"shape after everything else", "1\n", VI_TRUE, 0.1, 0.2, 0, 0, 4, VI_ERROR_PARAMETER8},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    reply(c.state);
    EXPECT_EQ(c.expected, kavrel_reflGateNFence(vi_, VI_TRUE, c.form, c.first, c.second, c.type, c.coupling, c.shape));
    Writes sent = writes();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(kStateQuery, sent[0]);
    EXPECT_EQ(c.expected == VI_SUCCESS ? 4u : 1u, sent.size());
  }
}

TEST_F(TimeDomain, GateCommandCarriesEverySetting) {
  open();
  reply("1\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reflGateNFence(vi_, VI_TRUE, VI_FALSE, 2.5e-9, 1.0e-9, VI_TRUE, VI_FALSE, 1));
  EXPECT_EQ(checked({kStateQuery,
                     ":REFL:TDOM:GAT:STAT ON;:REFL:TDOM:GAT:CENT 0.0000000025;SPAN 0.000000001;TYPE GATE;COUP OFF;"
                     "SHAP NORM"}),
            writes());
  mark();
  reply("0\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reflGateNFence(vi_, VI_FALSE, VI_TRUE, -1.5, 20.0, VI_FALSE, VI_TRUE, 3));
  EXPECT_EQ(checked({kStateQuery,
                     ":REFL:TDOM:GAT:STAT OFF;:REFL:TDOM:GAT:STAR -1.500000;STOP 20.000000;TYPE FENC;COUP ON;"
                     "SHAP MAX"}),
            writes());
}

TEST_F(TimeDomain, FailingStateQueryWinsOverLaterArguments) {
  open();
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_reflGateNFence(vi_, VI_TRUE, VI_TRUE, 5.0, 0.0, 2, 2, 9));
  EXPECT_EQ(0u, calls(STANDIN_READ));
  mark();
  fail(STANDIN_READ, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_reflGateNFence(vi_, VI_TRUE, VI_TRUE, 5.0, 0.0, 2, 2, 9));
  EXPECT_EQ((Writes{kStateQuery}), writes());
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
}

}  // namespace
}  // namespace kavrel::test
