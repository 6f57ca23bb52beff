// Fault location: selection of the channel's measurement 1 (or the caller's
// for scaling and format), model and state dependent limits, and where the
// queries stand among the checks.
#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

const std::string kSelect1 = ":CHAN:ACT 1;:MEAS:ACT 1";
const std::string kSelect2 = ":CHAN:ACT 2;:MEAS:ACT 1";

class Floc : public DriverTest {};

TEST_F(Floc, SettingsSendTheirLinesThenTheStatusCheck) {
  open();
  expectSettings({
      {"range entry",
       [](ViSession vi) { return kavrel_flocRange(vi, VI_TRUE, VI_TRUE, 25000.0, 1e9, kNaN, kNaN); },
       {kSelect2, ":FLOC:RANG:ENTRY ON;:FLOC:RANG:VAL 25000.000000;:FLOC:FREQ:CENT 1000000000.000000"}},
      {"start above stop",
       [](ViSession vi) { return kavrel_flocRange(vi, VI_FALSE, VI_FALSE, -1.0, 0.0, 2e9, 1e9); },
       {kSelect1, ":FLOC:RANG:ENTRY OFF;:FLOC:FREQ:STAR 2000000000.000000;STOP 1000000000.000000"}},
      {"points 51", [](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_FALSE, 51); }, {kSelect1, ":FLOC:POIN 51"}},
      {"points 1024",
       [](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_TRUE, 1024); },
       {kSelect2, ":FLOC:POIN 1024"}},
      {"feet", [](ViSession vi) { return kavrel_flocDispUnit(vi, VI_FALSE, VI_FALSE); }, {kSelect1, ":FLOC:UNIT FEET"}},
      {"metres",
       [](ViSession vi) { return kavrel_flocDispUnit(vi, VI_FALSE, VI_TRUE); },
       {kSelect1, ":FLOC:UNIT METR"}},
      {"window", [](ViSession vi) { return kavrel_flocWindowing(vi, VI_FALSE, 2); }, {kSelect1, ":FLOC:WIND HIGH"}},
      {"mask", [](ViSession vi) { return kavrel_flocMaskCorr(vi, VI_TRUE, VI_TRUE); }, {kSelect2, ":FLOC:MCOR ON"}},
      {"enhancement",
       [](ViSession vi) { return kavrel_flocEnhMode(vi, VI_FALSE, VI_FALSE); },
       {kSelect1, ":FLOC:ENH OFF"}},
      {"auto scale, values unused",
       [](ViSession vi) { return kavrel_flocScaling(vi, VI_TRUE, VI_TRUE, 1, 0.0, 10, 500.0); },
       {":CHAN:ACT 2;:MEAS:ACT 2", ":FLOC:SCAL:AUTO ONCE"}},
      {"auto scale off",
       [](ViSession vi) { return kavrel_flocScaling(vi, VI_FALSE, VI_FALSE, 0, kNaN, 0, kNaN); },
       {kSelect1, ":FLOC:SCAL:AUTO OFF"}},
      {"format on the given measurement",
       [](ViSession vi) { return kavrel_flocFormat(vi, VI_FALSE, VI_TRUE, VI_TRUE); },
       {":CHAN:ACT 1;:MEAS:ACT 2", ":FLOC:FORM LOG"}},
      {"save, no selection", [](ViSession vi) { return kavrel_flocCalibration(vi, VI_FALSE); }, {":FLOC:CAL:SAVE"}},
      {"restore, no selection", [](ViSession vi) { return kavrel_flocCalibration(vi, VI_TRUE); }, {":FLOC:CAL:REST"}},
  });
}

