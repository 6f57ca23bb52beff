// Source modes, sweeps, list segments, sweep configuration and outputs.
#include <string>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

class Source : public DriverTest {};

TEST_F(Source, TypicalCallsSendOneWholeLine) {
  open();
  expectSettings({
      {"cw", [](ViSession vi) { return kavrel_srcContWave(vi, 1e9, -10.0); },
       {":SOUR:MODE CW;:SOUR:FREQ 1000000000.000000;POW:LEV -10.00"}},
      {"start/stop", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 10e6, 8e9, 5.5); },
       {":SOUR:MODE FREQ;:SOUR:FREQ:STAR 10000000.000000;STOP 8000000000.000000;:SOUR:POW:LEV 5.50"}},
      {"centre/span", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_FALSE, 2e9, 1e9, 0.0); },
       {":SOUR:MODE FREQ;:SOUR:FREQ:CENT 2000000000.000000;SPAN 1000000000.000000;:SOUR:POW:LEV 0.00"}},
      {"power", [](ViSession vi) { return kavrel_srcPowSweep(vi, -20.0, 7.125, 3e9); },
       {":SOUR:MODE POW;:SOUR:POW:STAR -20.00;STOP 7.12;:SOUR:FREQ 3000000000.000000"}},
      {"voltage", [](ViSession vi) { return kavrel_srcVoltSweep(vi, -15.0, -1.5); },
       {":SOUR:MODE VOLT;:SOUR:VIO:VOLT:STAR -15.000;STOP -1.500"}},
      {"current", [](ViSession vi) { return kavrel_srcCurrSweep(vi, 0.1, 0.1); },
       {":SOUR:MODE CURR;:SOUR:VIO:CURR:STAR 0.100;STOP 0.100"}},
      {"list", [](ViSession vi) { return kavrel_srcLinListFreqSweep(vi, 20.0); },
       {":SOUR:MODE LIST;:SOUR:POW:LEV 20.00"}},
      {"waveguide", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 2e9, 4e9, 1.5e9, -3.0); },
       {":SOUR:MODE WAV;:SOUR:FREQ:STAR 2000000000.000000;STOP 4000000000.000000;:REFL:WGC 1500000000.000000;"
        ":SOUR:POW:LEV -3.00"}},
      {"low pass", [](ViSession vi) { return kavrel_srcLowPassSweep(vi, 6e9, -70.0); },
       {":SOUR:MODE LOWP;:SOUR:FREQ:STOP 6000000000.000000;:SOUR:POW:LEV -70.00"}},
      {"levelling", [](ViSession vi) { return kavrel_srcLevFreqStd(vi, 3, 2); },
       {":SOUR:LEV PMET;:SOUR:FREQ:STAN EX10"}},
      {"levelling first", [](ViSession vi) { return kavrel_srcLevFreqStd(vi, 0, 1); },
       {":SOUR:LEV INT;:SOUR:FREQ:STAN EX1"}},
      {"blanking", [](ViSession vi) { return kavrel_srcRFBlanking(vi, VI_TRUE); }, {":SOUR:BLAN ON"}},
      {"rf off", [](ViSession vi) { return kavrel_srcRFOutput(vi, VI_FALSE); }, {":SOUR:RF OFF"}},
      {"filter", [](ViSession vi) { return kavrel_srcFilterAndBW(vi, 2, 1); }, {":SOUR:CWF AUTO;:SOUR:SBAN HIGH"}},
      {"filter off", [](ViSession vi) { return kavrel_srcFilterAndBW(vi, 0, 0); }, {":SOUR:CWF OFF;:SOUR:SBAN LOW"}},
  });
}

