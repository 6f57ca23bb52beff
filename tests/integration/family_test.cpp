// A representative set of calls of every family against the simulated
// instrument: each call succeeds and the instrument queues no error, so every
// command line the driver formats is one the instrument accepts. Each test
// starts from a freshly reset instrument (model 4101, 8 GHz).
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/app_delay.h"
#include "tests/integration/sim_fixture.h"

namespace kavrel::integration {
namespace {

// Reads an application parameter and expects its value.
Call appParameterIs(ViInt32 parameter, ViReal64 expected) {
  return [=](ViSession vi) {
    ViReal64 value = 0.0;
    ViStatus status = kavrel_appParamQuery(vi, parameter, &value);
    EXPECT_EQ(expected, value) << "parameter " << parameter;
    return status;
  };
}

using SimFamilies = SimTest;

TEST_P(SimFamilies, Source) {
  static ViReal64 starts[] = {1e9, 3e9, 6e9};
  static ViReal64 stops[] = {2e9, 4e9, 7e9};
  static ViInt32 points[] = {101, 51, 201};
  expectAccepted({
      {"CW", [](ViSession vi) { return kavrel_srcContWave(vi, 1e9, -10.0); }, ":SOUR:MODE?;:SOUR:FREQ?;:SOUR:POW?",
       "CW;1e9;-10"},
      {"sweep start/stop", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 10e6, 8e9, 0.0); },
       ":SOUR:MODE?;:SOUR:FREQ:STAR?;:SOUR:FREQ:STOP?;:SOUR:POW?", "FREQ;10e6;8e9;0"},
      {"sweep centre/span", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_FALSE, 4e9, 1e9, -5.0); },
       ":SOUR:FREQ:CENT?;:SOUR:FREQ:SPAN?;:SOUR:POW?", "4e9;1e9;-5"},
      {"power sweep", [](ViSession vi) { return kavrel_srcPowSweep(vi, -20.0, 10.0, 2e9); },
       ":SOUR:MODE?;:SOUR:POW:STAR?;:SOUR:POW:STOP?;:SOUR:FREQ?", "POW;-20;10;2e9"},
      {"voltage sweep", [](ViSession vi) { return kavrel_srcVoltSweep(vi, -15.0, 15.0); },
       ":SOUR:MODE?;:SOUR:VIO:VOLT:STAR?;:SOUR:VIO:VOLT:STOP?", "VOLT;-15;15"},
      {"current sweep", [](ViSession vi) { return kavrel_srcCurrSweep(vi, -0.15, 0.15); },
       ":SOUR:MODE?;:SOUR:VIO:CURR:STAR?;:SOUR:VIO:CURR:STOP?", "CURR;-0.15;0.15"},
      {"list segments", [](ViSession vi) { return kavrel_srcCreateLinList(vi, starts, stops, points, 3); }},
      {"list sweep", [](ViSession vi) { return kavrel_srcLinListFreqSweep(vi, 0.0); }},
      {"waveguide sweep", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 7e9, 8e9, 6.557e9, 0.0); }},
      {"low-pass sweep", [](ViSession vi) { return kavrel_srcLowPassSweep(vi, 8e9, 0.0); }},
      {"sweep points, automatic time", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 201, 0.0); },
       ":SOUR:SWE:POIN?;:SOUR:SWE:AUTO?", "201;1"},
      {"sweep points and time", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 800, 0.5); },
       ":SOUR:SWE:POIN?;:SOUR:SWE:AUTO?;:SOUR:SWE:TIME?", "800;0;0.5"},
      {"levelling", [](ViSession vi) { return kavrel_srcLevFreqStd(vi, 3, 2); }, ":SOUR:LEV?;:SOUR:FREQ:STAN?",
       "PMET;EX10"},
      {"blanking", [](ViSession vi) { return kavrel_srcRFBlanking(vi, VI_TRUE); }, ":SOUR:BLAN?", "1"},
      {"external source", [](ViSession vi) { return kavrel_srcSelect(vi, 1); }},
      {"internal source", [](ViSession vi) { return kavrel_srcSelect(vi, 0); }},
      {"DC output", [](ViSession vi) { return kavrel_srcVIOutput(vi, 2, 12.5); },
       ":SOUR:VIO:MODE?;:SOUR:VIO:VOLT:CONS?", "CVOL;12.5"},
      {"filter and bandwidth", [](ViSession vi) { return kavrel_srcFilterAndBW(vi, 2, 1); }, ":SOUR:CWF?;:SOUR:SBAN?",
       "AUTO;HIGH"},
      {"RF output", [](ViSession vi) { return kavrel_srcRFOutput(vi, VI_TRUE); }, ":SOUR:RF?", "1"},
      {"source calibration", [](ViSession vi) { return kavrel_sourCal(vi, 1); }},
  });
}

