// Scalar measurement setup, manual scaling by the reported format, path
// calibration and trace memories.
#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Scalar : public DriverTest {};

TEST_F(Scalar, CommandsOnTheWire) {
  open();
  expectSent({
      {"power B", [](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, VI_FALSE, 1); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:MEAS:POW B"})},
      {"ratio A/D", [](ViSession vi) { return kavrel_scalRatio(vi, VI_TRUE, VI_FALSE, 0, 3); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":SCAL:MEAS:RAT A,D"})},
      {"ratio D/C", [](ViSession vi) { return kavrel_scalRatio(vi, VI_FALSE, VI_TRUE, 3, 2); },
       checked({":CHAN:ACT 1;:MEAS:ACT 2", ":SCAL:MEAS:RAT D,C"})},
      {"counter", [](ViSession vi) { return kavrel_scalCounter(vi, VI_TRUE, VI_TRUE); },
       checked({":CHAN:ACT 2;:MEAS:ACT 2", ":SCAL:MEAS:FREQ"})},
      {"averaging off", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_FALSE, VI_FALSE, 0, 1); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:AVER OFF"})},
      {"averaging on", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_FALSE, VI_TRUE, 1, 1000); },
       checked({":CHAN:ACT 1;:MEAS:ACT 2", ":SCAL:AVER ON;:SCAL:AVER:NUMB 1000"})},
      {"averaging restart", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_TRUE, VI_FALSE, 2, 1000); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":SCAL:AVER:REST"})},
      {"smoothing 0.01", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 0.01); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":MEAS:SMO ON;SMO:APER 0.01"})},
      {"smoothing 20", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 20.0); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":MEAS:SMO ON;SMO:APER 20.00"})},
      {"smoothing off", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_TRUE, VI_TRUE, VI_FALSE, 5.0); },
       checked({":CHAN:ACT 2;:MEAS:ACT 2", ":MEAS:SMO OFF"})},
      // Auto-scaling looks at neither value nor asks the format.
      {"auto off", [](ViSession vi) { return kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 0, kNaN, 0, kNaN); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:SCAL:AUTO OFF"})},
      {"auto once", [](ViSession vi) { return kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 1, 0.0, 10, 500.0); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:SCAL:AUTO ONCE"})},
      {"auto continuous", [](ViSession vi) { return kavrel_scalScaling(vi, VI_TRUE, VI_FALSE, 2, 10.0, 5, 0.0); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":SCAL:SCAL:AUTO CONT"})},
      {"format LOG", [](ViSession vi) { return kavrel_scalFormat(vi, VI_FALSE, VI_FALSE, 0); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:FORM LOG"})},
      {"format VOLT", [](ViSession vi) { return kavrel_scalFormat(vi, VI_TRUE, VI_TRUE, 3); },
       checked({":CHAN:ACT 2;:MEAS:ACT 2", ":SCAL:FORM VOLT"})},
      {"path cal through", [](ViSession vi) { return kavrel_scalCal(vi, 0, 1); }, checked({":SCAL:PCAL:THR 1"})},
      {"path cal short", [](ViSession vi) { return kavrel_scalCal(vi, 8, 2); },
       checked({":SCAL:PCAL:SHOR:MERG:SEIL 2"})},
      {"path cal select", [](ViSession vi) { return kavrel_scalCal(vi, 9, 4); }, checked({":SCAL:PCAL:SEL 4"})},
      {"path cal on", [](ViSession vi) { return kavrel_scalCalState(vi, VI_TRUE); }, checked({":SCAL:PCAL ON"})},
      {"path cal off", [](ViSession vi) { return kavrel_scalCalState(vi, VI_FALSE); }, checked({":SCAL:PCAL OFF"})},
  });
}