TEST_F(Source, DcOutputModes) {
  struct Case {
    ViInt32 mode;
    double value;
    std::string line;
  } cases[] = {
      {0, 99.0, ":SOUR:VIO:MODE VGHZ;:SOUR:VIO:VPGS 1.0"},  // value ignored, even out of both ranges
      {1, kNaN, ":SOUR:VIO:MODE VGHZ;:SOUR:VIO:VPGS 0.5"},
      {2, 15.0, ":SOUR:VIO:MODE CVOL;:SOUR:VIO:VOLT:CONS 15.000"},
      {2, -15.0, ":SOUR:VIO:MODE CVOL;:SOUR:VIO:VOLT:CONS -15.000"},
      {3, -0.15, ":SOUR:VIO:MODE CCUR;:SOUR:VIO:CURR:CONS -0.150"},
      {4, 0.0, ":SOUR:VIO:MODE VRAM"},
      {5, -1e300, ":SOUR:VIO:MODE CREC"},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    mark();
    EXPECT_EQ(VI_SUCCESS, kavrel_srcVIOutput(vi_, c.mode, c.value));
    EXPECT_EQ(checked({c.line}), writes());
  }
}

// Every argument error returns its code and nothing reaches the instrument
// beyond the record fetch.
TEST_F(Source, ArgumentErrorsWriteNothing) {
  const RefusedCase cases[] = {
      // CW: 10 MHz .. 8 GHz (model 4101), -70 .. 20 dBm (no options)
      {"cw below 10 MHz", [](ViSession vi) { return kavrel_srcContWave(vi, 9999999.0, 0); }, VI_ERROR_PARAMETER2},
      {"cw above model", [](ViSession vi) { return kavrel_srcContWave(vi, 8e9 + 1, 0); }, VI_ERROR_PARAMETER2},
      {"cw NaN frequency", [](ViSession vi) { return kavrel_srcContWave(vi, kNaN, 0); }, VI_ERROR_PARAMETER2},
      {"cw level high", [](ViSession vi) { return kavrel_srcContWave(vi, 1e9, 20.01); }, VI_ERROR_PARAMETER3},
      {"cw level low", [](ViSession vi) { return kavrel_srcContWave(vi, 1e9, -70.01); }, VI_ERROR_PARAMETER3},
      {"cw NaN level", [](ViSession vi) { return kavrel_srcContWave(vi, 1e9, kNaN); }, VI_ERROR_PARAMETER3},
      // frequency sweep
      {"flag 2", [](ViSession vi) { return kavrel_srcFreqSweep(vi, 2, 1e9, 2e9, 0); }, VI_ERROR_PARAMETER2},
      {"start low", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 1e6, 2e9, 0); }, VI_ERROR_PARAMETER3},
      {"stop high", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 1e9, 9e9, 0); }, VI_ERROR_PARAMETER4},
      // the stop's own range error comes before the relation
      {"start>stop, stop out", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 3e9, 1e6, 0); },
       VI_ERROR_PARAMETER4},
      // the relation comes before the level's range
      {"start>stop, level out", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 3e9, 2e9, 99); },
       VI_ERROR_INSTR_START_GT_STOP},
      {"level NaN", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 1e9, 2e9, kNaN); },
       VI_ERROR_PARAMETER5},
      {"span 0", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_FALSE, 1e9, 0.0, 0); }, VI_ERROR_PARAMETER4},
      {"span below 10 MHz", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_FALSE, 1e9, 9.99e6, 0); },
       VI_ERROR_PARAMETER4},
      {"centre NaN", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_FALSE, kNaN, 1e9, 0); },
       VI_ERROR_PARAMETER3},
      {"span past top, level out", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_FALSE, 7e9, 4e9, 99); },
       VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      // power sweep
      {"pow start low", [](ViSession vi) { return kavrel_srcPowSweep(vi, -71, 0, 1e9); }, VI_ERROR_PARAMETER2},
      {"pow stop high", [](ViSession vi) { return kavrel_srcPowSweep(vi, 0, 21, 1e9); }, VI_ERROR_PARAMETER3},
      {"pow start>stop, freq out", [](ViSession vi) { return kavrel_srcPowSweep(vi, 5, 4, 0); },
       VI_ERROR_INSTR_START_GT_STOP},
      {"pow freq NaN", [](ViSession vi) { return kavrel_srcPowSweep(vi, 0, 0, kNaN); }, VI_ERROR_PARAMETER4},
      // voltage and current sweeps
      {"volt start", [](ViSession vi) { return kavrel_srcVoltSweep(vi, -15.001, 0); }, VI_ERROR_PARAMETER2},
      {"volt stop", [](ViSession vi) { return kavrel_srcVoltSweep(vi, 0, kNaN); }, VI_ERROR_PARAMETER3},
      {"volt order", [](ViSession vi) { return kavrel_srcVoltSweep(vi, -1, -2); }, VI_ERROR_INSTR_START_GT_STOP},
      {"curr start", [](ViSession vi) { return kavrel_srcCurrSweep(vi, 0.151, 0.2); }, VI_ERROR_PARAMETER2},
      {"curr stop", [](ViSession vi) { return kavrel_srcCurrSweep(vi, 0, -0.16); }, VI_ERROR_PARAMETER3},
      {"curr order", [](ViSession vi) { return kavrel_srcCurrSweep(vi, 0.1, -0.1); }, VI_ERROR_INSTR_START_GT_STOP},
      // list, low pass
      {"list level", [](ViSession vi) { return kavrel_srcLinListFreqSweep(vi, 20.5); }, VI_ERROR_PARAMETER2},
      {"low pass stop", [](ViSession vi) { return kavrel_srcLowPassSweep(vi, 8.1e9, 0); }, VI_ERROR_PARAMETER2},
      {"low pass level", [](ViSession vi) { return kavrel_srcLowPassSweep(vi, 8e9, -80); }, VI_ERROR_PARAMETER3},
      // waveguide
      {"wg start", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 0, 2e9, 0, 0); }, VI_ERROR_PARAMETER2},
      {"wg stop", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 1e9, 9e9, 0, 0); }, VI_ERROR_PARAMETER3},
      {"wg order before cut-off", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 3e9, 2e9, 5e9, 99); },
       VI_ERROR_INSTR_START_GT_STOP},
      {"wg cut-off above start", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 2e9, 4e9, 2e9 + 1, 0); },
       VI_ERROR_PARAMETER4},
      {"wg cut-off negative", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 2e9, 4e9, -1, 0); },
       VI_ERROR_PARAMETER4},
      {"wg cut-off NaN", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 2e9, 4e9, kNaN, 0); },
       VI_ERROR_PARAMETER4},
      {"wg level last", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 2e9, 4e9, 2e9, 21); },
       VI_ERROR_PARAMETER5},
      // configuration
      {"points 1", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 1, 0.0); }, VI_ERROR_PARAMETER2},
      {"points 801", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 801, 0.0); }, VI_ERROR_PARAMETER2},
      {"time 0.03", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 401, 0.03); }, VI_ERROR_PARAMETER3},
      {"time 501", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 401, 501.0); }, VI_ERROR_PARAMETER3},
      {"time negative", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 401, -0.5); }, VI_ERROR_PARAMETER3},
      {"time NaN", [](ViSession vi) { return kavrel_srcSweepConfig(vi, 401, kNaN); }, VI_ERROR_PARAMETER3},
      {"levelling 4", [](ViSession vi) { return kavrel_srcLevFreqStd(vi, 4, 0); }, VI_ERROR_PARAMETER2},
      {"levelling -1", [](ViSession vi) { return kavrel_srcLevFreqStd(vi, -1, 0); }, VI_ERROR_PARAMETER2},
      {"standard 3", [](ViSession vi) { return kavrel_srcLevFreqStd(vi, 0, 3); }, VI_ERROR_PARAMETER3},
      {"blanking 2", [](ViSession vi) { return kavrel_srcRFBlanking(vi, 2); }, VI_ERROR_PARAMETER2},
      {"rf 0xFFFF", [](ViSession vi) { return kavrel_srcRFOutput(vi, 0xFFFF); }, VI_ERROR_PARAMETER2},
      {"select 3", [](ViSession vi) { return kavrel_srcSelect(vi, 3); }, VI_ERROR_PARAMETER2},
      {"select -1", [](ViSession vi) { return kavrel_srcSelect(vi, -1); }, VI_ERROR_PARAMETER2},
      {"dc mode 6", [](ViSession vi) { return kavrel_srcVIOutput(vi, 6, 0); }, VI_ERROR_PARAMETER2},
      {"dc mode 7", [](ViSession vi) { return kavrel_srcVIOutput(vi, 7, 0); }, VI_ERROR_PARAMETER2},
      {"dc mode -1", [](ViSession vi) { return kavrel_srcVIOutput(vi, -1, 0); }, VI_ERROR_PARAMETER2},
      {"dc voltage 15.1", [](ViSession vi) { return kavrel_srcVIOutput(vi, 2, 15.1); }, VI_ERROR_PARAMETER3},
      {"dc voltage NaN", [](ViSession vi) { return kavrel_srcVIOutput(vi, 2, kNaN); }, VI_ERROR_PARAMETER3},
      {"dc current 0.16", [](ViSession vi) { return kavrel_srcVIOutput(vi, 3, 0.16); }, VI_ERROR_PARAMETER3},
      {"dc current as volts", [](ViSession vi) { return kavrel_srcVIOutput(vi, 3, 1.0); }, VI_ERROR_PARAMETER3},
      {"filter 3", [](ViSession vi) { return kavrel_srcFilterAndBW(vi, 3, 0); }, VI_ERROR_PARAMETER2},
      {"bandwidth 3", [](ViSession vi) { return kavrel_srcFilterAndBW(vi, 0, 3); }, VI_ERROR_PARAMETER3},
  };
  open();
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    EXPECT_EQ(c.expected, c.call(vi_));
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(0u, calls(STANDIN_WRITE) + calls(STANDIN_READ) + calls(STANDIN_QUERYF));
  }
}

