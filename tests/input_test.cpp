// Detector inputs: exact command lines, argument checks before any I/O, the
// sensor-correction store maximum asked before the store is checked.
#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Input : public DriverTest {};

TEST_F(Input, SettingsSendTheirLineThenTheStatusCheck) {
  open();
  expectSettings({
      {"power meter", [](ViSession vi) { return kavrel_inpDConfig(vi, VI_FALSE); }, {":INP:DCON PMET"}},
      {"scalar", [](ViSession vi) { return kavrel_inpDConfig(vi, VI_TRUE); }, {":INP:DCON SCAL"}},
      {"offset low", [](ViSession vi) { return kavrel_inpOffset(vi, 0, -99.99); }, {":INP:OFFS A,-99.990000"}},
      {"offset high", [](ViSession vi) { return kavrel_inpOffset(vi, 3, 99.99); }, {":INP:OFFS D,99.990000"}},
      {"automatic detector", [](ViSession vi) { return kavrel_inpDetCorr(vi, 1, 0); }, {":INP:SCAL:AUTO B"}},
      {"detector 16", [](ViSession vi) { return kavrel_inpDetCorr(vi, 2, 16); }, {":INP:SCAL:DET C,16"}},
      {"temperature", [](ViSession vi) { return kavrel_inpTempCorr(vi, 3, VI_TRUE); }, {":INP:SCAL:TCOR D,ON"}},
      {"flatness, no source",
       [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, VI_TRUE, 0, -1.0); },
       {":INP:FCOR A,ON"}},
      {"flatness, fixed",
       [](ViSession vi) { return kavrel_inpFlatCorr(vi, 1, VI_FALSE, 1, 2e9); },
       {":INP:FCOR B,OFF;:INP:FCOR:FREQ:FROM B,FREQ;:INP:FCOR:FREQ B,2.000000000e+09"}},
      {"flatness, fixed top",
       [](ViSession vi) { return kavrel_inpFlatCorr(vi, 3, VI_TRUE, 1, 999999000000.0); },
       {":INP:FCOR D,ON;:INP:FCOR:FREQ:FROM D,FREQ;:INP:FCOR:FREQ D,9.999990000e+11"}},
      {"flatness, counter",
       [](ViSession vi) { return kavrel_inpFlatCorr(vi, 2, VI_TRUE, 2, -1.0); },
       {":INP:FCOR C,ON;:INP:FCOR:FREQ:FROM C,COUN"}},
      {"flatness, source",
       [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, VI_FALSE, 3, kNaN); },
       {":INP:FCOR A,OFF;:INP:FCOR:FREQ:FROM A,SOUR"}},
      {"sensor factors",
       [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 0, 0.01, 15.0, -1.0, 0); },
       {":INP:CFAC:VAL 0.010000;:INP:LFAC:VAL 15.000000"}},
      {"sensor factors top",
       [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 0, 200.0, 0.1, kNaN, 99); },
       {":INP:CFAC:VAL 200.000000;:INP:LFAC:VAL 0.100000"}},
      {"AC detection", [](ViSession vi) { return kavrel_inpACdetect(vi, VI_TRUE); }, {":INP:ACD ON"}},
      {"zero auto off", [](ViSession vi) { return kavrel_inpDetZero(vi, 0); }, {":INP:ZERO:AUTO OFF"}},
      {"zero auto on", [](ViSession vi) { return kavrel_inpDetZero(vi, 1); }, {":INP:ZERO:AUTO ON"}},
      {"zero detectors", [](ViSession vi) { return kavrel_inpDetZero(vi, 2); }, {":INP:ZERO:DET"}},
      {"zero sensor", [](ViSession vi) { return kavrel_inpDetZero(vi, 3); }, {":INP:ZERO:SENS"}},
      {"reference", [](ViSession vi) { return kavrel_inpPwrRef(vi, VI_FALSE); }, {":INP:REF OFF"}},
      {"calibration", [](ViSession vi) { return kavrel_inpCalibration(vi, VI_FALSE, 3); }, {":INP:CAL"}},
      {"detector calibration", [](ViSession vi) { return kavrel_inpCalibration(vi, VI_TRUE, 2); }, {":INP:CAL:DET C"}},
  });
}