TEST_P(SimFamilies, ChannelsDisplayAndLimitLines) {
  static const ViReal64 field1[] = {1e9, 3e9};
  static const ViInt32 types[] = {0, 1};
  static const ViReal64 field5[] = {-3.0, -3.0};
  static const ViReal64 field4[] = {-1.0, -2.0};
  static const ViReal64 field2[] = {3e9, 6e9};
  static const ViReal64 field6[] = {0.0, 0.0};
  static const ViReal64 field7[] = {0.0, 0.0};
  expectAccepted({
      {"channel 2 readout", [](ViSession vi) { return kavrel_chanMode(vi, VI_TRUE, 1); }},
      {"channel 1 scalar", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 0); }},
      {"coupling", [](ViSession vi) { return kavrel_chanCoupling(vi, VI_TRUE); }},
      {"dual display", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_TRUE); }},
      {"both measurements", [](ViSession vi) { return kavrel_meas12OnOff(vi, VI_FALSE, 2); }},
      {"active measurement", [](ViSession vi) { return kavrel_dispSetActMeas(vi, VI_FALSE, VI_FALSE); }},
      {"display range start/stop", [](ViSession vi) { return kavrel_measDispRange(vi, VI_TRUE, 1e9, 7e9); }},
      {"display range centre/span", [](ViSession vi) { return kavrel_measDispRange(vi, VI_FALSE, 4e9, 2e9); }},
      {"limit specification",
       [](ViSession vi) {
         return kavrel_measCreateLimSpec(vi, field1, types, field5, field4, field2, field6, field7, 2);
       }},
      {"limit check on", [](ViSession vi) { return kavrel_measLimCheck(vi, VI_FALSE, VI_FALSE, VI_TRUE, 2); }},
      {"limit check off", [](ViSession vi) { return kavrel_measLimCheck(vi, VI_FALSE, VI_FALSE, VI_FALSE, 1); }},
      {"frequency offset and scale",
       [](ViSession vi) { return kavrel_dispDomScaleOffset(vi, VI_FALSE, 0, 1e9, 2.0, 0.0); }},
      {"power offset", [](ViSession vi) { return kavrel_dispDomScaleOffset(vi, VI_TRUE, 1, 0.0, 1.0, 3.5); }},
      {"fixed frequency mode", [](ViSession vi) { return kavrel_dispDomScaleOffset(vi, VI_FALSE, 2, 0.0, 1.0, 0.0); }},
  });
}

TEST_P(SimFamilies, ScalarAndItsMemories) {
  expectAccepted({
      {"power at B", [](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, VI_FALSE, 1); }},
      {"ratio B/A", [](ViSession vi) { return kavrel_scalRatio(vi, VI_FALSE, VI_TRUE, 1, 0); }},
      {"counter", [](ViSession vi) { return kavrel_scalCounter(vi, VI_TRUE, VI_FALSE); }},
      {"averaging", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_FALSE, VI_FALSE, 1, 16); },
       ":SCAL:AVER?;:SCAL:AVER:NUMB?", "1;16"},
      {"smoothing", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 2.5); },
       ":MEAS:SMO?;:MEAS:SMO:APER?", "1;2.5"},
      {"format", [](ViSession vi) { return kavrel_scalFormat(vi, VI_FALSE, VI_FALSE, 2); }, ":SCAL:FORM?", "VSWR"},
      {"manual scaling", [](ViSession vi) { return kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 3, 1.0, 4, 1.5); },
       ":SCAL:SCAL:DIV?;:SCAL:SCAL:POS?;:SCAL:SCAL:RLEV?", "1;4;1.5"},
      {"auto scaling", [](ViSession vi) { return kavrel_scalScaling(vi, VI_FALSE, VI_FALSE, 1, 1.0, 5, 0.0); },
       ":SCAL:SCAL:AUTO?", "ONCE"},
      {"path calibration step", [](ViSession vi) { return kavrel_scalCal(vi, 0, 1); }},
      {"path calibration on", [](ViSession vi) { return kavrel_scalCalState(vi, VI_TRUE); }},
      {"save the trace", [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 0, 3); }},
      {"memory operation", [](ViSession vi) { return kavrel_scalMemOp(vi, VI_FALSE, VI_FALSE, VI_TRUE, 3); }},
      {"show the memory", [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 1, 3); }},
  });
}