TEST_F(Source, LimitsFollowModelAndOptions) {
  struct Case {
    ViInt32 model, options;
    double frequency, level;
    ViStatus expected;
  } cases[] = {
      {4102, 0, 2e9, 0, VI_SUCCESS},
      {4102, 0, 2e9 + 1, 0, VI_ERROR_PARAMETER2},
      {4102, 0, 10e6, 0, VI_SUCCESS},
      {4103, 0, 26.5e9, 0, VI_SUCCESS},
      {4103, 0, 26.5e9 + 1, 0, VI_ERROR_PARAMETER2},
      {4103, 0, 2e9 + 1, 0, VI_SUCCESS},
      {4101, 0, 1e9, -70.0, VI_SUCCESS},
      {4101, 0, 1e9, -70.01, VI_ERROR_PARAMETER3},
      {4101, 0x20, 1e9, -90.0, VI_SUCCESS},
      {4101, 0x20, 1e9, -90.01, VI_ERROR_PARAMETER3},
      {4101, 0x200, 1e9, -110.0, VI_SUCCESS},
      {4101, 0x200, 1e9, -110.01, VI_ERROR_PARAMETER3},
      {4101, 0x200, 1e9, 20.0, VI_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.model << " " << c.options << " " << c.frequency << " " << c.level);
    reopen(c.model, c.options);
    EXPECT_EQ(c.expected, kavrel_srcContWave(vi_, c.frequency, c.level));
    EXPECT_EQ(c.expected == VI_SUCCESS ? 3u : 0u, writes().size());
  }
}