TEST_F(Floc, ArgumentErrorsComeBeforeAnyIo) {
  open();
  expectRefused({
      {"medium channel", [](ViSession vi) { return kavrel_flocMedium(vi, 2, 2, 0, 0, 0); }, VI_ERROR_PARAMETER2},
      {"medium", [](ViSession vi) { return kavrel_flocMedium(vi, VI_FALSE, 2, 0, 0, 0); }, VI_ERROR_PARAMETER3},
      {"velocity 0.05", [](ViSession vi) { return kavrel_flocMedium(vi, VI_FALSE, VI_TRUE, 0, 0.05, 0); },
       VI_ERROR_PARAMETER5},
      {"velocity NaN", [](ViSession vi) { return kavrel_flocMedium(vi, VI_FALSE, VI_TRUE, 0, kNaN, 0); },
       VI_ERROR_PARAMETER5},
      {"range entry switch", [](ViSession vi) { return kavrel_flocRange(vi, VI_FALSE, 2, 0, 0, 0, 0); },
       VI_ERROR_PARAMETER3},
      {"distance above", [](ViSession vi) { return kavrel_flocRange(vi, VI_FALSE, VI_TRUE, 25000.001, 1e9, 0, 0); },
       VI_ERROR_PARAMETER4},
      {"distance negative", [](ViSession vi) { return kavrel_flocRange(vi, VI_FALSE, VI_TRUE, -0.1, 1e9, 0, 0); },
       VI_ERROR_PARAMETER4},
      {"points 50", [](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_FALSE, 50); }, VI_ERROR_PARAMETER3},
      {"points 1025", [](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_FALSE, 1025); }, VI_ERROR_PARAMETER3},
      {"unit", [](ViSession vi) { return kavrel_flocDispUnit(vi, VI_FALSE, 2); }, VI_ERROR_PARAMETER3},
      {"averaging mode 3", [](ViSession vi) { return kavrel_flocAveraging(vi, VI_FALSE, 3, 1); }, VI_ERROR_PARAMETER3},
      {"unused count 0", [](ViSession vi) { return kavrel_flocAveraging(vi, VI_FALSE, 0, 0); }, VI_ERROR_PARAMETER4},
      {"count 1001", [](ViSession vi) { return kavrel_flocAveraging(vi, VI_FALSE, 1, 1001); }, VI_ERROR_PARAMETER4},
      {"window 3", [](ViSession vi) { return kavrel_flocWindowing(vi, VI_FALSE, 3); }, VI_ERROR_PARAMETER3},
      {"window -1", [](ViSession vi) { return kavrel_flocWindowing(vi, VI_FALSE, -1); }, VI_ERROR_PARAMETER3},
      {"mask", [](ViSession vi) { return kavrel_flocMaskCorr(vi, 0xFFFF, VI_TRUE); }, VI_ERROR_PARAMETER2},
      {"enhancement", [](ViSession vi) { return kavrel_flocEnhMode(vi, VI_FALSE, 2); }, VI_ERROR_PARAMETER3},
      {"scaling measurement", [](ViSession vi) { return kavrel_flocScaling(vi, VI_FALSE, 2, 9, 0, 0, 0); },
       VI_ERROR_PARAMETER3},
      {"scale mode 4", [](ViSession vi) { return kavrel_flocScaling(vi, VI_FALSE, VI_FALSE, 4, 0, 0, 0); },
       VI_ERROR_PARAMETER4},
      {"auto scale position 11", [](ViSession vi) { return kavrel_flocScaling(vi, VI_FALSE, VI_FALSE, 2, 0, 11, 0); },
       VI_ERROR_PARAMETER6},
      {"format", [](ViSession vi) { return kavrel_flocFormat(vi, VI_FALSE, VI_FALSE, 2); }, VI_ERROR_PARAMETER4},
      {"calibration", [](ViSession vi) { return kavrel_flocCalibration(vi, 2); }, VI_ERROR_PARAMETER2},
  });
}

