// Calibration kits: exact definitions on the wire, the kit maximum ahead of
// the selection check, every argument's range, the separate sex command.
#include <string>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Kit : public DriverTest {};

const std::string kName20 = "SMA kit 3.5mm s/n 01";

// Arguments of a coaxial definition, all valid; cases change one of them.
struct Coaxial {
  ViInt32 sex = 0;
  ViReal64 values[9] = {0.0, 1e8, -999999.0, 999999.0, 0.5, -1.25e-3, 0.01, 999999000000.0, 50.0};
  ViStatus call(ViSession vi) const {
    return kavrel_reflConfCoaxial(vi, sex, values[0], values[1], values[2], values[3], values[4], values[5],
                                  values[6], values[7], values[8]);
  }
};
const std::string kCoaxialLine =
    ":REFL:CAL:KIT:SHOR:OLEN 0.000000;:REFL:CAL:KIT:OPEN:OLEN 100000000.000000;"
    "FCO -9.999990e+05,9.999990e+05,5.000000e-01,-1.250000e-03;"
    ":REFL:CAL:KIT:FIX:OLEN 0.010000;BFR 999999000000.000000;:REFL:CAL:KIT:SLID:BFR 50.000000";

// Arguments of a waveguide definition, all valid.
struct Waveguide {
  ViReal64 cutoff = 6.557e9, shortLength = 0.0123, loadLength = 1e8;
  ViBoolean second = VI_TRUE;
  ViReal64 length = 0.5, minFrequency = 8e9, maxFrequency = 7e9;
  ViStatus call(ViSession vi) const {
    return kavrel_reflConfWaveguide(vi, cutoff, shortLength, loadLength, second, length, minFrequency, maxFrequency);
  }
};

TEST_F(Kit, Definitions) {
  open();
  Coaxial male;
  male.sex = 1;
  Coaxial female;
  female.sex = 2;
  Waveguide first;
  first.second = VI_FALSE;
  first.cutoff = 0.0;
  first.minFrequency = 0.0;
  first.maxFrequency = 999999000000.0;
  expectCalls({
      {"select the last kit", {"2\n"}, [](ViSession vi) { return kavrel_reflSelectKit(vi, 2); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT 2"})},
      {"connector and identity", {}, [](ViSession vi) { return kavrel_reflConfKit(vi, 0, viString("K1")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:CONN C35;IDEN \"K1\""})},
      {"20-character identity", {},
       [](ViSession vi) { return kavrel_reflConfKit(vi, 4, viString(kName20)); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:CONN USER;IDEN \"" + kName20 + "\""})},
      {"empty identity", {}, [](ViSession vi) { return kavrel_reflConfKit(vi, 3, viString("")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:CONN WG;IDEN \"\""})},
      {"N connector", {}, [](ViSession vi) { return kavrel_reflConfKit(vi, 1, viString("n")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:CONN CN;IDEN \"n\""})},
      {"7 mm", {}, [](ViSession vi) { return kavrel_reflConfKit(vi, 2, viString("7")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:CONN C7;IDEN \"7\""})},
      {"neutral serial number: one command", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 0, 0, viString("SN1")); },
       VI_SUCCESS, checked({":REFL:CAL:KIT:SHOR \"SN1\""})},
      {"female: sex command first", {}, [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 6, 2, viString("L-7")); },
       VI_SUCCESS, checked({":REFL:CAL:KIT:SEX FEM", ":REFL:CAL:KIT:LOAD \"L-7\""})},
      {"male", {}, [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 4, 1, viString(kName20)); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:SEX MALE", ":REFL:CAL:KIT:OFF1 \"" + kName20 + "\""})},
      {"open", {}, [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 1, 0, viString("o")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:OPEN \"o\""})},
      {"fixed", {}, [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 2, 0, viString("f")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:FIX \"f\""})},
      {"sliding", {}, [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 3, 0, viString("s")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:SLID \"s\""})},
      {"second offset short", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 5, 0, viString("2")); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:OFF2 \"2\""})},
      {"coaxial, neutral, every bound", {}, [](ViSession vi) { return Coaxial().call(vi); }, VI_SUCCESS,
       checked({kCoaxialLine})},
      {"coaxial, male", {}, [male](ViSession vi) { return male.call(vi); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:SEX MALE", kCoaxialLine})},
      {"coaxial, female", {}, [female](ViSession vi) { return female.call(vi); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:SEX FEM", kCoaxialLine})},
      {"waveguide, second short, minimum above maximum sent as it is", {},
       [](ViSession vi) { return Waveguide().call(vi); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:WGC 6.557000e+09;SHOR:OLEN 0.012300;:REFL:CAL:KIT:LOAD:OLEN 100000000.000000;"
                ":REFL:CAL:KIT:OFF2:OLEN 0.500000;MINF 8.000000e+09;MAXF 7.000000e+09"})},
      {"waveguide, first short, bounds", {}, [first](ViSession vi) { return first.call(vi); }, VI_SUCCESS,
       checked({":REFL:CAL:KIT:WGC 0.000000e+00;SHOR:OLEN 0.012300;:REFL:CAL:KIT:LOAD:OLEN 100000000.000000;"
                ":REFL:CAL:KIT:OFF1:OLEN 0.500000;MINF 0.000000e+00;MAXF 9.999990e+11"})},
  });
}