TEST_F(Source, CentreAndSpanEdges) {
  struct Case {
    ViInt32 model;
    double centre, span;
    ViStatus expected;
  } cases[] = {
      // touching both edges: centre - span/2 = 10 MHz, centre + span/2 = maximum
      {4101, 4.005e9, 7.99e9, VI_SUCCESS},
      {4101, 4.005e9 + 1, 7.99e9, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {4101, 4.005e9 - 1, 7.99e9, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {4101, 4.005e9, 7.99e9 + 2, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {4101, 15e6, 10e6, VI_SUCCESS},
      {4101, 15e6 - 1, 10e6, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {4103, 13.255e9, 26.49e9, VI_SUCCESS},
      {4103, 13.255e9 + 1, 26.49e9, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
      {4102, 1.005e9, 1.99e9, VI_SUCCESS},
      {4102, 1.005e9 + 1, 1.99e9, VI_ERROR_INSTR_CENTER_SPAN_RANGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.model << " " << c.centre << " " << c.span);
    reopen(c.model);
    EXPECT_EQ(c.expected, kavrel_srcFreqSweep(vi_, VI_FALSE, c.centre, c.span, 0.0));
    EXPECT_EQ(c.expected == VI_SUCCESS ? 3u : 0u, writes().size());
  }
}

TEST_F(Source, EqualStartAndStopAndCutOffAtStartAreAccepted) {
  open();
  EXPECT_EQ(VI_SUCCESS, kavrel_srcFreqSweep(vi_, VI_TRUE, 1e9, 1e9, 0));
  EXPECT_EQ(VI_SUCCESS, kavrel_srcPowSweep(vi_, -5, -5, 1e9));
  EXPECT_EQ(VI_SUCCESS, kavrel_srcVoltSweep(vi_, -3, -3));
  EXPECT_EQ(VI_SUCCESS, kavrel_srcCurrSweep(vi_, -0.15, -0.15));
  mark();
  EXPECT_EQ(VI_SUCCESS, kavrel_srcWaveGuideSweep(vi_, 2e9, 2e9, 2e9, 0));
  EXPECT_EQ(VI_SUCCESS, kavrel_srcWaveGuideSweep(vi_, 2e9, 2e9, 0.0, 0));
  EXPECT_EQ(6u, writes().size());
}

TEST_F(Source, RecordFetchOrder) {
  // The sweep form is checked before the session's record is fetched, so
  // even a session that was never opened reports it ...
  const ViSession never = 0x5A5A;
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_srcFreqSweep(never, 2, 1e9, 2e9, 0));
  EXPECT_EQ(0u, allCalls());
  ViStatus fetch = kavrel_srcFreqSweep(never, VI_TRUE, 0, 0, 0);
  EXPECT_LT(fetch, VI_SUCCESS);
  EXPECT_NE(VI_ERROR_PARAMETER3, fetch);
  open();
  // ... the others report the failed fetch before their own argument errors.
  struct Case {
    const char* name;
    Call call;
  } cases[] = {
      {"freq sweep", [](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, 0, 0, 99); }},
      {"cw", [](ViSession vi) { return kavrel_srcContWave(vi, 0, 99); }},
      {"power", [](ViSession vi) { return kavrel_srcPowSweep(vi, 99, 99, 0); }},
      {"list", [](ViSession vi) { return kavrel_srcLinListFreqSweep(vi, 99); }},
      {"waveguide", [](ViSession vi) { return kavrel_srcWaveGuideSweep(vi, 0, 0, 0, 99); }},
      {"low pass", [](ViSession vi) { return kavrel_srcLowPassSweep(vi, 0, 99); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    standin_fail(STANDIN_GET_ATTRIBUTE, 1, VI_ERROR_INV_OBJECT);
    mark();
    EXPECT_EQ(VI_ERROR_INV_OBJECT, c.call(vi_));
    EXPECT_EQ(1u, allCalls());
  }
  // The DC sweeps need no record.
  mark();
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_srcVoltSweep(vi_, 16, 0));
  EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_srcCurrSweep(vi_, 1, 0));
  EXPECT_EQ(0u, allCalls());
}

TEST_F(Source, FailingWriteSkipsStatusCheckAndErrorBitsAreReported) {
  open();
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_srcContWave(vi_, 1e9, 0));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  esr(0);
  esr(0x10);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_srcRFOutput(vi_, VI_TRUE));
  esr(0x20);
  esr(0x01);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_srcRFOutput(vi_, VI_TRUE));
  esr(0x80);
  esr(0x01);
  EXPECT_EQ(VI_SUCCESS, kavrel_srcRFOutput(vi_, VI_TRUE));
}

