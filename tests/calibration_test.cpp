// Reflection calibration procedure: exact command lines, the maximum queries
// ahead of the checks, argument errors before any command, I/O failures.
#include <string>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Calibration : public DriverTest {};

const std::string kTitle20 = "Port 1 cal, 3.5 mm #";
const std::string kTitle21 = kTitle20 + "2";

TEST_F(Calibration, CommandLines) {
  open();
  expectCalls({
      {"kit and coaxial type, male", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 2, 0, VI_TRUE); },
       VI_SUCCESS, checked({":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT 2;:REFL:CAL:TYPE CSOF;SEX MALE"})},
      {"second coaxial type, female", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 1, VI_FALSE); },
       VI_SUCCESS, checked({":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT 1;:REFL:CAL:TYPE CSOS;SEX FEM"})},
      {"waveguide type, last kit, no sex", {"3\n"},
       [](ViSession vi) { return kavrel_reflConfigCal(vi, 3, 2, VI_TRUE); },
       VI_SUCCESS, checked({":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT 3;:REFL:CAL:TYPE WSOL"})},
      {"type WS12", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 3, VI_FALSE); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT 1;:REFL:CAL:TYPE WS12"})},
      {"type WSOS", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 4, VI_FALSE); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT 1;:REFL:CAL:TYPE WSOS"})},
      {"measure fixed load", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 0, VI_TRUE, 8); }, VI_SUCCESS,
       checked({":REFL:CAL:MEAS:FLO"})},
      {"measure open", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 1, VI_FALSE, 1); }, VI_SUCCESS,
       checked({":REFL:CAL:MEAS:OPEN"})},
      {"second offset short", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 2, VI_TRUE, 5); }, VI_SUCCESS,
       checked({":REFL:CAL:MEAS:OSH 2"})},
      {"first offset short", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 2, VI_FALSE, 5); }, VI_SUCCESS,
       checked({":REFL:CAL:MEAS:OSH 1"})},
      {"measure short", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 3, VI_TRUE, 3); }, VI_SUCCESS,
       checked({":REFL:CAL:MEAS:SHOR"})},
      {"sliding load position", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 4, VI_TRUE, 8); }, VI_SUCCESS,
       checked({":REFL:CAL:MEAS:SLO 8"})},
      {"through port", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 5, VI_FALSE, 1); }, VI_SUCCESS,
       checked({":REFL:CAL:MEAS:TPOR"})},
      {"zero asks nothing, ignores store and title", {},
       [](ViSession vi) { return kavrel_reflPerformCal(vi, 0, -5, VI_NULL); }, VI_SUCCESS, checked({":REFL:ZERO"})},
      {"process with a 20-character title", {"4\n"},
       [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 4, viString(kTitle20)); }, VI_SUCCESS,
       checked({":REFL:CAL:DATA:MAX?", ":REFL:CAL:PROC 4,\"" + kTitle20 + "\""})},
      {"process with an empty title", {"4\n"},
       [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 1, viString("")); },
       VI_SUCCESS, checked({":REFL:CAL:DATA:MAX?", ":REFL:CAL:PROC 1,\"\""})},
      {"restore ignores the title", {"4\n"}, [](ViSession vi) { return kavrel_reflPerformCal(vi, 2, 4, VI_NULL); },
       VI_SUCCESS, checked({":REFL:CAL:DATA:MAX?", ":REFL:CAL:REST 4"})},
      {"abort", {}, [](ViSession vi) { return kavrel_reflAbortCal(vi); }, VI_SUCCESS, checked({":REFL:CAL:ABOR"})},
      {"cable on", {}, [](ViSession vi) { return kavrel_reflConfigCab(vi, VI_TRUE); }, VI_SUCCESS,
       checked({":REFL:CAL:CABL ON"})},
      {"cable off", {}, [](ViSession vi) { return kavrel_reflConfigCab(vi, VI_FALSE); }, VI_SUCCESS,
       checked({":REFL:CAL:CABL OFF"})},
  });
}