TEST_F(Kit, TextAndSelectionErrors) {
  open();
  const Writes kitQuery{":REFL:CAL:KIT:MAX?"};
  expectCalls({
      {"kit 0 after the query", {"2\n"}, [](ViSession vi) { return kavrel_reflSelectKit(vi, 0); }, VI_ERROR_PARAMETER2,
       kitQuery},
      {"kit above the maximum", {"2\n"}, [](ViSession vi) { return kavrel_reflSelectKit(vi, 3); }, VI_ERROR_PARAMETER2,
       kitQuery},
      {"maximum not a number comes first", {"none\n"}, [](ViSession vi) { return kavrel_reflSelectKit(vi, 0); },
       VI_ERROR_INSTR_INTERPRETING_RESPONSE, kitQuery},
      {"connector 5", {},
       [](ViSession vi) { return kavrel_reflConfKit(vi, 5, viString("K")); }, VI_ERROR_PARAMETER2, {}},
      {"connector -1", {},
       [](ViSession vi) { return kavrel_reflConfKit(vi, -1, viString("K")); }, VI_ERROR_PARAMETER2, {}},
      {"21-character identity", {}, [](ViSession vi) { return kavrel_reflConfKit(vi, 0, viString(kName20 + "x")); },
       VI_ERROR_PARAMETER3, {}},
      {"null identity", {}, [](ViSession vi) { return kavrel_reflConfKit(vi, 0, VI_NULL); }, VI_ERROR_PARAMETER3, {}},
      {"identity closing its quotes", {}, [](ViSession vi) { return kavrel_reflConfKit(vi, 0, viString("K\";*RST")); },
       VI_ERROR_PARAMETER3, {}},
      {"standard 7", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 7, 1, viString("s")); }, VI_ERROR_PARAMETER2, {}},
      {"sex 3", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 0, 3, viString("s")); }, VI_ERROR_PARAMETER3, {}},
      {"sex -1", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 0, -1, viString("s")); }, VI_ERROR_PARAMETER3, {}},
      {"null serial number, no sex command either", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 0, 2, VI_NULL); }, VI_ERROR_PARAMETER4, {}},
      {"21-character serial number", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 0, 1, viString(kName20 + "x")); },
       VI_ERROR_PARAMETER4, {}},
      {"serial number with a carriage return", {},
       [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 0, 1, viString("a\rb")); }, VI_ERROR_PARAMETER4, {}},
  });
}