TEST_P(SimFamilies, InputsAndPowerMeter) {
  expectAccepted({
      {"detectors for the power meter", [](ViSession vi) { return kavrel_inpDConfig(vi, VI_FALSE); }},
      {"offset", [](ViSession vi) { return kavrel_inpOffset(vi, 2, -1.25); }},
      {"detector correction", [](ViSession vi) { return kavrel_inpDetCorr(vi, 1, 7); }},
      {"automatic detector", [](ViSession vi) { return kavrel_inpDetCorr(vi, 0, 0); }},
      {"temperature correction", [](ViSession vi) { return kavrel_inpTempCorr(vi, 3, VI_TRUE); }},
      {"flatness at a frequency", [](ViSession vi) { return kavrel_inpFlatCorr(vi, 0, VI_TRUE, 1, 2e9); }},
      {"sensor correction factors", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 0, 98.5, 1.0, 1e9, 1); }},
      {"sensor correction store", [](ViSession vi) { return kavrel_inpPwrSensorCorr(vi, 1, 100.0, 1.0, 1e9, 2); }},
      {"AC detection", [](ViSession vi) { return kavrel_inpACdetect(vi, VI_TRUE); }},
      {"zero the detectors", [](ViSession vi) { return kavrel_inpDetZero(vi, 2); }},
      {"power reference", [](ViSession vi) { return kavrel_inpPwrRef(vi, VI_FALSE); }},
      {"detector calibration", [](ViSession vi) { return kavrel_inpCalibration(vi, VI_TRUE, 3); }},
      {"channel 2 readout", [](ViSession vi) { return kavrel_chanMode(vi, VI_TRUE, 1); }},
      {"power at A", [](ViSession vi) { return kavrel_routPwrSglIn(vi, VI_TRUE, VI_FALSE, 0); }},
      {"ratio", [](ViSession vi) { return kavrel_routPwrRatio(vi, VI_TRUE, VI_FALSE, 1, 1); }},
      {"difference", [](ViSession vi) { return kavrel_routPwrDiff(vi, VI_TRUE, VI_FALSE, 0, 2); }},
      {"counter", [](ViSession vi) { return kavrel_routCounter(vi, VI_TRUE, VI_FALSE); }},
      {"counter resolution", [](ViSession vi) { return kavrel_routCountRes(vi, VI_TRUE, VI_FALSE, 1000.0); },
       ":ROUT:RES:COUN?", "1000"},
      {"counter limits", [](ViSession vi) { return kavrel_routLimCheck(vi, VI_TRUE, VI_FALSE, VI_TRUE, 1e6, 9e9); }},
      {"power at B again", [](ViSession vi) { return kavrel_routPwrSglIn(vi, VI_TRUE, VI_FALSE, 1); }},
      {"power limits", [](ViSession vi) { return kavrel_routLimCheck(vi, VI_TRUE, VI_FALSE, VI_TRUE, -20.0, 5.0); }},
      {"relative", [](ViSession vi) { return kavrel_routRelMeas(vi, VI_TRUE, VI_FALSE, 2); }},
      {"averaging", [](ViSession vi) { return kavrel_routAveraging(vi, 1, 5, 64); }},
      {"duty cycle", [](ViSession vi) { return kavrel_routDutyCyclCorr(vi, VI_TRUE, VI_FALSE, VI_TRUE, 25.0); },
       ":ROUT:DCYC?;:ROUT:DCYC:VAL?", "1;25"},
      {"hold", [](ViSession vi) { return kavrel_routMaxMinHold(vi, VI_TRUE, VI_FALSE, 1); }},
      {"format", [](ViSession vi) { return kavrel_routFormat(vi, VI_TRUE, VI_FALSE, 1); }, ":ROUT:FORM?", "WATT"},
      {"reading",
       [](ViSession vi) {
         ViReal64 reading = 0.0;
         ViStatus status = kavrel_routData(vi, 0, &reading);
         EXPECT_GT(reading, 0.0) << "a power in watts";
         return status;
       }},
      {"held maximum",
       [](ViSession vi) {
         ViReal64 reading = 0.0;
         return kavrel_routData(vi, 2, &reading);
       }},
      {"peak reset", [](ViSession vi) { return kavrel_routPeakReset(vi); }},
      {"store count",
       [](ViSession vi) {
         ViInt32 count = 0;
         ViStatus status = kavrel_readMax(vi, 0, &count);
         EXPECT_GT(count, 0);
         return status;
       }},
  });
}