TEST_F(Scalar, ArgumentErrorsWriteNothing) {
  open();
  expectRefused({
      {"power channel", [](ViSession vi) { return kavrel_scalPower(vi, 2, VI_FALSE, 0); }, VI_ERROR_PARAMETER2},
      {"power measurement", [](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, 2, 0); }, VI_ERROR_PARAMETER3},
      {"power input 4", [](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, VI_FALSE, 4); }, VI_ERROR_PARAMETER4},
      {"ratio same inputs", [](ViSession vi) { return kavrel_scalRatio(vi, VI_FALSE, VI_FALSE, 2, 2); },
       VI_ERROR_INSTR_SAME_CHANNELS},
      {"ratio range before sameness", [](ViSession vi) { return kavrel_scalRatio(vi, VI_FALSE, VI_FALSE, 4, 4); },
       VI_ERROR_PARAMETER4},
      {"ratio denominator -1", [](ViSession vi) { return kavrel_scalRatio(vi, VI_FALSE, VI_FALSE, 0, -1); },
       VI_ERROR_PARAMETER5},
      {"counter measurement", [](ViSession vi) { return kavrel_scalCounter(vi, VI_TRUE, 0xFFFF); },
       VI_ERROR_PARAMETER3},
      {"averaging mode 3", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_FALSE, VI_FALSE, 3, 1); },
       VI_ERROR_PARAMETER4},
      {"averages 0 when off", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_FALSE, VI_FALSE, 0, 0); },
       VI_ERROR_PARAMETER5},
      {"averages 1001", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_FALSE, VI_FALSE, 1, 1001); },
       VI_ERROR_PARAMETER5},
      {"smoothing 2", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, 2, 1.0); },
       VI_ERROR_PARAMETER4},
      {"aperture 0 when off", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_FALSE, 0.0); },
       VI_ERROR_PARAMETER5},
      {"aperture 20.01", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 20.01); },
       VI_ERROR_PARAMETER5},
      {"aperture NaN", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, kNaN); },
       VI_ERROR_PARAMETER5},
      {"scale mode 4", [](ViSession vi) { return kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 4, 1.0, 0, 0.0); },
       VI_ERROR_PARAMETER4},
      {"auto position 11", [](ViSession vi) { return kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 1, 0.0, 11, 500.0); },
       VI_ERROR_PARAMETER6},
      {"auto position -1", [](ViSession vi) { return kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 2, 1.0, -1, 0.0); },
       VI_ERROR_PARAMETER6},
      {"format 4", [](ViSession vi) { return kavrel_scalFormat(vi, VI_FALSE, VI_FALSE, 4); }, VI_ERROR_PARAMETER4},
      {"path cal step 10", [](ViSession vi) { return kavrel_scalCal(vi, 10, 1); }, VI_ERROR_PARAMETER2},
      {"path cal index 0", [](ViSession vi) { return kavrel_scalCal(vi, 0, 0); }, VI_ERROR_PARAMETER3},
      {"path cal index 5", [](ViSession vi) { return kavrel_scalCal(vi, 9, 5); }, VI_ERROR_PARAMETER3},
      {"path cal state 2", [](ViSession vi) { return kavrel_scalCalState(vi, 2); }, VI_ERROR_PARAMETER2},
      {"memory op switch", [](ViSession vi) { return kavrel_scalMemOp(vi, VI_FALSE, VI_FALSE, 2, 1); },
       VI_ERROR_PARAMETER4},
      {"memory op channel", [](ViSession vi) { return kavrel_scalMemOp(vi, 2, VI_FALSE, VI_TRUE, 1); },
       VI_ERROR_PARAMETER2},
      {"memory action 3", [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 3, 1); },
       VI_ERROR_PARAMETER4},
      {"memory measurement", [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, 2, 0, 1); }, VI_ERROR_PARAMETER3},
  });
}

