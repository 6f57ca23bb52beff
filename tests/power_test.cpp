// Power-meter readout: selection then command then one status check, argument
// checks before any I/O, and the limit check's definition query.
#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

const std::string kSelect11 = ":CHAN:ACT 1;:MEAS:ACT 1";
const std::string kSelect22 = ":CHAN:ACT 2;:MEAS:ACT 2";

class Power : public DriverTest {};

TEST_F(Power, SettingsSendTheirLinesThenTheStatusCheck) {
  open();
  expectSettings({
      {"single input",
       [](ViSession vi) { return kavrel_routPwrSglIn(vi, VI_FALSE, VI_FALSE, 1); },
       {kSelect11, ":ROUT:MEAS:POW B"}},
      {"ratio of one input",
       [](ViSession vi) { return kavrel_routPwrRatio(vi, VI_TRUE, VI_TRUE, 1, 1); },
       {kSelect22, ":ROUT:MEAS:RAT B,B"}},
      {"difference",
       [](ViSession vi) { return kavrel_routPwrDiff(vi, VI_TRUE, VI_FALSE, 0, 3); },
       {":CHAN:ACT 2;:MEAS:ACT 1", ":ROUT:MEAS:DIFF A,D"}},
      {"counter",
       [](ViSession vi) { return kavrel_routCounter(vi, VI_FALSE, VI_TRUE); },
       {":CHAN:ACT 1;:MEAS:ACT 2", ":ROUT:MEAS:FREQ"}},
      {"relative off",
       [](ViSession vi) { return kavrel_routRelMeas(vi, VI_FALSE, VI_FALSE, 0); },
       {kSelect11, ":ROUT:REL:STATE OFF"}},
      {"relative save",
       [](ViSession vi) { return kavrel_routRelMeas(vi, VI_FALSE, VI_FALSE, 2); },
       {kSelect11, ":ROUT:REL:SAVE"}},
      {"duty cycle smallest",
       [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_FALSE, VI_FALSE, VI_TRUE, 0.001); },
       {kSelect11, ":ROUT:DCYC ON;DCYC:VAL 0.001"}},
      {"duty cycle largest",
       [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_TRUE, VI_TRUE, VI_TRUE, 100.0); },
       {kSelect22, ":ROUT:DCYC ON;DCYC:VAL 100.000"}},
      {"duty cycle off",
       [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_FALSE, VI_FALSE, VI_FALSE, 0.0); },
       {kSelect11, ":ROUT:DCYC OFF"}},
      {"limits off, no query",
       [](ViSession vi) { return kavrel_routLimCheck(vi, VI_TRUE, VI_TRUE, VI_FALSE, kNaN, -5e12); },
       {kSelect22, ":ROUT:LIM OFF"}},
      {"hold off",
       [](ViSession vi) { return kavrel_routMaxMinHold(vi, VI_FALSE, VI_FALSE, 0); },
       {kSelect11, ":ROUT:PEAK OFF"}},
      {"hold on",
       [](ViSession vi) { return kavrel_routMaxMinHold(vi, VI_FALSE, VI_FALSE, 1); },
       {kSelect11, ":ROUT:PEAK ON"}},
      {"hold reset",
       [](ViSession vi) { return kavrel_routMaxMinHold(vi, VI_FALSE, VI_FALSE, 2); },
       {kSelect11, ":ROUT:PEAK:RES"}},
      {"format",
       [](ViSession vi) { return kavrel_routFormat(vi, VI_FALSE, VI_FALSE, 2); },
       {kSelect11, ":ROUT:FORM PERC"}},
      {"resolution 1",
       [](ViSession vi) { return kavrel_routCountRes(vi, VI_FALSE, VI_FALSE, 1.0); },
       {kSelect11, ":ROUT:RES:COUN 1.000000"}},
      {"resolution top",
       [](ViSession vi) { return kavrel_routCountRes(vi, VI_FALSE, VI_FALSE, 100000000.0); },
       {kSelect11, ":ROUT:RES:COUN 100000000.000000"}},
      {"peak reset, no selection", [](ViSession vi) { return kavrel_routPeakReset(vi); }, {":ROUT:PIR"}},
  });
}