TEST_P(SimFamilies, FaultLocation) {
  expectAccepted({
      {"channel 2 fault location", [](ViSession vi) { return kavrel_chanMode(vi, VI_TRUE, 2); }},
      {"active", [](ViSession vi) { return kavrel_dispSetActMeas(vi, VI_TRUE, VI_FALSE); }},
      {"waveguide", [](ViSession vi) { return kavrel_flocMedium(vi, VI_TRUE, VI_FALSE, 6.557e9, 1.0, 0.5); }},
      {"coaxial", [](ViSession vi) { return kavrel_flocMedium(vi, VI_TRUE, VI_TRUE, 10e6, 0.66, 1.0); }},
      {"distance range", [](ViSession vi) { return kavrel_flocRange(vi, VI_TRUE, VI_TRUE, 30.0, 4e9, 0.0, 0.0); }},
      {"frequency range", [](ViSession vi) { return kavrel_flocRange(vi, VI_TRUE, VI_FALSE, 0.0, 0.0, 1e9, 3e9); }},
      {"points", [](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_TRUE, 1024); }, ":FLOC:POIN?", "1024"},
      {"feet", [](ViSession vi) { return kavrel_flocDispUnit(vi, VI_TRUE, VI_FALSE); }, ":FLOC:UNIT?", "FEET"},
      {"averaging", [](ViSession vi) { return kavrel_flocAveraging(vi, VI_TRUE, 1, 8); },
       ":FLOC:AVER?;:FLOC:AVER:NUMB?", "1;8"},
      {"window", [](ViSession vi) { return kavrel_flocWindowing(vi, VI_TRUE, 2); }, ":FLOC:WIND?", "HIGH"},
      {"mask correction", [](ViSession vi) { return kavrel_flocMaskCorr(vi, VI_TRUE, VI_TRUE); }},
      {"enhancement", [](ViSession vi) { return kavrel_flocEnhMode(vi, VI_TRUE, VI_TRUE); }},
      {"format VSWR", [](ViSession vi) { return kavrel_flocFormat(vi, VI_TRUE, VI_FALSE, VI_FALSE); }},
      {"manual scaling", [](ViSession vi) { return kavrel_flocScaling(vi, VI_TRUE, VI_FALSE, 3, 0.5, 2, 1.0); },
       ":FLOC:SCAL:DIV?;:FLOC:SCAL:POS?;:FLOC:SCAL:RLEV?", "0.5;2;1"},
      {"save calibration", [](ViSession vi) { return kavrel_flocCalibration(vi, VI_FALSE); }},
      {"restore calibration", [](ViSession vi) { return kavrel_flocCalibration(vi, VI_TRUE); }},
      {"trace",
       [](ViSession vi) {
         ViInt32 points = 0;
         std::vector<ViReal64> trace(1024);
         ViStatus status = kavrel_flocReadData(vi, &points, trace.data());
         EXPECT_EQ(1024, points);
         return status;
       }},
  });
}