TEST_F(Floc, MediumChecksAttenuationAfterSelectionAndUnitQuery) {
  const std::string unitQuery = ":FLOC:UNIT?";
  struct Case {
    const char* name;
    ViInt32 model;
    ViBoolean medium;
    ViReal64 cutoff, velocity, attenuation;
    const char* unit;  // null: no query expected
    ViStatus expected;
    const char* command;  // null: nothing after the checks
  } cases[] = {
      {"coaxial, cut-off ignored", 4101, VI_TRUE, 0.0, 1.0, 30.48, "FEET\n", VI_SUCCESS,
       ":FLOC:MED COAX;RVEL 1.000;:FLOC:ATT 30.480"},
      {"feet, above", 4101, VI_TRUE, 0.0, 0.1, 31.0, "FEET\n", VI_ERROR_PARAMETER6, nullptr},
      {"metres", 4101, VI_TRUE, kNaN, 0.66, 31.0, "METR\n", VI_SUCCESS, ":FLOC:MED COAX;RVEL 0.660;:FLOC:ATT 31.000"},
      {"metres top", 4101, VI_TRUE, 0.0, 0.5, 100.0, "METRES", VI_SUCCESS,
       ":FLOC:MED COAX;RVEL 0.500;:FLOC:ATT 100.000"},
      {"metres above", 4101, VI_TRUE, 0.0, 0.5, 100.001, "METR\n", VI_ERROR_PARAMETER6, nullptr},
      {"cut short", 4101, VI_TRUE, 0.0, 0.5, 31.0, "MET", VI_ERROR_PARAMETER6, nullptr},
      {"negative", 4101, VI_TRUE, 0.0, 0.5, -0.001, "METR\n", VI_ERROR_PARAMETER6, nullptr},
      {"waveguide at 8 GHz", 4101, VI_FALSE, 8e9, 0.0, 0.0, "FEET\n", VI_SUCCESS,
       ":FLOC:MED WAV;WGC 8000000000.000000;:FLOC:ATT 0.000"},
      {"waveguide at 10 MHz", 4102, VI_FALSE, 10e6, kNaN, 1.5, "METR\n", VI_SUCCESS,
       ":FLOC:MED WAV;WGC 10000000.000000;:FLOC:ATT 1.500"},
      {"waveguide 9 GHz on 8 GHz", 4101, VI_FALSE, 9e9, 0.5, 0.0, nullptr, VI_ERROR_PARAMETER4, nullptr},
      {"waveguide 9 GHz on 26.5 GHz", 4103, VI_FALSE, 9e9, 0.5, 0.0, "FEET\n", VI_SUCCESS,
       ":FLOC:MED WAV;WGC 9000000000.000000;:FLOC:ATT 0.000"},
      {"waveguide below 10 MHz", 4103, VI_FALSE, 9.999e6, 0.5, 0.0, nullptr, VI_ERROR_PARAMETER4, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reopen(c.model);
    if (c.unit) reply(c.unit);
    EXPECT_EQ(c.expected, kavrel_flocMedium(vi_, VI_FALSE, c.medium, c.cutoff, c.velocity, c.attenuation));
    Writes sent;
    if (c.unit) sent = {kSelect1, unitQuery};
    if (c.command) sent = checked({kSelect1, unitQuery, c.command});
    EXPECT_EQ(sent, writes());
  }
}

TEST_F(Floc, FrequenciesFollowTheModel) {
  struct Case {
    const char* name;
    ViInt32 model;
    ViBoolean entry;
    ViReal64 center, start, stop;
    ViStatus expected;
  } cases[] = {
      {"centre at 2 GHz", 4102, VI_TRUE, 2e9, kNaN, kNaN, VI_SUCCESS},
      {"centre above 2 GHz", 4102, VI_TRUE, 2.001e9, 0, 0, VI_ERROR_PARAMETER5},
      {"centre below 10 MHz", 4103, VI_TRUE, 9.99e6, 0, 0, VI_ERROR_PARAMETER5},
      {"stop at 26.5 GHz", 4103, VI_FALSE, kNaN, 10e6, 26.5e9, VI_SUCCESS},
      {"stop above 2 GHz", 4102, VI_FALSE, 0, 10e6, 2.5e9, VI_ERROR_PARAMETER7},
      {"start above 2 GHz", 4102, VI_FALSE, 0, 2.5e9, 3e9, VI_ERROR_PARAMETER6},
      {"start NaN", 4103, VI_FALSE, 0, kNaN, 1e9, VI_ERROR_PARAMETER6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reopen(c.model);
    EXPECT_EQ(c.expected, kavrel_flocRange(vi_, VI_FALSE, c.entry, 100.0, c.center, c.start, c.stop));
    EXPECT_EQ(1u, calls(STANDIN_GET_ATTRIBUTE));
    if (c.expected != VI_SUCCESS) {
      EXPECT_TRUE(writes().empty());
    }
  }
}

TEST_F(Floc, ScalingLimitsFollowTheReportedFormat) {
  const std::string formatQuery = ":FLOC:FORM?";
  struct Case {
    const char* format;
    ViReal64 perDivision;
    ViInt32 position;
    ViReal64 level;
    ViStatus expected;
    const char* command;
  } cases[] = {
      {"VSWR\n", 0.01, 0, 1.0, VI_SUCCESS, ":FLOC:SCAL:DIV 0.01;POS 0;RLEV 1.00"},
      {"VSWR\n", 10.0, 10, 100.0, VI_SUCCESS, ":FLOC:SCAL:DIV 10.00;POS 10;RLEV 100.00"},
      {"VSWR\n", 1.0, 5, 0.5, VI_ERROR_PARAMETER7, nullptr},
      {"VSWR\n", 10.01, 5, 2.0, VI_ERROR_PARAMETER5, nullptr},
      {"VSWR\n", 1.0, 11, 0.5, VI_ERROR_PARAMETER7, nullptr},  // level before position
      {"VSWR\n", 1.0, 11, 2.0, VI_ERROR_PARAMETER6, nullptr},
      {"LOG\n", 20.0, 3, -0.5, VI_SUCCESS, ":FLOC:SCAL:DIV 20.00;POS 3;RLEV -0.50"},
      {"LOG\n", 0.009, 3, 0.0, VI_ERROR_PARAMETER5, nullptr},
      {"LOG\n", 1.0, 3, -200.5, VI_ERROR_PARAMETER7, nullptr},
      {"LO", 1.0, 3, -0.5, VI_ERROR_PARAMETER7, nullptr},  // anything but LOG: the VSWR row
      {"", 1.0, 3, 50.0, VI_SUCCESS, ":FLOC:SCAL:DIV 1.00;POS 3;RLEV 50.00"},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format << c.perDivision << " " << c.level);
    mark();
    reply(c.format);
    EXPECT_EQ(c.expected, kavrel_flocScaling(vi_, VI_TRUE, VI_FALSE, 3, c.perDivision, c.position, c.level));
    EXPECT_EQ(c.command ? checked({formatQuery, kSelect2, c.command}) : Writes{formatQuery}, writes());
  }
}

TEST_F(Floc, AveragingReturnsTheWriteStatusWithoutStatusCheck) {
  struct Case {
    ViInt32 mode, count;
    const char* command;
  } cases[] = {
      {0, 1000, ":FLOC:AVER OFF"},
      {1, 1000, ":FLOC:AVER ON;:FLOC:AVER:NUMB 1000"},
      {1, 1, ":FLOC:AVER ON;:FLOC:AVER:NUMB 1"},
      {2, 7, ":FLOC:AVER:REST"},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    mark();
    EXPECT_EQ(VI_SUCCESS, kavrel_flocAveraging(vi_, VI_TRUE, c.mode, c.count));
    EXPECT_EQ((Writes{kSelect2, c.command}), writes());
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  }
  // The instrument's complaint stays in its register for the next check.
  esr(0);
  esr(0x20);
  EXPECT_EQ(VI_SUCCESS, kavrel_flocAveraging(vi_, VI_FALSE, 0, 1));
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_flocCalibration(vi_, VI_FALSE));

  fail(STANDIN_WRITE, 2, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_flocAveraging(vi_, VI_FALSE, 0, 1));
}