TEST_F(Power, AveragingBelongsToTheInput) {
  struct Case {
    ViInt32 input, mode, count;
    const char* command;
  } cases[] = {
      {0, 0, 1, ":ROUT:AVER A,OFF"},
      {1, 1, 1000, ":ROUT:AVER B,ON;:ROUT:AVER:AUTO B,ON"},
      {2, 2, 5, ":ROUT:AVER:AUTO C,OFF;:ROUT:AVER C,ON;:ROUT:RES:PMET C,HIGH"},
      {3, 3, 5, ":ROUT:AVER:AUTO D,OFF;:ROUT:AVER D,ON;:ROUT:RES:PMET D,MED"},
      {0, 4, 5, ":ROUT:AVER:AUTO A,OFF;:ROUT:AVER A,ON;:ROUT:RES:PMET A,LOW"},
      {3, 5, 16, ":ROUT:AVER:AUTO D,OFF;:ROUT:AVER D,ON;:ROUT:AVER:NUMB D,16"},
      {1, 6, 7, ":ROUT:AVER:REST B"},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    mark();
    EXPECT_EQ(VI_SUCCESS, kavrel_routAveraging(vi_, c.input, c.mode, c.count));
    EXPECT_EQ(checked({c.command}), writes());
  }
}

TEST_F(Power, ArgumentErrorsComeBeforeAnyIo) {
  open();
  expectRefused({
      {"channel", [](ViSession vi) { return kavrel_routPwrSglIn(vi, 2, VI_FALSE, 9); }, VI_ERROR_PARAMETER2},
      {"measurement", [](ViSession vi) { return kavrel_routPwrSglIn(vi, VI_FALSE, 0xFFFF, 9); }, VI_ERROR_PARAMETER3},
      {"input", [](ViSession vi) { return kavrel_routPwrSglIn(vi, VI_FALSE, VI_FALSE, 4); }, VI_ERROR_PARAMETER4},
      {"numerator", [](ViSession vi) { return kavrel_routPwrRatio(vi, VI_FALSE, VI_FALSE, -1, 4); },
       VI_ERROR_PARAMETER4},
      {"denominator", [](ViSession vi) { return kavrel_routPwrRatio(vi, VI_FALSE, VI_FALSE, 0, 4); },
       VI_ERROR_PARAMETER5},
      {"second input", [](ViSession vi) { return kavrel_routPwrDiff(vi, VI_FALSE, VI_FALSE, 3, -1); },
       VI_ERROR_PARAMETER5},
      {"counter channel", [](ViSession vi) { return kavrel_routCounter(vi, 2, VI_FALSE); }, VI_ERROR_PARAMETER2},
      {"relative 3", [](ViSession vi) { return kavrel_routRelMeas(vi, VI_FALSE, VI_FALSE, 3); }, VI_ERROR_PARAMETER4},
      {"averaging input", [](ViSession vi) { return kavrel_routAveraging(vi, 4, 0, 1); }, VI_ERROR_PARAMETER2},
      {"averaging mode 7", [](ViSession vi) { return kavrel_routAveraging(vi, 0, 7, 1); }, VI_ERROR_PARAMETER3},
      {"unused count 0", [](ViSession vi) { return kavrel_routAveraging(vi, 0, 0, 0); }, VI_ERROR_PARAMETER4},
      {"count 1001", [](ViSession vi) { return kavrel_routAveraging(vi, 0, 5, 1001); }, VI_ERROR_PARAMETER4},
      {"duty switch", [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_FALSE, VI_FALSE, 2, 1.0); },
       VI_ERROR_PARAMETER4},
      {"duty cycle 0 when on",
       [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_FALSE, VI_FALSE, VI_TRUE, 0.0); }, VI_ERROR_PARAMETER5},
      {"duty cycle NaN", [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_FALSE, VI_FALSE, VI_TRUE, kNaN); },
       VI_ERROR_PARAMETER5},
      {"duty cycle above 100",
       [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_FALSE, VI_FALSE, VI_TRUE, 100.01); },
       VI_ERROR_PARAMETER5},
      {"limit switch", [](ViSession vi) { return kavrel_routLimCheck(vi, VI_FALSE, VI_FALSE, 2, 0.0, 0.0); },
       VI_ERROR_PARAMETER4},
      {"hold 3", [](ViSession vi) { return kavrel_routMaxMinHold(vi, VI_FALSE, VI_FALSE, 3); }, VI_ERROR_PARAMETER4},
      {"format 4", [](ViSession vi) { return kavrel_routFormat(vi, VI_FALSE, VI_FALSE, 4); }, VI_ERROR_PARAMETER4},
      {"resolution 0.5", [](ViSession vi) { return kavrel_routCountRes(vi, VI_FALSE, VI_FALSE, 0.5); },
       VI_ERROR_PARAMETER4},
      {"resolution above", [](ViSession vi) { return kavrel_routCountRes(vi, VI_FALSE, VI_FALSE, 100000000.5); },
       VI_ERROR_PARAMETER4},
  });
}

