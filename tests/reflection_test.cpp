// Reflection measurement setup: type, detector, averaging, smoothing, format,
// delay, phase offset and the medium of the device.
#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Reflection : public DriverTest {};

TEST_F(Reflection, TypicalCallsSendTheirLinesAndOneStatusCheck) {
  open();
  expectSent({
      {"s11", [](ViSession vi) { return kavrel_reflS11(vi, VI_TRUE, VI_TRUE); },
       checked({":CHAN:ACT 2;:MEAS:ACT 2", ":REFL:MEAS:S11"})},
      {"ratio", [](ViSession vi) { return kavrel_reflRatio(vi, VI_TRUE, VI_FALSE, 3); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":REFL:MEAS:RAT 3"})},
      {"difference", [](ViSession vi) { return kavrel_reflDiffer(vi, VI_FALSE, VI_TRUE, 4); },
       checked({":CHAN:ACT 1;:MEAS:ACT 2", ":REFL:MEAS:DIFF 4"})},
      {"detector", [](ViSession vi) { return kavrel_reflDetector(vi, VI_FALSE, VI_FALSE, VI_TRUE, VI_FALSE); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:DET:LCOR ON;TCON OFF"})},
      {"averaging off", [](ViSession vi) { return kavrel_reflAveraging(vi, 0, 1000); }, checked({":REFL:AVER OFF"})},
      {"averaging on", [](ViSession vi) { return kavrel_reflAveraging(vi, 1, 16); },
       checked({":REFL:AVER ON;AVER:NUMB 16"})},
      {"averaging restart", [](ViSession vi) { return kavrel_reflAveraging(vi, 2, 1); }, checked({":REFL:AVER:REST"})},
      {"smoothing on", [](ViSession vi) { return kavrel_reflSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 2.5); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":MEAS:SMO ON;SMO:APER 2.50"})},
      {"smoothing off", [](ViSession vi) { return kavrel_reflSmooth(vi, VI_TRUE, VI_FALSE, VI_FALSE, 20.0); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":MEAS:SMO OFF"})},
      {"format first", [](ViSession vi) { return kavrel_reflFormat(vi, VI_FALSE, VI_FALSE, 0); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:DISP:FORM LOG"})},
      {"format last", [](ViSession vi) { return kavrel_reflFormat(vi, VI_FALSE, VI_FALSE, 11); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:DISP:FORM INVS"})},
      {"delay time", [](ViSession vi) { return kavrel_reflElDelay(vi, VI_FALSE, VI_TRUE, VI_FALSE, -0.25); },
       checked({":CHAN:ACT 1;:MEAS:ACT 2", ":REFL:DEL:TIME -0.250000"})},
      {"delay length", [](ViSession vi) { return kavrel_reflElDelay(vi, VI_FALSE, VI_FALSE, VI_TRUE, 2.0); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:DEL:LENG 2.000000"})},
      {"phase offset", [](ViSession vi) { return kavrel_reflPhaseOffset(vi, VI_TRUE, VI_TRUE, -360.0); },
       checked({":CHAN:ACT 2;:MEAS:ACT 2", ":REFL:POFF -360.000000"})},
      {"coax by velocity", [](ViSession vi) { return kavrel_reflDevChar(vi, 50.0, 0, 0.66, 2.2, 1e9); },
       checked({":REFL:CIMP 50.000000;MED COAX;RVEL 0.660000"})},
      {"coax by dielectric", [](ViSession vi) { return kavrel_reflDevChar(vi, 75.0, 1, 0.66, 2.25, 1e9); },
       checked({":REFL:CIMP 75.000000;MED COAX;DCON 2.250000"})},
      {"waveguide", [](ViSession vi) { return kavrel_reflDevChar(vi, 1.0, 2, 1.0, 1000.0, 6.5e9); },
       checked({":REFL:CIMP 1.000000;MED WAV;WGC 6500000000.000000"})},
  });
}

// Times of nanoseconds in seconds keep their digits; "%f" would send 0.000000.
TEST_F(Reflection, DelayKeepsEveryDigitOfSmallTimes) {
  struct Case {
    double delay;
    const char* sent;
  } cases[] = {{1.5e-9, ":REFL:DEL:TIME 0.0000000015"},
               {-2.25e-7, ":REFL:DEL:TIME -0.000000225"},
               {1.0, ":REFL:DEL:TIME 1.000000"},
               {0.1, ":REFL:DEL:TIME 0.100000"}};
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    mark();
    EXPECT_EQ(VI_SUCCESS, kavrel_reflElDelay(vi_, VI_FALSE, VI_FALSE, VI_FALSE, c.delay));
    EXPECT_EQ(checked({":CHAN:ACT 1;:MEAS:ACT 1", c.sent}), writes());
  }
}

TEST_F(Reflection, ArgumentErrorsComeBeforeAnyIo) {
  open();
  expectRefused({
      {"s11 channel", [](ViSession vi) { return kavrel_reflS11(vi, 2, VI_FALSE); }, VI_ERROR_PARAMETER2},
      {"s11 measurement", [](ViSession vi) { return kavrel_reflS11(vi, VI_FALSE, 0xFFFF); }, VI_ERROR_PARAMETER3},
      {"ratio channel first", [](ViSession vi) { return kavrel_reflRatio(vi, 2, 2, 0); }, VI_ERROR_PARAMETER2},
      {"ratio operand 0", [](ViSession vi) { return kavrel_reflRatio(vi, 0, 0, 0); }, VI_ERROR_PARAMETER4},
      {"ratio operand 5", [](ViSession vi) { return kavrel_reflRatio(vi, 0, 0, 5); }, VI_ERROR_PARAMETER4},
      {"difference operand", [](ViSession vi) { return kavrel_reflDiffer(vi, 0, 0, 5); }, VI_ERROR_PARAMETER4},
      {"detector lcor", [](ViSession vi) { return kavrel_reflDetector(vi, 0, 0, 2, 0); }, VI_ERROR_PARAMETER4},
      {"detector tcon", [](ViSession vi) { return kavrel_reflDetector(vi, 0, 0, 0, 2); }, VI_ERROR_PARAMETER5},
      {"averaging mode", [](ViSession vi) { return kavrel_reflAveraging(vi, 3, 1); }, VI_ERROR_PARAMETER2},
      {"averaging off still checks number", [](ViSession vi) { return kavrel_reflAveraging(vi, 0, 0); },
       VI_ERROR_PARAMETER3},
      {"averaging 1001", [](ViSession vi) { return kavrel_reflAveraging(vi, 1, 1001); }, VI_ERROR_PARAMETER3},
      {"smooth switch", [](ViSession vi) { return kavrel_reflSmooth(vi, 0, 0, 3, 1.0); }, VI_ERROR_PARAMETER4},
      {"smooth off still checks aperture", [](ViSession vi) { return kavrel_reflSmooth(vi, 0, 0, 0, 25.0); },
       VI_ERROR_PARAMETER5},
      {"smooth aperture low", [](ViSession vi) { return kavrel_reflSmooth(vi, 0, 0, 1, 0.0099); }, VI_ERROR_PARAMETER5},
      {"smooth aperture NaN", [](ViSession vi) { return kavrel_reflSmooth(vi, 0, 0, 1, kNaN); }, VI_ERROR_PARAMETER5},
      {"format 12", [](ViSession vi) { return kavrel_reflFormat(vi, 0, 0, 12); }, VI_ERROR_PARAMETER4},
      {"format -1", [](ViSession vi) { return kavrel_reflFormat(vi, 0, 0, -1); }, VI_ERROR_PARAMETER4},
      {"delay unit", [](ViSession vi) { return kavrel_reflElDelay(vi, 0, 0, 2, 0.0); }, VI_ERROR_PARAMETER4},
      {"delay 2 s", [](ViSession vi) { return kavrel_reflElDelay(vi, 0, 0, VI_FALSE, 2.0); }, VI_ERROR_PARAMETER5},
      {"delay length", [](ViSession vi) { return kavrel_reflElDelay(vi, 0, 0, VI_TRUE, -3.0000001e8); },
       VI_ERROR_PARAMETER5},
      {"delay NaN", [](ViSession vi) { return kavrel_reflElDelay(vi, 0, 0, VI_TRUE, kNaN); }, VI_ERROR_PARAMETER5},
      {"phase offset", [](ViSession vi) { return kavrel_reflPhaseOffset(vi, 0, 0, 360.5); }, VI_ERROR_PARAMETER4},
      {"phase offset NaN", [](ViSession vi) { return kavrel_reflPhaseOffset(vi, 0, 0, kNaN); }, VI_ERROR_PARAMETER4},
      {"impedance", [](ViSession vi) { return kavrel_reflDevChar(vi, 0.5, 0, 0.5, 2.0, 1e9); }, VI_ERROR_PARAMETER2},
      {"medium", [](ViSession vi) { return kavrel_reflDevChar(vi, 50, 3, 0.5, 2.0, 1e9); }, VI_ERROR_PARAMETER3},
      {"velocity, though unused", [](ViSession vi) { return kavrel_reflDevChar(vi, 50, 2, 1.1, 2.0, 1e9); },
       VI_ERROR_PARAMETER4},
      {"dielectric, though unused", [](ViSession vi) { return kavrel_reflDevChar(vi, 50, 0, 0.5, 0.9, 1e9); },
       VI_ERROR_PARAMETER5},
  });
}

TEST_F(Reflection, CutOffFrequencyFollowsTheModel) {
  struct Case {
    ViInt32 model;
    ViInt32 medium;
    double cutoff;
    ViStatus expected;
  } cases[] = {
      {4102, 2, 2.0e9, VI_SUCCESS},
      {4102, 2, 3.0e9, VI_ERROR_PARAMETER6},
      {4102, 0, 3.0e9, VI_ERROR_PARAMETER6},  // checked though the medium does not send it
      {4103, 2, 26.5e9, VI_SUCCESS},
      {4103, 1, 5.0e6, VI_ERROR_PARAMETER6},
      {4103, 2, 1.0e7, VI_SUCCESS},
      {4103, 2, kNaN, VI_ERROR_PARAMETER6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.model << " " << c.cutoff);
    reopen(c.model);
    EXPECT_EQ(c.expected, kavrel_reflDevChar(vi_, 50.0, c.medium, 0.5, 2.0, c.cutoff));
    if (c.expected != VI_SUCCESS) {
      EXPECT_TRUE(writes().empty());
      EXPECT_EQ(1u, calls(STANDIN_GET_ATTRIBUTE));
    }
  }
}

TEST_F(Reflection, FailuresAreReturnedAsTheyCome) {
  open();
  // Selection write fails: the command is not sent, no status check.
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_reflRatio(vi_, VI_FALSE, VI_FALSE, 1));
  EXPECT_EQ(1u, calls(STANDIN_WRITE));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  // Command write fails after the selection: no status check.
  mark();
  fail(STANDIN_WRITE, 2, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_reflFormat(vi_, VI_TRUE, VI_FALSE, 3));
  EXPECT_EQ((Writes{":CHAN:ACT 2;:MEAS:ACT 1"}), writes());
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  // The instrument refuses: an error bit in either "*ESR?" answer counts.
  mark();
  esr(0);
  esr(0x10);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_reflAveraging(vi_, 1, 4));
  esr(0x20);
  esr(0x01);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_reflAveraging(vi_, 1, 4));
  esr(0x01);
  esr(0x80);
  EXPECT_EQ(VI_SUCCESS, kavrel_reflAveraging(vi_, 1, 4));
  // The record cannot be read: its status, nothing sent.
  mark();
  fail(STANDIN_GET_ATTRIBUTE, 1, VI_ERROR_INV_OBJECT);
  EXPECT_EQ(VI_ERROR_INV_OBJECT, kavrel_reflDevChar(vi_, 50.0, 2, 0.5, 2.0, 1e9));
  EXPECT_TRUE(writes().empty());
}

}  // namespace
}  // namespace kavrel::test