TEST_F(Input, ArgumentErrorsComeBeforeAnyIo) {
  open();
  expectRefused({
      {"config not a Boolean", [](ViSession vi) { return kavrel_inpDConfig(vi, 2); }, VI_ERROR_PARAMETER2},
      {"offset input 4", [](ViSession vi) { return kavrel_inpOffset(vi, 4, 0.0); }, VI_ERROR_PARAMETER2},
      {"offset input -1", [](ViSession vi) { return kavrel_inpOffset(vi, -1, 0.0); }, VI_ERROR_PARAMETER2},
      {"offset 100", [](ViSession vi) { return kavrel_inpOffset(vi, 0, 100.0); }, VI_ERROR_PARAMETER3},
      {"offset NaN", [](ViSession vi) { return kavrel_inpOffset(vi, 0, kNaN); }, VI_ERROR_PARAMETER3},
      {"detector 17", [](ViSession vi) { return kavrel_inpDetCorr(vi, 0, 17); }, VI_ERROR_PARAMETER3},
      {"detector -1", [](ViSession vi) { return kavrel_inpDetCorr(vi, 0, -1); }, VI_ERROR_PARAMETER3},
      {"detector input first", [](ViSession vi) { return kavrel_inpDetCorr(vi, 4, 17); }, VI_ERROR_PARAMETER2},
      {"temperature switch", [](ViSession vi) { return kavrel_inpTempCorr(vi, 0, 0xFFFF); }, VI_ERROR_PARAMETER3},
      {"flatness switch", [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, 2, 0, 0.0); }, VI_ERROR_PARAMETER3},
      {"flatness source 4", [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, VI_TRUE, 4, 0.0); },
       VI_ERROR_PARAMETER4},
      {"flatness fixed -1", [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, VI_TRUE, 1, -1.0); },
       VI_ERROR_PARAMETER5},
      {"flatness fixed NaN", [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, VI_TRUE, 1, kNaN); },
       VI_ERROR_PARAMETER5},
      {"flatness fixed too high", [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, VI_TRUE, 1, 999999000001.0); },
       VI_ERROR_PARAMETER5},
      {"sensor source 4", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 4, 1.0, 1.0, 0.0, 1); },
       VI_ERROR_PARAMETER2},
      {"sensor source -1", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, -1, 1.0, 1.0, 0.0, 1); },
       VI_ERROR_PARAMETER2},
      {"sensor factor first", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 0, 0.009, 15.01, 0.0, 1); },
       VI_ERROR_PARAMETER3},
      {"sensor other factor", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 0, 200.0, 15.01, 0.0, 1); },
       VI_ERROR_PARAMETER4},
      {"sensor other factor NaN", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 0, 1.0, kNaN, 0.0, 1); },
       VI_ERROR_PARAMETER4},
      {"sensor frequency before store", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 1, 0, 0, -1.0, 0); },
       VI_ERROR_PARAMETER5},
      {"AC detection", [](ViSession vi) { return kavrel_inpACdetect(vi, 2); }, VI_ERROR_PARAMETER2},
      {"zeroing 4", [](ViSession vi) { return kavrel_inpDetZero(vi, 4); }, VI_ERROR_PARAMETER2},
      {"zeroing -1", [](ViSession vi) { return kavrel_inpDetZero(vi, -1); }, VI_ERROR_PARAMETER2},
      {"reference", [](ViSession vi) { return kavrel_inpPwrRef(vi, 2); }, VI_ERROR_PARAMETER2},
      {"calibration switch", [](ViSession vi) { return kavrel_inpCalibration(vi, 2, 0); }, VI_ERROR_PARAMETER2},
      {"unsent input still checked", [](ViSession vi) { return kavrel_inpCalibration(vi, VI_FALSE, 4); },
       VI_ERROR_PARAMETER3},
  });
}

TEST_F(Input, SensorStoreIsCheckedAgainstTheReportedMaximum) {
  struct Case {
    const char* name;
    ViInt32 source;
    ViReal64 frequency;
    ViInt32 store;
    const char* maximum;
    ViStatus expected;
    Writes sent;
  } cases[] = {
      {"top store", 3, kNaN, 20, "20\n", VI_SUCCESS,
       checked({":INP:CFAC:STOR:MAX?", ":INP:CFAC:STOR:NUMB 20;:INP:CFAC:FREQ:FROM SOUR"})},
      {"counter", 2, -1.0, 1, "+7", VI_SUCCESS,
       checked({":INP:CFAC:STOR:MAX?", ":INP:CFAC:STOR:NUMB 1;:INP:CFAC:FREQ:FROM COUN"})},
      {"fixed frequency", 1, 1.5e9, 3, "5\n", VI_SUCCESS,
       checked(
           {":INP:CFAC:STOR:MAX?", ":INP:CFAC:STOR:NUMB 3;:INP:CFAC:FREQ:FROM FREQ;:INP:CFAC:FREQ 1500000000.000000"})},
      {"above the maximum", 3, 0.0, 21, "20\n", VI_ERROR_PARAMETER6, {":INP:CFAC:STOR:MAX?"}},
      {"store 0", 3, 0.0, 0, "20\n", VI_ERROR_PARAMETER6, {":INP:CFAC:STOR:MAX?"}},
      {"no stores", 2, 0.0, 1, "0\n", VI_ERROR_PARAMETER6, {":INP:CFAC:STOR:MAX?"}},
      {"no number", 3, 0.0, 1, "MAX\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, {":INP:CFAC:STOR:MAX?"}},
      {"empty reply", 3, 0.0, 1, "", VI_ERROR_INSTR_INTERPRETING_RESPONSE, {":INP:CFAC:STOR:MAX?"}},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    reply(c.maximum);
    EXPECT_EQ(c.expected, kavrel_inpPwrSensorCorr(vi_, c.source, 0.0, 0.0, c.frequency, c.store));
    EXPECT_EQ(c.sent, writes());
  }
}

TEST_F(Input, VisaFailuresAreReturnedWithoutStatusCheck) {
  // Store maximum: the query's write, its read, then the command's write.
  const Call store = [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 3, 0.0, 0.0, 0.0, 4); };
  expectFailures({{"command", STANDIN_WRITE, 1, [](ViSession vi) { return kavrel_inpOffset(vi, 0, 1.0); }, {}},
                  {"maximum query", STANDIN_WRITE, 1, store, {}},
                  {"maximum read", STANDIN_READ, 1, store, {":INP:CFAC:STOR:MAX?"}},
                  {"store command", STANDIN_WRITE, 2, store, {":INP:CFAC:STOR:MAX?"}}},
                 "4\n");
}

TEST_F(Input, InstrumentErrorBitsInTheSecondStatusQuery) {
  open();
  struct Case {
    ViInt32 first, second;
    ViStatus expected;
  } cases[] = {{0, 0x10, VI_ERROR_INSTR_SPECIFIC}, {0x20, 0x01, VI_ERROR_INSTR_SPECIFIC}, {0, 0x80, VI_SUCCESS}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.second);
    esr(c.first);
    esr(c.second);
    EXPECT_EQ(c.expected, kavrel_inpDetZero(vi_, 2));
  }
}

}  // namespace
}  // namespace kavrel::test
