// Channel modes, coupling, dual display, measurements per channel and the
// active channel and measurement.

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Channel : public DriverTest {};

TEST_F(Channel, CommandsOnTheWire) {
  open();
  expectSent({
      {"mode scalar", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 0); },
       checked({":CHAN:ACT 1;MODE SCAL"})},
      {"mode readout", [](ViSession vi) { return kavrel_chanMode(vi, VI_TRUE, 1); },
       checked({":CHAN:ACT 2;MODE READ"})},
      {"mode fault", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 2); }, checked({":CHAN:ACT 1;MODE FLOC"})},
      {"mode reflection", [](ViSession vi) { return kavrel_chanMode(vi, VI_TRUE, 3); },
       checked({":CHAN:ACT 2;MODE REFL"})},
      {"coupling off", [](ViSession vi) { return kavrel_chanCoupling(vi, VI_FALSE); }, checked({":CHAN:COUP OFF"})},
      {"coupling on", [](ViSession vi) { return kavrel_chanCoupling(vi, VI_TRUE); }, checked({":CHAN:COUP ON"})},
      {"one channel", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_FALSE); }, checked({":CHAN:NCH 1"})},
      {"two channels", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_TRUE); }, checked({":CHAN:NCH 2"})},
      {"one, 1 active", [](ViSession vi) { return kavrel_meas12OnOff(vi, VI_FALSE, 0); },
       checked({":CHAN:ACT 1;:MEAS:NME 1;ACT 1"})},
      {"one, 2 active", [](ViSession vi) { return kavrel_meas12OnOff(vi, VI_TRUE, 1); },
       checked({":CHAN:ACT 2;:MEAS:NME 1;ACT 2"})},
      {"both, 1 active", [](ViSession vi) { return kavrel_meas12OnOff(vi, VI_FALSE, 2); },
       checked({":CHAN:ACT 1;:MEAS:NME 2;ACT 1"})},
      {"select 2/1",
       [](ViSession vi) { return kavrel_dispSetActMeas(vi, VI_TRUE, VI_FALSE); },
       {":CHAN:ACT 2;:MEAS:ACT 1"}},
      {"select 1/2",
       [](ViSession vi) { return kavrel_dispSetActMeas(vi, VI_FALSE, VI_TRUE); },
       {":CHAN:ACT 1;:MEAS:ACT 2"}},
  });
}

TEST_F(Channel, ArgumentErrorsWriteNothing) {
  open();
  expectRefused({
      {"mode 4", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 4); }, VI_ERROR_PARAMETER3},
      {"mode -1", [](ViSession vi) { return kavrel_chanMode(vi, VI_TRUE, -1); }, VI_ERROR_PARAMETER3},
      {"channel before mode", [](ViSession vi) { return kavrel_chanMode(vi, 2, 4); }, VI_ERROR_PARAMETER2},
      {"coupling 2", [](ViSession vi) { return kavrel_chanCoupling(vi, 2); }, VI_ERROR_PARAMETER2},
      {"dual 0xFFFF", [](ViSession vi) { return kavrel_dualChanDisp(vi, 0xFFFF); }, VI_ERROR_PARAMETER2},
      {"selection 3", [](ViSession vi) { return kavrel_meas12OnOff(vi, VI_FALSE, 3); }, VI_ERROR_PARAMETER3},
      {"selection channel", [](ViSession vi) { return kavrel_meas12OnOff(vi, 2, 0); }, VI_ERROR_PARAMETER2},
      {"select channel 2", [](ViSession vi) { return kavrel_dispSetActMeas(vi, 2, VI_FALSE); }, VI_ERROR_PARAMETER2},
      {"select measurement 2", [](ViSession vi) { return kavrel_dispSetActMeas(vi, VI_TRUE, 2); }, VI_ERROR_PARAMETER3},
  });
}

TEST_F(Channel, FailingWriteSkipsTheStatusCheck) {
  open();
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_chanMode(vi_, VI_FALSE, 0));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  mark();
  fail(STANDIN_WRITE, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_dispSetActMeas(vi_, VI_FALSE, VI_FALSE));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
}

TEST_F(Channel, InstrumentErrorsShowInEitherStatusQuery) {
  open();
  esr(0x20);
  esr(0);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_chanCoupling(vi_, VI_TRUE));
  esr(0);
  esr(0x10);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_dualChanDisp(vi_, VI_TRUE));
}

// The selection alone leaves an instrument error for the next status check.
TEST_F(Channel, SelectionDoesNotAskTheStatus) {
  open();
  esr(0x20);
  esr(0x20);
  EXPECT_EQ(VI_SUCCESS, kavrel_dispSetActMeas(vi_, VI_TRUE, VI_TRUE));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  EXPECT_EQ((Writes{":CHAN:ACT 2;:MEAS:ACT 2"}), writes());
}

}  // namespace
}  // namespace kavrel::test