TEST_F(Floc, VisaFailuresAreReturnedWithoutStatusCheck) {
  const Call waveguide = [](ViSession vi) { return kavrel_flocMedium(vi, VI_FALSE, VI_FALSE, 1e9, 0, 0); };
  const Call coaxial = [](ViSession vi) { return kavrel_flocMedium(vi, VI_FALSE, VI_TRUE, 0, 0.5, 0); };
  const Call range = [](ViSession vi) { return kavrel_flocRange(vi, VI_FALSE, VI_FALSE, 0, 0, 1e9, 1e9); };
  const Call scaling = [](ViSession vi) { return kavrel_flocScaling(vi, VI_FALSE, VI_FALSE, 3, 1.0, 0, 1.0); };
  const Call points = [](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_FALSE, 401); };
  expectFailures({{"record", STANDIN_GET_ATTRIBUTE, 1, waveguide, {}},
                  {"record for the range", STANDIN_GET_ATTRIBUTE, 1, range, {}},
                  {"medium selection", STANDIN_WRITE, 1, coaxial, {}},
                  {"unit query", STANDIN_WRITE, 2, coaxial, {kSelect1}},
                  {"unit read", STANDIN_READ, 1, coaxial, {kSelect1, ":FLOC:UNIT?"}},
                  {"medium command", STANDIN_WRITE, 3, coaxial, {kSelect1, ":FLOC:UNIT?"}},
                  {"format query", STANDIN_WRITE, 1, scaling, {}},
                  {"format read", STANDIN_READ, 1, scaling, {":FLOC:FORM?"}},
                  {"scaling selection", STANDIN_WRITE, 2, scaling, {":FLOC:FORM?"}},
                  {"points command", STANDIN_WRITE, 2, points, {kSelect1}}},
                 "METR\n");
}

}  // namespace
}  // namespace kavrel::test