// Manual scaling asks the active measurement's format first, before it
// selects anything, and checks the values against that format's limits.
TEST_F(Scalar, ManualScalingByTheReportedFormat) {
  open();
  struct Case {
    const char* name;
    const char* format;
    double perDivision;
    ViInt32 position;
    double reference;
    ViStatus expected;
    const char* command;
  } cases[] = {
      {"LOG", "LOG\n", 10.0, 5, -200.0, VI_SUCCESS, ":SCAL:SCAL:DIV 10.00;POS 5;RLEV -200.00"},
      {"LOG upper ends", "LOG\n", 20.0, 10, 200.0, VI_SUCCESS, ":SCAL:SCAL:DIV 20.00;POS 10;RLEV 200.00"},
      {"LOG per division 20.01", "LOG\n", 20.01, 0, 0.0, VI_ERROR_PARAMETER5, nullptr},
      {"LOG reference -1", "LOG\n", 1.0, 0, -1.0, VI_SUCCESS, ":SCAL:SCAL:DIV 1.00;POS 0;RLEV -1.00"},
      {"WATT reference -1", "WATT\n", 1.0, 0, -1.0, VI_ERROR_PARAMETER7, nullptr},
      {"WATT per division 200", "WATT\n", 200.0, 0, 1000.0, VI_SUCCESS, ":SCAL:SCAL:DIV 200.00;POS 0;RLEV 1000.00"},
      {"WATT reference 1000.5", "WATT\n", 1.0, 0, 1000.5, VI_ERROR_PARAMETER7, nullptr},
      {"VSWR reference 0.5", "VSWR\n", 1.0, 0, 0.5, VI_ERROR_PARAMETER7, nullptr},
      {"VSWR reference 1", "VSWR\n", 0.01, 1, 1.0, VI_SUCCESS, ":SCAL:SCAL:DIV 0.01;POS 1;RLEV 1.00"},
      {"VSWR per division 10.5", "VSWR\n", 10.5, 1, 1.0, VI_ERROR_PARAMETER5, nullptr},
      {"VOLT reference -1", "VOLT\n", 20.0, 2, -1.0, VI_SUCCESS, ":SCAL:SCAL:DIV 20.00;POS 2;RLEV -1.00"},
      {"VOLT per division 1e-9", "VOLT\n", 1e-9, 2, 0.0, VI_ERROR_PARAMETER5, nullptr},
      {"NaN reference", "LOG\n", 1.0, 0, kNaN, VI_ERROR_PARAMETER7, nullptr},
      // The reference level is checked before the position, the position in every case.
      {"reference before position", "VSWR\n", 1.0, 11, 0.5, VI_ERROR_PARAMETER7, nullptr},
      {"position 11", "VSWR\n", 1.0, 11, 1.0, VI_ERROR_PARAMETER6, nullptr},
      // The reply must begin with a format keyword.
      {"trailing text is fine", "LOGARITHMIC", 1.0, 0, 0.0, VI_SUCCESS, ":SCAL:SCAL:DIV 1.00;POS 0;RLEV 0.00"},
      {"unknown format", "DBM\n", 1.0, 0, 0.0, VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
      {"leading blank", " LOG\n", 1.0, 0, 0.0, VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
      {"empty reply", "", 1.0, 0, 0.0, VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    reply(c.format);
    EXPECT_EQ(c.expected, kavrel_scalScaling(vi_, VI_TRUE, VI_FALSE, 3, c.perDivision, c.position, c.reference));
    Writes expected{":SCAL:FORM?"};
    if (c.command) expected = checked({":SCAL:FORM?", ":CHAN:ACT 2;:MEAS:ACT 1", c.command});
    EXPECT_EQ(expected, writes());
  }
}

// Two decimals where they carry the value to within half a percent,
// otherwise the exponent form: the smallest watt and volt scales must reach
// the instrument with their value, not as "0.00".
TEST_F(Scalar, ManualScaleValuesKeepTheirValue) {
  open();
  struct Case {
    const char* format;
    double perDivision;
    double reference;
    const char* command;
  } cases[] = {
      {"WATT\n", 1e-11, 1e-11, ":SCAL:SCAL:DIV 1.000000000e-11;POS 5;RLEV 1.000000000e-11"},
      {"VOLT\n", 1e-8, -0.005, ":SCAL:SCAL:DIV 1.000000000e-08;POS 5;RLEV -5.000000000e-03"},
      {"WATT\n", 0.0099, 0.025, ":SCAL:SCAL:DIV 9.900000000e-03;POS 5;RLEV 2.500000000e-02"},
      {"WATT\n", 0.0123, 0.25, ":SCAL:SCAL:DIV 1.230000000e-02;POS 5;RLEV 0.25"},
      {"VOLT\n", 0.01, 0.0, ":SCAL:SCAL:DIV 0.01;POS 5;RLEV 0.00"},
      {"LOG\n", 1.234, -0.999, ":SCAL:SCAL:DIV 1.23;POS 5;RLEV -1.00"},
      {"LOG\n", 0.5, -150.125, ":SCAL:SCAL:DIV 0.50;POS 5;RLEV -150.12"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    mark();
    reply(c.format);
    EXPECT_EQ(VI_SUCCESS, kavrel_scalScaling(vi_, VI_FALSE, VI_FALSE, 3, c.perDivision, 5, c.reference));
    EXPECT_EQ(checked({":SCAL:FORM?", ":CHAN:ACT 1;:MEAS:ACT 1", c.command}), writes());
  }
}

TEST_F(Scalar, ManualScalingQueryFailures) {
  open();
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_scalScaling(vi_, VI_FALSE, VI_FALSE, 3, 1.0, 0, 0.0));
  EXPECT_EQ(0u, calls(STANDIN_READ));
  mark();
  fail(STANDIN_READ, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_scalScaling(vi_, VI_FALSE, VI_FALSE, 3, 1.0, 0, 0.0));
  EXPECT_EQ((Writes{":SCAL:FORM?"}), writes());
}

// Memory numbers run from 1 to the maximum the instrument reports, asked on
// every call after the other checks and before the selection.
TEST_F(Scalar, MemoryNumbersFollowTheReportedMaximum) {
  open();
  const Writes queried{":SCAL:MEM:MAX?"};
  expectCalls({
      {"save into the last", {"8\n"}, [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 0, 8); },
       VI_SUCCESS, checked({":SCAL:MEM:MAX?", ":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:SAV 8"})},
      {"memory settings, last", {"8\n"}, [](ViSession vi) { return kavrel_scalMem(vi, VI_TRUE, VI_TRUE, 2, 8); },
       VI_SUCCESS, checked({":SCAL:MEM:MAX?", ":CHAN:ACT 2;:MEAS:ACT 2", ":SCAL:MEAS:MEM:SETT 8"})},
      {"memory as trace", {"8\n"}, [](ViSession vi) { return kavrel_scalMem(vi, VI_TRUE, VI_FALSE, 1, 1); }, VI_SUCCESS,
       checked({":SCAL:MEM:MAX?", ":CHAN:ACT 2;:MEAS:ACT 1", ":SCAL:MEAS:MEM 1"})},
      {"one beyond", {"8\n"}, [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 2, 9); },
       VI_ERROR_PARAMETER5, queried},
      {"memory op on", {"3\n"}, [](ViSession vi) { return kavrel_scalMemOp(vi, VI_FALSE, VI_TRUE, VI_TRUE, 3); },
       VI_SUCCESS, checked({":SCAL:MEM:MAX?", ":CHAN:ACT 1;:MEAS:ACT 2", ":SCAL:MOP:SEL 3;STAT ON"})},
      {"memory op off", {"3\n"}, [](ViSession vi) { return kavrel_scalMemOp(vi, VI_TRUE, VI_TRUE, VI_FALSE, 1); },
       VI_SUCCESS, checked({":SCAL:MEM:MAX?", ":CHAN:ACT 2;:MEAS:ACT 2", ":SCAL:MOP:SEL 1;STAT OFF"})},
      {"memory 0 when off", {"3\n"},
       [](ViSession vi) { return kavrel_scalMemOp(vi, VI_FALSE, VI_FALSE, VI_FALSE, 0); }, VI_ERROR_PARAMETER5,
       queried},
      {"maximum 0", {"0\n"}, [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 0, 1); },
       VI_ERROR_PARAMETER5, queried},
      {"no number", {"none\n"}, [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 0, 1); },
       VI_ERROR_INSTR_INTERPRETING_RESPONSE, queried},
      {"no number, bad memory", {"\n"},
       [](ViSession vi) { return kavrel_scalMemOp(vi, VI_FALSE, VI_FALSE, VI_TRUE, -4); },
       VI_ERROR_INSTR_INTERPRETING_RESPONSE, queried},
  });
}