TEST_F(Kit, CoaxialRanges) {
  open();
  struct Case {
    int index;  // into Coaxial::values; -1 for the sex
    double value;
    ViStatus expected;
  } cases[] = {
      {-1, 3, VI_ERROR_PARAMETER2},
      {-1, -1, VI_ERROR_PARAMETER2},
      {0, -0.001, VI_ERROR_PARAMETER3},
      {0, 1.00000001e8, VI_ERROR_PARAMETER3},
      {1, kNaN, VI_ERROR_PARAMETER4},
      {2, -1.0e6, VI_ERROR_PARAMETER5},
      {3, 999999.01, VI_ERROR_PARAMETER6},
      {4, kNaN, VI_ERROR_PARAMETER7},
      {5, -999999.5, VI_ERROR_PARAMETER8},
      {6, -1.0, VI_ERROR_INSTR_PARAMETER9},
      {7, 999999000001.0, VI_ERROR_INSTR_PARAMETER10},
      {8, kInf, VI_ERROR_INSTR_PARAMETER11},
      {8, -0.5, VI_ERROR_INSTR_PARAMETER11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    Coaxial args;
    args.sex = 1;
    if (c.index < 0)
      args.sex = static_cast<ViInt32>(c.value);
    else
      args.values[c.index] = c.value;
    mark();
    EXPECT_EQ(c.expected, args.call(vi_));
    EXPECT_TRUE(writes().empty());
  }
  // The first bad argument decides.
  Coaxial twoBad;
  twoBad.values[0] = -1;
  twoBad.values[6] = -1;
  EXPECT_EQ(VI_ERROR_PARAMETER3, twoBad.call(vi_));
}

TEST_F(Kit, WaveguideRanges) {
  open();
  struct Case {
    const char* name;
    void (*spoil)(Waveguide&);
    ViStatus expected;
  } cases[] = {
      {"cut-off", [](Waveguide& w) { w.cutoff = -1; }, VI_ERROR_PARAMETER2},
      {"cut-off NaN", [](Waveguide& w) { w.cutoff = kNaN; }, VI_ERROR_PARAMETER2},
      {"short", [](Waveguide& w) { w.shortLength = 1.0000001e8; }, VI_ERROR_PARAMETER3},
      {"load", [](Waveguide& w) { w.loadLength = kNaN; }, VI_ERROR_PARAMETER4},
      {"which short", [](Waveguide& w) { w.second = 2; }, VI_ERROR_PARAMETER5},
      {"offset length", [](Waveguide& w) { w.length = -1e-9; }, VI_ERROR_PARAMETER6},
      {"minimum", [](Waveguide& w) { w.minFrequency = 1e12; }, VI_ERROR_PARAMETER7},
      {"maximum", [](Waveguide& w) { w.maxFrequency = kNaN; }, VI_ERROR_PARAMETER8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Waveguide args;
    c.spoil(args);
    mark();
    EXPECT_EQ(c.expected, args.call(vi_));
    EXPECT_TRUE(writes().empty());
  }
}

TEST_F(Kit, SexCommandSharesTheStatusCheck) {
  open();
  // The sex command fails to go out: nothing more is sent.
  fail(STANDIN_WRITE, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_reflSetSerNumb(vi_, 0, 1, viString("s")));
  EXPECT_EQ(1u, calls(STANDIN_WRITE));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));

  // The definition fails after the sex command: no status check.
  mark();
  fail(STANDIN_WRITE, 2, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, Coaxial{2}.call(vi_));
  EXPECT_EQ((Writes{":REFL:CAL:KIT:SEX FEM"}), writes());
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));

  // An instrument that refused the sex command is caught by the check after both.
  mark();
  esr(0x20);
  esr(0x20);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_reflSetSerNumb(vi_, 3, 2, viString("s")));
  EXPECT_EQ(checked({":REFL:CAL:KIT:SEX FEM", ":REFL:CAL:KIT:SLID \"s\""}), writes());
}

TEST_F(Kit, SelectionIoFailures) {
  open();
  fail(STANDIN_WRITE, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_reflSelectKit(vi_, 1));
  EXPECT_EQ(0u, calls(STANDIN_READ));
  mark();
  EXPECT_EQ(VI_ERROR_TMO, kavrel_reflSelectKit(vi_, 1));  // no reply queued
  EXPECT_EQ((Writes{":REFL:CAL:KIT:MAX?"}), writes());
  mark();
  reply("5\n");
  fail(STANDIN_WRITE, 2, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_reflSelectKit(vi_, 5));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
}

}  // namespace
}  // namespace kavrel::test