TEST_F(Source, SegmentListIsOneWholeLine) {
  open();
  ViReal64 starts[12], stops[12];
  ViInt32 points[12];
  std::string expected = ":SOUR:LLIS:RES";
  for (int i = 0; i < 12; ++i) {
    starts[i] = 10e9 + i * 1e9;
    stops[i] = (20 + i) * 1e9 + 5e8;
    points[i] = 100 + i;
    expected += ";SEGM " + std::to_string(10 + i) + "000000000.000000, " + std::to_string(20 + i) +
                "500000000.000000, " + std::to_string(100 + i);
  }
  EXPECT_GT(expected.size(), 512u);
  EXPECT_EQ(VI_SUCCESS, kavrel_srcCreateLinList(vi_, starts, stops, points, 12));
  EXPECT_EQ(checked({expected}), writes());

  // Segment values are the instrument's to judge: sent as given, rejection through the status check.
  mark();
  ViReal64 start = 30e9, stop = 1e9;
  ViInt32 count = -4;
  esr(0);
  esr(0x10);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_srcCreateLinList(vi_, &start, &stop, &count, 1));
  EXPECT_EQ(checked({":SOUR:LLIS:RES;SEGM 30000000000.000000, 1000000000.000000, -4"}), writes());
}

TEST_F(Source, SegmentListArgumentErrors) {
  open();
  ViReal64 freq[13] = {};
  ViInt32 points[13] = {};
  ViReal64 bad[] = {kNaN, kInf, -kInf};
  struct Case {
    const char* name;
    ViReal64* starts;
    ViReal64* stops;
    ViInt32* points;
    ViInt32 count;
    ViStatus expected;
  } cases[] = {
      {"count 0", freq, freq, points, 0, VI_ERROR_PARAMETER2},
      {"count 13", freq, freq, points, 13, VI_ERROR_PARAMETER2},
      {"count -1", freq, freq, points, -1, VI_ERROR_PARAMETER2},
      {"count first", freq, nullptr, nullptr, 13, VI_ERROR_PARAMETER2},
      {"no starts", nullptr, freq, points, 1, VI_ERROR_PARAMETER2},
      {"no stops", freq, nullptr, points, 12, VI_ERROR_PARAMETER3},
      {"no points", freq, freq, nullptr, 1, VI_ERROR_PARAMETER4},
      // Values that are not numbers would reach the instrument as "nan" or "inf".
      {"NaN start", bad, freq, points, 2, VI_ERROR_PARAMETER2},
      {"+Inf start", bad + 1, freq, points, 1, VI_ERROR_PARAMETER2},
      {"-Inf stop", freq, bad + 2, points, 1, VI_ERROR_PARAMETER3},
      {"NaN stop, no points", freq, bad, nullptr, 1, VI_ERROR_PARAMETER3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    EXPECT_EQ(c.expected, kavrel_srcCreateLinList(vi_, c.starts, c.stops, c.points, c.count));
    EXPECT_EQ(0u, allCalls());
  }
}

TEST_F(Source, SweepTimeChoosesAutomaticOrManual) {
  struct Case {
    double time;
    std::string second;
  } cases[] = {
      {0.0, ":SOUR:SWE:AUTO ON"},
      {5e-7, ":SOUR:SWE:AUTO ON"},
      {-5e-7, ":SOUR:SWE:AUTO ON"},
      // exactly 1e-6 is neither checked nor automatic
      {1e-6, ":SOUR:SWE:AUTO OFF;TIME 0.00"},
      {0.04, ":SOUR:SWE:AUTO OFF;TIME 0.04"},
      {500.0, ":SOUR:SWE:AUTO OFF;TIME 500.00"},
      {12.345, ":SOUR:SWE:AUTO OFF;TIME 12.35"},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    mark();
    EXPECT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(vi_, 800, c.time));
    EXPECT_EQ(checked({":SOUR:SWE:POIN 800", c.second}), writes());
  }
  mark();
  EXPECT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(vi_, 2, 0.0));
  EXPECT_EQ(checked({":SOUR:SWE:POIN 2", ":SOUR:SWE:AUTO ON"}), writes());
}