TEST_F(Scalar, FailuresAreReturnedWithoutAStatusCheck) {
  open();
  // A failed selection sends no command.
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_scalPower(vi_, VI_FALSE, VI_FALSE, 0));
  EXPECT_EQ(1u, calls(STANDIN_WRITE));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));

  mark();
  fail(STANDIN_WRITE, 2, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_scalFormat(vi_, VI_FALSE, VI_FALSE, 1));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));

  mark();
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_scalCal(vi_, 0, 1));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));

  mark();
  fail(STANDIN_READ, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_scalMemOp(vi_, VI_FALSE, VI_FALSE, VI_TRUE, 1));
  EXPECT_EQ((Writes{":SCAL:MEM:MAX?"}), writes());

  mark();
  reply("4\n");
  fail(STANDIN_WRITE, 2, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_scalMem(vi_, VI_FALSE, VI_FALSE, 0, 1));
  EXPECT_EQ((Writes{":SCAL:MEM:MAX?"}), writes());
}

TEST_F(Scalar, OneStatusCheckCoversSelectionAndCommand) {
  open();
  esr(0);
  esr(0x04);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_scalCounter(vi_, VI_FALSE, VI_FALSE));
  EXPECT_EQ(checked({":CHAN:ACT 1;:MEAS:ACT 1", ":SCAL:MEAS:FREQ"}), writes());
  EXPECT_EQ(15u, writes()[1].size());
  esr(0x80);
  esr(0x01);
  EXPECT_EQ(VI_SUCCESS, kavrel_scalCalState(vi_, VI_TRUE));
}

}  // namespace
}  // namespace kavrel::test