TEST_F(Power, LimitRangeFollowsTheActiveDefinitionWithCrossedCodes) {
  const std::string query = ":ROUT:MEAS:DEF?";
  struct Case {
    const char* definition;
    ViReal64 minimum, maximum;
    ViStatus expected;
    const char* command;  // null: nothing after the query
  } cases[] = {
      {"FREQ\n", 1000.0, 1000.0, VI_SUCCESS, ":ROUT:LIM ON;LIM:MAX 1000.000000;MIN 1000.000000"},
      {"POW B\n", 1000.0, 1000.0, VI_ERROR_PARAMETER5, nullptr},  // maximum first, with code 5
      {"FREQ\n", -1.0, 5.0, VI_ERROR_PARAMETER6, nullptr},        // minimum with code 6
      {"FREQ\n", 0.0, 999999000000.0, VI_SUCCESS, ":ROUT:LIM ON;LIM:MAX 999999000000.000000;MIN 0.000000"},
      {"FREQ\n", 0.0, 999999000001.0, VI_ERROR_PARAMETER5, nullptr},
      {"RAT A,B\n", -999.999, 999.999, VI_SUCCESS, ":ROUT:LIM ON;LIM:MAX 999.999000;MIN -999.999000"},
      {"RAT A,B\n", -1000.0, 999.999, VI_ERROR_PARAMETER6, nullptr},
      {"FRE", 1000.0, 1000.0, VI_ERROR_PARAMETER5, nullptr},  // cut short: not a counter
      {"", 0.0, 0.0, VI_SUCCESS, ":ROUT:LIM ON;LIM:MAX 0.000000;MIN 0.000000"},
      {"DIFF A,B\n", kNaN, 1.0, VI_ERROR_PARAMETER6, nullptr},
      {"DIFF A,B\n", 10.0, 5.0, VI_ERROR_INSTR_MIN_GT_MAX, nullptr},
      {"DIFF A,B\n", 5.0, 5.0, VI_SUCCESS, ":ROUT:LIM ON;LIM:MAX 5.000000;MIN 5.000000"},
      {"DIFF A,B\n", 5.0, kNaN, VI_ERROR_PARAMETER5, nullptr},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.definition << c.minimum << " " << c.maximum);
    mark();
    reply(c.definition);
    EXPECT_EQ(c.expected, kavrel_routLimCheck(vi_, VI_TRUE, VI_TRUE, VI_TRUE, c.minimum, c.maximum));
    EXPECT_EQ(c.command ? checked({query, kSelect22, c.command}) : Writes{query}, writes());
  }
}

TEST_F(Power, VisaFailuresAreReturnedWithoutStatusCheck) {
  const Call format = [](ViSession vi) { return kavrel_routFormat(vi, VI_FALSE, VI_FALSE, 0); };
  const Call limits = [](ViSession vi) { return kavrel_routLimCheck(vi, VI_FALSE, VI_FALSE, VI_TRUE, 0.0, 1.0); };
  expectFailures({{"selection", STANDIN_WRITE, 1, format, {}},
                  {"command", STANDIN_WRITE, 2, format, {kSelect11}},
                  {"averaging", STANDIN_WRITE, 1, [](ViSession vi) { return kavrel_routAveraging(vi, 0, 0, 1); }, {}},
                  {"peak reset", STANDIN_WRITE, 1, [](ViSession vi) { return kavrel_routPeakReset(vi); }, {}},
                  {"definition query", STANDIN_WRITE, 1, limits, {}},
                  {"definition read", STANDIN_READ, 1, limits, {":ROUT:MEAS:DEF?"}},
                  {"limit selection", STANDIN_WRITE, 2, limits, {":ROUT:MEAS:DEF?"}}},
                 "POW A\n");
}

TEST_F(Power, OneStatusCheckCoversSelectionAndCommand) {
  open();
  esr(0);
  esr(0x04);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_routPwrSglIn(vi_, VI_FALSE, VI_FALSE, 0));
  EXPECT_EQ(checked({kSelect11, ":ROUT:MEAS:POW A"}), writes());
  esr(0x08);
  esr(0);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_routPeakReset(vi_));
}

}  // namespace
}  // namespace kavrel::test