// Markers on the scalar trace of channel 1: the filter's pass band peaks at the
// middle of the 8 GHz model's range.
TEST_P(SimFamilies, Markers) {
  expectAccepted({
      {"power at B", [](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, VI_FALSE, 1); }},
      {"active marker 1", [](ViSession vi) { return kavrel_markSetActive(vi, 1, VI_TRUE); }},
      {"marker 2", [](ViSession vi) { return kavrel_markConfig(vi, 2, 2e9, VI_TRUE); }},
      {"delta marker", [](ViSession vi) { return kavrel_markDelta(vi, 3e9, VI_TRUE); }},
      {"delta marker off", [](ViSession vi) { return kavrel_markDelta(vi, 0.0, VI_FALSE); }},
      {"tracking", [](ViSession vi) { return kavrel_markTracking(vi, 0); }},
      {"slope", [](ViSession vi) { return kavrel_markSlope(vi, 2); }},
      {"slope off", [](ViSession vi) { return kavrel_markSlope(vi, 0); }},
      {"bandwidth setup", [](ViSession vi) { return kavrel_markBandwidth(vi, -3.0, VI_FALSE, 1); }},
      {"peak-to-peak limit", [](ViSession vi) { return kavrel_markPkPk(vi, 99.0, VI_TRUE); }},
      {"coupling", [](ViSession vi) { return kavrel_markCoup(vi, VI_FALSE); }},
      {"search target", [](ViSession vi) { return kavrel_markSearchValue(vi, -10.0); }},
      {"search maximum", [](ViSession vi) { return kavrel_markSearchFunction(vi, 0); }},
      {"reading at the maximum",
       [](ViSession vi) {
         ViReal64 position = 0.0, reading1 = -999.0, reading2 = -999.0;
         ViStatus status = kavrel_readActMarker(vi, &position, &reading1, &reading2);
         EXPECT_NEAR(4e9, position, 0.4e9);
         EXPECT_GT(reading1, -5.0) << "in the pass band";
         EXPECT_EQ(0.0, reading2) << "a single reading";
         return status;
       }},
      {"search target to the right", [](ViSession vi) { return kavrel_markSearchFunction(vi, 5); }},
      {"found right of the maximum",
       [](ViSession vi) {
         ViReal64 position = 0.0;
         ViStatus status = kavrel_readActMarker(vi, &position, VI_NULL, VI_NULL);
         EXPECT_GT(position, 4e9);
         EXPECT_LT(position, 5e9);
         return status;
       }},
      {"peak-to-peak result",
       [](ViSession vi) {
         ViInt32 found = -1;
         ViReal64 value = 0.0;
         ViStatus status = kavrel_markSearchPkPk(vi, &found, &value);
         EXPECT_EQ(1, found);
         EXPECT_GT(value, 40.0) << "from the pass band down to the skirts";
         return status;
       }},
      {"bandwidth result",
       [](ViSession vi) {
         ViReal64 bandwidth = 0.0;
         return kavrel_markSearchBandwidth(vi, &bandwidth, VI_NULL, VI_NULL);
       }},
  });
}

// An application's turn, and the swept scalar measurement in one call.
TEST_P(SimFamilies, Applications) {
  static ViReal64 waited = -1.0;
  kavrel_appSetDelay([](ViReal64 seconds) { waited = seconds; });
  expectAccepted({
      {"load", [](ViSession vi) { return kavrel_appLoad(vi, viString("TESTAPP")); }},
      {"run", [](ViSession vi) { return kavrel_appRun(vi, 2); }},
      {"parameter", [](ViSession vi) { return kavrel_appParam(vi, 3, 12.5); }},
      {"parameter back", appParameterIs(3, 12.5)},
      {"run state", appParameterIs(8, 2.0)},
      {"swept measurement",
       [](ViSession vi) {
         ViInt32 points = 0;
         std::vector<ViReal64> trace(101, -999.0);
         ViStatus status = kavrel_appExample(vi, 1, 10e6, 8e9, 0.0, 101, VI_FALSE, 0.5, VI_TRUE, &points,
                                             trace.data());
         EXPECT_EQ(101, points);
         EXPECT_GE(waited, 0.5) << "waits at least one sweep";
         EXPECT_NE(-999.0, trace[100]);
         return status;
       }},
  });
  kavrel_appSetDelay(VI_NULL);
}