TEST_F(Source, SweepConfigStopsAtTheFirstFailingWrite) {
  open();
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_srcSweepConfig(vi_, 401, 1.0));
  EXPECT_EQ(1u, calls(STANDIN_WRITE));
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  mark();
  fail(STANDIN_WRITE, 2, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_srcSweepConfig(vi_, 401, 1.0));
  EXPECT_EQ((Writes{":SOUR:SWE:POIN 401"}), writes());
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
}

TEST_F(Source, SelectLeavesOrEntersSourceModeOnlyWhenNeeded) {
  struct Case {
    const char* mode;
    ViInt32 selection;
    std::string line;
  } cases[] = {
      {"SOUR\n", 0, ":SYST:MODE MTS;:SOUR:SEL INT"},
      {"SOUR\n", 1, ":SYST:MODE MTS;:SOUR:SEL EXT"},
      {"SOUR\n", 2, ""},  // already there: an empty message, still checked
      {"MTS\n", 0, ":SOUR:SEL INT"},
      {"MTS\n", 1, ":SOUR:SEL EXT"},
      {"MTS\n", 2, ":SYST:MODE SOUR;"},
      {"\n", 2, ":SYST:MODE SOUR;"},
      {"RESOURCE\n", 0, ":SYST:MODE MTS;:SOUR:SEL INT"},
      {"SOU", 2, ":SYST:MODE SOUR;"},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << c.selection);
    mark();
    reply(c.mode);
    EXPECT_EQ(VI_SUCCESS, kavrel_srcSelect(vi_, c.selection));
    EXPECT_EQ(checked({":SYST:MODE?", c.line}), writes());
  }
  mark();
  fail(STANDIN_READ, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_srcSelect(vi_, 0));
  EXPECT_EQ((Writes{":SYST:MODE?"}), writes());
}