TEST_F(Calibration, ArgumentErrorsSendNoCommand) {
  open();
  const Writes kitQuery{":REFL:CAL:KIT:MAX?"};
  const Writes storeQuery{":REFL:CAL:DATA:MAX?"};
  expectCalls({
      {"kit above the reported maximum", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 4, 0, VI_TRUE); },
       VI_ERROR_PARAMETER2, kitQuery},
      {"kit 0", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 0, 0, VI_TRUE); }, VI_ERROR_PARAMETER2,
       kitQuery},
      {"instrument without kits", {"0\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 0, VI_TRUE); },
       VI_ERROR_PARAMETER2, kitQuery},
      {"type 5", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 5, VI_TRUE); }, VI_ERROR_PARAMETER3,
       kitQuery},
      {"type -1", {"3\n"}, [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, -1, VI_TRUE); }, VI_ERROR_PARAMETER3,
       kitQuery},
      {"sex checked though the type sends none", {"3\n"},
       [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 2, 7); }, VI_ERROR_PARAMETER4, kitQuery},
      {"kit maximum not a number, kit also bad", {"MAX\n"},
       [](ViSession vi) { return kavrel_reflConfigCal(vi, 0, 9, 9); }, VI_ERROR_INSTR_INTERPRETING_RESPONSE, kitQuery},
      {"standard 6", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 6, VI_FALSE, 1); }, VI_ERROR_PARAMETER2, {}},
      {"standard -1", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, -1, VI_FALSE, 1); }, VI_ERROR_PARAMETER2,
       {}},
      {"offset short 2", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 2, 2, 1); }, VI_ERROR_PARAMETER3, {}},
      {"sliding position 9 with the open", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 1, VI_FALSE, 9); },
       VI_ERROR_PARAMETER4, {}},
      {"sliding position 0", {}, [](ViSession vi) { return kavrel_reflCalMeas(vi, 4, VI_FALSE, 0); },
       VI_ERROR_PARAMETER4, {}},
      {"operation 3", {}, [](ViSession vi) { return kavrel_reflPerformCal(vi, 3, 1, viString("t")); },
       VI_ERROR_PARAMETER2, {}},
      {"operation -1", {}, [](ViSession vi) { return kavrel_reflPerformCal(vi, -1, 1, viString("t")); },
       VI_ERROR_PARAMETER2, {}},
      {"process into store above the maximum", {"4\n"},
       [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 5, viString("t")); }, VI_ERROR_PARAMETER3, storeQuery},
      {"restore store 0", {"4\n"}, [](ViSession vi) { return kavrel_reflPerformCal(vi, 2, 0, VI_NULL); },
       VI_ERROR_PARAMETER3, storeQuery},
      {"store checked before title", {"4\n"}, [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 9, VI_NULL); },
       VI_ERROR_PARAMETER3, storeQuery},
      {"process without title", {"4\n"}, [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 1, VI_NULL); },
       VI_ERROR_PARAMETER4, storeQuery},
      {"21-character title", {"4\n"}, [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 1, viString(kTitle21)); },
       VI_ERROR_PARAMETER4, storeQuery},
      {"title that would close its quotes", {"4\n"},
       [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 1, viString("a\";*RST")); }, VI_ERROR_PARAMETER4,
       storeQuery},
      {"title with a line feed", {"4\n"},
       [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 1, viString("a\n*RST")); },
       VI_ERROR_PARAMETER4, storeQuery},
      {"store maximum not a number", {"\n"}, [](ViSession vi) { return kavrel_reflPerformCal(vi, 2, 1, VI_NULL); },
       VI_ERROR_INSTR_INTERPRETING_RESPONSE, storeQuery},
      {"cable 2", {}, [](ViSession vi) { return kavrel_reflConfigCab(vi, 2); }, VI_ERROR_PARAMETER2, {}},
  });
}

TEST_F(Calibration, IoFailuresReturnAtOnceWithoutStatusCheck) {
  const Call configure = [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 0, VI_TRUE); };
  // Each on a fresh session with the kit maximum queued.
  expectFailures({{"kit query write", STANDIN_WRITE, 1, configure, {}},
                  {"kit query read", STANDIN_READ, 1, configure, {":REFL:CAL:KIT:MAX?"}},
                  {"configuration write", STANDIN_WRITE, 2, configure, {":REFL:CAL:KIT:MAX?"}},
                  {"store query read", STANDIN_READ, 1,
                   [](ViSession vi) { return kavrel_reflPerformCal(vi, 2, 1, VI_NULL); }, {":REFL:CAL:DATA:MAX?"}},
                  {"measure write", STANDIN_WRITE, 1,
                   [](ViSession vi) { return kavrel_reflCalMeas(vi, 1, VI_FALSE, 1); }, {}},
                  {"validity read", STANDIN_READ, 1,
                   [](ViSession vi) {
                     ViInt32 valid = 0;
                     return kavrel_reflCalVal(vi, &valid);
                   },
                   {":REFL:CAL:VAL?"}}},
                 "3\n");
}

TEST_F(Calibration, RejectedCommandsAreReportedByTheStatusCheck) {
  open();
  esr(0);
  esr(0x10);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_reflCalMeas(vi_, 1, VI_FALSE, 1));
  esr(0x20);  // the command's own error shows in the first answer
  esr(0);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_reflAbortCal(vi_));
  reply("2\n");
  esr(0);
  esr(0x04);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_reflConfigCal(vi_, 1, 0, VI_TRUE));
}

TEST_F(Calibration, Validity) {
  open();
  ViInt32 valid = -1;
  reply("1\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reflCalVal(vi_, &valid));
  EXPECT_EQ(1, valid);
  reply("0\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reflCalVal(vi_, &valid));
  EXPECT_EQ(0, valid);
  EXPECT_EQ((Writes{":REFL:CAL:VAL?", "*ESR?", "*ESR?", ":REFL:CAL:VAL?", "*ESR?", "*ESR?"}), writes());

  // A reply without a number leaves the caller's value alone and asks no status.
  mark();
  valid = 7;
  reply("VALID\n");
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_reflCalVal(vi_, &valid));
  EXPECT_EQ(7, valid);
  EXPECT_EQ((Writes{":REFL:CAL:VAL?"}), writes());

  // Nowhere to put the answer: nothing is asked at all.
  mark();
  EXPECT_EQ(VI_SUCCESS, kavrel_reflCalVal(vi_, VI_NULL));
  EXPECT_EQ(0u, allCalls());
}

}  // namespace
}  // namespace kavrel::test