TEST_P(SimFamilies, ReflectionSetupAndTimeDomain) {
  expectAccepted({
      {"channel 1 reflection", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 3); }},
      {"S11", [](ViSession vi) { return kavrel_reflS11(vi, VI_FALSE, VI_FALSE); }},
      {"ratio", [](ViSession vi) { return kavrel_reflRatio(vi, VI_FALSE, VI_TRUE, 2); }},
      {"difference", [](ViSession vi) { return kavrel_reflDiffer(vi, VI_FALSE, VI_TRUE, 4); }},
      {"detector", [](ViSession vi) { return kavrel_reflDetector(vi, VI_FALSE, VI_FALSE, VI_TRUE, VI_FALSE); }},
      {"averaging", [](ViSession vi) { return kavrel_reflAveraging(vi, 1, 32); }, ":REFL:AVER?;:REFL:AVER:NUMB?",
       "1;32"},
      {"smoothing", [](ViSession vi) { return kavrel_reflSmooth(vi, VI_FALSE, VI_FALSE, VI_TRUE, 1.5); },
       ":MEAS:SMO?;:MEAS:SMO:APER?", "1;1.5"},
      {"format", [](ViSession vi) { return kavrel_reflFormat(vi, VI_FALSE, VI_FALSE, 10); }, ":REFL:DISP:FORM?",
       "SMIT"},
      {"delay in seconds", [](ViSession vi) { return kavrel_reflElDelay(vi, VI_FALSE, VI_FALSE, VI_FALSE, 1e-9); }},
      {"delay in metres", [](ViSession vi) { return kavrel_reflElDelay(vi, VI_FALSE, VI_FALSE, VI_TRUE, 0.3); }},
      {"phase offset", [](ViSession vi) { return kavrel_reflPhaseOffset(vi, VI_FALSE, VI_FALSE, -45.0); },
       ":REFL:POFF?", "-45"},
      {"coaxial medium", [](ViSession vi) { return kavrel_reflDevChar(vi, 50.0, 0, 0.66, 1.0, 1e7); }},
      {"waveguide medium", [](ViSession vi) { return kavrel_reflDevChar(vi, 50.0, 2, 0.66, 1.0, 6.557e9); }},
      {"time domain on", [](ViSession vi) { return kavrel_reflTimeDomain(vi, VI_FALSE, VI_TRUE); }},
      {"band-pass impulse", [](ViSession vi) { return kavrel_reflTDomFunc(vi, VI_FALSE, VI_TRUE, VI_TRUE); }},
      {"extrapolation", [](ViSession vi) { return kavrel_reflDCextrapol(vi, VI_FALSE, VI_FALSE, 2, 12.3); }},
      {"window", [](ViSession vi) { return kavrel_reflWindowing(vi, VI_FALSE, VI_FALSE, 3, 7); }},
      {"distance display", [](ViSession vi) { return kavrel_reflDomDisp(vi, VI_FALSE, 1); }},
      {"time display", [](ViSession vi) { return kavrel_reflDomDisp(vi, VI_FALSE, 0); }},
      {"gate centre/span",
       [](ViSession vi) { return kavrel_reflGateNFence(vi, VI_TRUE, VI_FALSE, 2e-9, 1e-9, VI_TRUE, VI_FALSE, 1); }},
      {"fence start/stop",
       [](ViSession vi) { return kavrel_reflGateNFence(vi, VI_TRUE, VI_TRUE, 1e-9, 3e-9, VI_FALSE, VI_TRUE, 3); }},
      {"zoom in time", [](ViSession vi) { return kavrel_reflDispZoom(vi, VI_FALSE, VI_TRUE, 0.0, 10e-9); }},
      {"manual scaling",
       [](ViSession vi) { return kavrel_reflScaling(vi, VI_FALSE, VI_FALSE, VI_FALSE, 0.1, 5, 0.0); }},
      {"auto scaling", [](ViSession vi) { return kavrel_reflScaling(vi, VI_FALSE, VI_FALSE, VI_TRUE, 0.1, 5, 0.0); }},
      {"time domain off", [](ViSession vi) { return kavrel_reflTimeDomain(vi, VI_FALSE, VI_FALSE); }},
      {"zoom in frequency", [](ViSession vi) { return kavrel_reflDispZoom(vi, VI_FALSE, VI_FALSE, 4e9, 2e9); }},
      {"save to memory", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_FALSE, 0, 2); }},
      {"show the memory", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_FALSE, 1, 2); }},
  });
}

TEST_P(SimFamilies, CalibrationKits) {
  expectAccepted({
      {"select kit 2", [](ViSession vi) { return kavrel_reflSelectKit(vi, 2); }},
      {"connector and identity", [](ViSession vi) { return kavrel_reflConfKit(vi, 1, viString("N-TYPE KIT")); }},
      {"serial number", [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 0, 1, viString("SH-0042")); }},
      {"serial number without sex", [](ViSession vi) { return kavrel_reflSetSerNumb(vi, 6, 0, viString("LD-7")); }},
      {"coaxial model",
       [](ViSession vi) {
         return kavrel_reflConfCoaxial(vi, 2, 0.005, 0.006, 10.0, -20.0, 30.0, -40.0, 0.001, 2e9, 3e9);
       }},
      {"select kit 3", [](ViSession vi) { return kavrel_reflSelectKit(vi, 3); }},
      {"waveguide", [](ViSession vi) { return kavrel_reflConfKit(vi, 3, viString("WR-112")); }},
      {"waveguide model",
       [](ViSession vi) {
         return kavrel_reflConfWaveguide(vi, 5.26e9, 0.0, 0.0, VI_TRUE, 0.0075, 7e9, 10e9);
       }},
  });
}