TEST_F(Source, CalibrationSelectionAsksForTheHighestFirst) {
  struct Case {
    const char* highest;
    ViInt32 number;
    ViStatus expected;
    Writes sent;
  } cases[] = {
      {"5\n", 5, VI_SUCCESS, checked({":SOUR:CAL:MAX?", ":SOUR:CAL:SEL 5"})},
      {"5\n", 0, VI_SUCCESS, checked({":SOUR:CAL:MAX?", ":SOUR:CAL:SEL 0"})},
      {"5\n", 6, VI_ERROR_PARAMETER2, {":SOUR:CAL:MAX?"}},
      {"5\n", -1, VI_ERROR_PARAMETER2, {":SOUR:CAL:MAX?"}},
      {"\n", 0, VI_ERROR_INSTR_INTERPRETING_RESPONSE, {":SOUR:CAL:MAX?"}},
      {"none\n", 99, VI_ERROR_INSTR_INTERPRETING_RESPONSE, {":SOUR:CAL:MAX?"}},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.highest << c.number);
    mark();
    reply(c.highest);
    EXPECT_EQ(c.expected, kavrel_sourCal(vi_, c.number));
    EXPECT_EQ(c.sent, writes());
  }
  mark();
  fail(STANDIN_READ, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_sourCal(vi_, 99));
  EXPECT_EQ((Writes{":SOUR:CAL:MAX?"}), writes());
}

}  // namespace
}  // namespace kavrel::test