// Each calibration type is configured, its standards measured, and processed
// into a store of its own, whose description then reads back.
TEST_P(SimFamilies, CalibrationOfEveryTypeIntoAStore) {
  struct Standard {
    ViInt32 standard;
    ViBoolean offsetShort;
    ViInt32 slidingLoad;
  };
  struct Case {
    ViInt32 type;
    ViInt32 kit;
    ViBoolean sex;
    std::vector<Standard> standards;
    ViInt32 expectedSex;  // as the description reports it
  } cases[] = {
      {0, 1, VI_TRUE, {{3, VI_FALSE, 1}, {1, VI_FALSE, 1}, {0, VI_FALSE, 1}}, 1},
      {1, 2, VI_FALSE, {{3, VI_FALSE, 1}, {1, VI_FALSE, 1}, {4, VI_FALSE, 1}, {4, VI_FALSE, 5}}, 2},
      {2, 3, VI_FALSE, {{3, VI_FALSE, 1}, {2, VI_FALSE, 1}, {0, VI_FALSE, 1}}, 0},
      {3, 4, VI_TRUE, {{2, VI_FALSE, 1}, {2, VI_TRUE, 1}, {0, VI_FALSE, 1}}, 0},
      {4, 3, VI_TRUE, {{3, VI_FALSE, 1}, {2, VI_TRUE, 1}, {4, VI_FALSE, 8}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const ViInt32 store = c.type + 1;
    const std::string title = "TYPE " + std::to_string(c.type);
    std::vector<Step> steps;
    steps.push_back({"configure", [&c](ViSession vi) { return kavrel_reflConfigCal(vi, c.kit, c.type, c.sex); }});
    for (const Standard& s : c.standards) {
      steps.push_back({"measure", [s](ViSession vi) {
                         return kavrel_reflCalMeas(vi, s.standard, s.offsetShort, s.slidingLoad);
                       }});
    }
    steps.push_back(
        {"process", [&](ViSession vi) { return kavrel_reflPerformCal(vi, 1, store, viString(title)); }});
    steps.push_back({"valid", [](ViSession vi) {
                       ViInt32 validity = -1;
                       ViStatus status = kavrel_reflCalVal(vi, &validity);
                       EXPECT_EQ(1, validity);
                       return status;
                     }});
    steps.push_back({"description", [&](ViSession vi) {
                       ViInt32 stores = 0, cable = -1, connector = -1, sex = -1, type = -1;
                       ViChar dateTime[72] = {};
                       ViChar text[513] = {};
                       ViStatus status = kavrel_reflReadCalData(vi, store, &stores, &cable, &connector, dateTime,
                                                                &sex, text, &type);
                       EXPECT_GE(stores, store);
                       EXPECT_EQ(0, cable);
                       EXPECT_EQ(c.type, type);
                       EXPECT_EQ(c.expectedSex, sex);
                       EXPECT_NE(std::string::npos, std::string(text).find(title)) << text;
                       // day.month.year;hour:minute:second
                       int day = 0, month = 0, year = 0, hour = -1, minute = -1, second = -1;
                       EXPECT_EQ(6, std::sscanf(dateTime, "%d.%d.%d;%d:%d:%d", &day, &month, &year, &hour, &minute,
                                                &second))
                           << dateTime;
                       EXPECT_GE(year, 2024);
                       EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31) << dateTime;
                       return status;
                     }});
    expectAccepted(steps);
  }
  expectAccepted({
      {"cable", [](ViSession vi) { return kavrel_reflConfigCab(vi, VI_TRUE); }},
      {"restore", [](ViSession vi) { return kavrel_reflPerformCal(vi, 2, 1, VI_NULL); }},
      {"zero", [](ViSession vi) { return kavrel_reflPerformCal(vi, 0, 0, VI_NULL); }},
      {"begin", [](ViSession vi) { return kavrel_reflConfigCal(vi, 1, 0, VI_TRUE); }},
      {"abort", [](ViSession vi) { return kavrel_reflAbortCal(vi); }},
  });
}

INSTANTIATE_TEST_SUITE_P(Transports, SimFamilies, ::testing::ValuesIn(kTransports), transportName);

}  // namespace
}  // namespace kavrel::integration
