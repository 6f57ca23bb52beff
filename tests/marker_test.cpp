// Markers: the exact command lines, argument errors before any I/O, and the
// search and readout replies with their warning and outputs.
#include <cmath>
#include <string>

#include "tests/support/driver_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

constexpr ViReal64 kUntouched = -777.0;

class Marker : public DriverTest {};

// Each setter with its one line and the status check after it.
const std::vector<SentCase>& setters() {
  static const std::vector<SentCase> cases = {
      {"active off", [](ViSession vi) { return kavrel_markSetActive(vi, 1, VI_FALSE); }, checked({":MARK:ACT OFF"})},
      {"active on 3", [](ViSession vi) { return kavrel_markSetActive(vi, 3, VI_TRUE); },
       checked({":MARK:ACT ON;ACT:ASS 3"})},
      {"active on 8", [](ViSession vi) { return kavrel_markSetActive(vi, 8, VI_TRUE); },
       checked({":MARK:ACT ON;ACT:ASS 8"})},
      {"config off", [](ViSession vi) { return kavrel_markConfig(vi, 1, -3.25, VI_FALSE); }, checked({":MARK 1,OFF"})},
      {"config on", [](ViSession vi) { return kavrel_markConfig(vi, 2, 1.5e9, VI_TRUE); },
       checked({":MARK 2,ON;:MARK:POS 2,1500000000.000000"})},
      {"delta off", [](ViSession vi) { return kavrel_markDelta(vi, 7.0, VI_FALSE); }, checked({":MARK:DELT:STAT OFF"})},
      {"delta on", [](ViSession vi) { return kavrel_markDelta(vi, -2.5e6, VI_TRUE); },
       checked({":MARK:DELT:STAT ON;POS -2500000.000000"})},
      {"tracking off", [](ViSession vi) { return kavrel_markTracking(vi, 0); }, checked({":MARK:TRAC OFF"})},
      {"tracking min", [](ViSession vi) { return kavrel_markTracking(vi, 1); }, checked({":MARK:TRAC MIN"})},
      {"tracking max", [](ViSession vi) { return kavrel_markTracking(vi, 2); }, checked({":MARK:TRAC MAX"})},
      {"tracking pkpk", [](ViSession vi) { return kavrel_markTracking(vi, 3); }, checked({":MARK:TRAC PKPK"})},
      {"tracking band", [](ViSession vi) { return kavrel_markTracking(vi, 4); }, checked({":MARK:TRAC BAND"})},
      {"slope off", [](ViSession vi) { return kavrel_markSlope(vi, 0); }, checked({":MARK:SLOP OFF"})},
      {"slope octave", [](ViSession vi) { return kavrel_markSlope(vi, 1); }, checked({":MARK:SLOP DBO"})},
      {"slope decade", [](ViSession vi) { return kavrel_markSlope(vi, 2); }, checked({":MARK:SLOP DBD"})},
      {"bandwidth low end", [](ViSession vi) { return kavrel_markBandwidth(vi, -99.99, VI_TRUE, VI_TRUE); },
       checked({":MARK:BAND:TARG -99.990000;CFDF ON;FROM MAXM"})},
      {"bandwidth high end", [](ViSession vi) { return kavrel_markBandwidth(vi, 99.99, VI_FALSE, VI_FALSE); },
       checked({":MARK:BAND:TARG 99.990000;CFDF OFF;FROM ACT"})},
      {"pkpk zero", [](ViSession vi) { return kavrel_markPkPk(vi, 0.0, VI_TRUE); },
       checked({":MARK:PKPK:LIM:VAL 0.000000;STAT ON"})},
      {"pkpk top", [](ViSession vi) { return kavrel_markPkPk(vi, 99.99, VI_FALSE); },
       checked({":MARK:PKPK:LIM:VAL 99.990000;STAT OFF"})},
      {"coupling on", [](ViSession vi) { return kavrel_markCoup(vi, VI_TRUE); }, checked({":MARK:COUP ON"})},
      {"coupling off", [](ViSession vi) { return kavrel_markCoup(vi, VI_FALSE); }, checked({":MARK:COUP OFF"})},
      {"search target", [](ViSession vi) { return kavrel_markSearchValue(vi, -10.5); },
       checked({":MARK:SEAR:TARG -10.500000"})},
      {"search max", [](ViSession vi) { return kavrel_markSearchFunction(vi, 0); }, checked({":MARK:MAX"})},
      {"search min", [](ViSession vi) { return kavrel_markSearchFunction(vi, 1); }, checked({":MARK:MIN"})},
      {"search left peak", [](ViSession vi) { return kavrel_markSearchFunction(vi, 2); }, checked({":MARK:LPE"})},
      {"search right peak", [](ViSession vi) { return kavrel_markSearchFunction(vi, 3); }, checked({":MARK:RPE"})},
  };
  return cases;
}

TEST_F(Marker, SettersWriteOneLineThenTheStatusCheck) {
  open();
  expectSent(setters());
}

TEST_F(Marker, SettersReportRefusalAndFailedWrites) {
  open();
  for (const SentCase& c : setters()) {
    SCOPED_TRACE(c.name);
    mark();
    esr(0x20);  // an error of the command itself shows in the first answer
    esr(0x01);
    EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, c.call(vi_));
    esr(0x01);
    esr(0x80);
    EXPECT_EQ(VI_SUCCESS, c.call(vi_));
    esr(0);
    esr(0x10);
    EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, c.call(vi_));
    mark();
    fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
    EXPECT_EQ(VI_ERROR_TMO, c.call(vi_));
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  }
}

TEST_F(Marker, ArgumentErrorsComeBeforeAnyIo) {
  open();
  expectRefused({
      {"marker 0", [](ViSession vi) { return kavrel_markSetActive(vi, 0, VI_TRUE); }, VI_ERROR_PARAMETER2},
      {"marker 9 while off", [](ViSession vi) { return kavrel_markSetActive(vi, 9, VI_FALSE); }, VI_ERROR_PARAMETER2},
      {"marker 9 and bad state", [](ViSession vi) { return kavrel_markSetActive(vi, 9, 2); }, VI_ERROR_PARAMETER2},
      {"active state 2", [](ViSession vi) { return kavrel_markSetActive(vi, 1, 2); }, VI_ERROR_PARAMETER3},
      {"active state 0xFFFF", [](ViSession vi) { return kavrel_markSetActive(vi, 1, 0xFFFF); }, VI_ERROR_PARAMETER3},
      {"config marker 9", [](ViSession vi) { return kavrel_markConfig(vi, 9, 0.0, VI_TRUE); }, VI_ERROR_PARAMETER2},
      {"config NaN position", [](ViSession vi) { return kavrel_markConfig(vi, 1, kNaN, VI_TRUE); },
       VI_ERROR_PARAMETER3},
      {"config infinite position", [](ViSession vi) { return kavrel_markConfig(vi, 1, -kInf, VI_FALSE); },
       VI_ERROR_PARAMETER3},
      {"config state 2", [](ViSession vi) { return kavrel_markConfig(vi, 1, 0.0, 2); }, VI_ERROR_PARAMETER4},
      {"delta state 2", [](ViSession vi) { return kavrel_markDelta(vi, 0.0, 2); }, VI_ERROR_PARAMETER2},
      {"delta NaN position", [](ViSession vi) { return kavrel_markDelta(vi, kNaN, VI_TRUE); }, VI_ERROR_PARAMETER2},
      {"tracking -1", [](ViSession vi) { return kavrel_markTracking(vi, -1); }, VI_ERROR_PARAMETER2},
      {"tracking 5", [](ViSession vi) { return kavrel_markTracking(vi, 5); }, VI_ERROR_PARAMETER2},
      {"slope 3", [](ViSession vi) { return kavrel_markSlope(vi, 3); }, VI_ERROR_PARAMETER2},
      {"bandwidth 100", [](ViSession vi) { return kavrel_markBandwidth(vi, 100.0, VI_TRUE, VI_TRUE); },
       VI_ERROR_PARAMETER2},
      {"bandwidth -99.991", [](ViSession vi) { return kavrel_markBandwidth(vi, -99.991, 2, 2); },
       VI_ERROR_PARAMETER2},
      {"bandwidth NaN", [](ViSession vi) { return kavrel_markBandwidth(vi, kNaN, VI_TRUE, VI_TRUE); },
       VI_ERROR_PARAMETER2},
      {"bandwidth cfdf 2", [](ViSession vi) { return kavrel_markBandwidth(vi, 3.0, 2, 2); }, VI_ERROR_PARAMETER3},
      {"bandwidth reference 2", [](ViSession vi) { return kavrel_markBandwidth(vi, 3.0, VI_TRUE, 2); },
       VI_ERROR_PARAMETER4},
      {"pkpk negative", [](ViSession vi) { return kavrel_markPkPk(vi, -0.01, VI_TRUE); }, VI_ERROR_PARAMETER2},
      {"pkpk 100", [](ViSession vi) { return kavrel_markPkPk(vi, 100.0, VI_TRUE); }, VI_ERROR_PARAMETER2},
      {"pkpk state 2", [](ViSession vi) { return kavrel_markPkPk(vi, 1.0, 2); }, VI_ERROR_PARAMETER3},
      {"coupling 2", [](ViSession vi) { return kavrel_markCoup(vi, 2); }, VI_ERROR_PARAMETER2},
      {"search target NaN", [](ViSession vi) { return kavrel_markSearchValue(vi, kNaN); }, VI_ERROR_PARAMETER2},
      {"search target infinite", [](ViSession vi) { return kavrel_markSearchValue(vi, kInf); }, VI_ERROR_PARAMETER2},
      {"search -1", [](ViSession vi) { return kavrel_markSearchFunction(vi, -1); }, VI_ERROR_PARAMETER2},
      {"search 6", [](ViSession vi) { return kavrel_markSearchFunction(vi, 6); }, VI_ERROR_PARAMETER2},
  });
}

TEST_F(Marker, DirectionalSearchReportsWhetherTheTargetWasFound) {
  struct Case {
    ViInt32 function;
    std::string reply;
    ViStatus expected;
  } cases[] = {
      {4, "1\n", VI_SUCCESS},
      {5, "1\n", VI_SUCCESS},
      {4, "0\n", VI_WARN_INSTR_SEARCH_NFOUND},
      {5, "2\n", VI_WARN_INSTR_SEARCH_NFOUND},
      {4, "-1\n", VI_WARN_INSTR_SEARCH_NFOUND},
      {4, "\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE},
      {5, "FOUND\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    mark();
    reply(c.reply);
    EXPECT_EQ(c.expected, kavrel_markSearchFunction(vi_, c.function));
    // Only a found target runs the status check.
    Writes lines{c.function == 4 ? ":MARK:SEAR:DIR LEFT;RES?" : ":MARK:SEAR:DIR RIGH;RES?"};
    EXPECT_EQ(c.expected == VI_SUCCESS ? checked(lines) : lines, writes());
  }
  reply("1\n");
  esr(0);
  esr(0x08);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_markSearchFunction(vi_, 5));
}

TEST_F(Marker, QueriesReturnFailedWritesAndReadsUnchecked) {
  struct Case {
    const char* name;
    Call call;
  } cases[] = {
      {"directional search", [](ViSession vi) { return kavrel_markSearchFunction(vi, 4); }},
      {"pkpk result", [](ViSession vi) { return kavrel_markSearchPkPk(vi, VI_NULL, VI_NULL); }},
      {"bandwidth result", [](ViSession vi) { return kavrel_markSearchBandwidth(vi, VI_NULL, VI_NULL, VI_NULL); }},
      {"active marker", [](ViSession vi) {
         ViReal64 position = 0;
         return kavrel_readActMarker(vi, &position, VI_NULL, VI_NULL);
       }},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    fail(STANDIN_WRITE, 1, VI_ERROR_IO);
    EXPECT_EQ(VI_ERROR_IO, c.call(vi_));
    EXPECT_EQ(0u, calls(STANDIN_READ));
    fail(STANDIN_READ, 1, VI_ERROR_CONN_LOST);
    EXPECT_EQ(VI_ERROR_CONN_LOST, c.call(vi_));
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
    EXPECT_EQ(1u, writes().size());
  }
}

TEST_F(Marker, PeakToPeakResultStoresFlagAndValue) {
  struct Case {
    std::string reply;
    ViStatus expected;
    ViInt32 found;
    ViReal64 value;
  } cases[] = {
      {"1,3.25\n", VI_SUCCESS, 1, 3.25},
      {" 1, 4.5E+00\n", VI_SUCCESS, 1, 4.5},
      {"0,12.5\n", VI_WARN_INSTR_SEARCH_NFOUND, 0, 12.5},
      {"3,-1\n", VI_WARN_INSTR_SEARCH_NFOUND, 3, -1.0},
      {"1\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, 42, kUntouched},
      {"1,\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, 42, kUntouched},
      {"1;3.25\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, 42, kUntouched},
      {"PKPK\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, 42, kUntouched},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    mark();
    reply(c.reply);
    ViInt32 found = 42;
    ViReal64 value = kUntouched;
    EXPECT_EQ(c.expected, kavrel_markSearchPkPk(vi_, &found, &value));
    EXPECT_EQ(c.found, found);
    EXPECT_EQ(c.value, value);
    Writes query{":MARK:PKPK?"};
    EXPECT_EQ(c.expected == VI_SUCCESS ? checked(query) : query, writes());
  }
  // Either output may be left out.
  reply("1,2.0\n");
  ViReal64 value = 0;
  EXPECT_EQ(VI_SUCCESS, kavrel_markSearchPkPk(vi_, VI_NULL, &value));
  EXPECT_EQ(2.0, value);
  reply("0,2.0\n");
  EXPECT_EQ(VI_WARN_INSTR_SEARCH_NFOUND, kavrel_markSearchPkPk(vi_, VI_NULL, VI_NULL));
}

TEST_F(Marker, BandwidthResultStoresThreeValues) {
  struct Case {
    std::string reply;
    ViStatus expected;
    ViReal64 values[3];
  } cases[] = {
      {"1.5E9,2.0e6,-3.0\n", VI_SUCCESS, {1.5e9, 2.0e6, -3.0}},
      {"0.1, 0.2, 0.3", VI_SUCCESS, {0.1, 0.2, 0.3}},
      {"1,2\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, {kUntouched, kUntouched, kUntouched}},
      {"1,2,\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, {kUntouched, kUntouched, kUntouched}},
      {"1 ,2,3\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, {kUntouched, kUntouched, kUntouched}},
      {"\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, {kUntouched, kUntouched, kUntouched}},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    mark();
    reply(c.reply);
    ViReal64 values[3] = {kUntouched, kUntouched, kUntouched};
    EXPECT_EQ(c.expected, kavrel_markSearchBandwidth(vi_, &values[0], &values[1], &values[2]));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(c.values[i], values[i]) << i;
    Writes query{":MARK:BAND?"};
    EXPECT_EQ(c.expected == VI_SUCCESS ? checked(query) : query, writes());
  }
  reply("1,2,3\n");
  ViReal64 middle = 0;
  EXPECT_EQ(VI_SUCCESS, kavrel_markSearchBandwidth(vi_, VI_NULL, &middle, VI_NULL));
  EXPECT_EQ(2.0, middle);
}

TEST_F(Marker, ActiveMarkerAsksOnlyForWhatIsWanted) {
  struct Case {
    const char* name;
    bool position, reading1, reading2;
    std::vector<std::string> replies;
    ViStatus expected;
    Writes queries;
    ViReal64 values[3];  // position, first and second reading afterwards
  } cases[] = {
      {"all", true, true, true, {"1.5E9\n", "-12.5,3.25\n"}, VI_SUCCESS,
       checked({":MARK:ACT:POS?", ":MARK:ACT:DATA?"}), {1.5e9, -12.5, 3.25}},
      {"position only", true, false, false, {"2.0E9\n"}, VI_SUCCESS, checked({":MARK:ACT:POS?"}),
       {2.0e9, kUntouched, kUntouched}},
      {"second reading only", false, false, true, {"-7,8\n"}, VI_SUCCESS, checked({":MARK:ACT:DATA?"}),
       {kUntouched, kUntouched, 8.0}},
      {"one reading: second is zero", false, true, true, {"-12.5\n"}, VI_SUCCESS, checked({":MARK:ACT:DATA?"}),
       {kUntouched, -12.5, 0.0}},
      {"one reading and a dangling comma", false, true, true, {"7.5,\n"}, VI_SUCCESS,
       checked({":MARK:ACT:DATA?"}), {kUntouched, 7.5, 0.0}},
      {"nothing wanted", false, false, false, {}, VI_SUCCESS, checked({}), {kUntouched, kUntouched, kUntouched}},
      {"bad position", true, true, true, {"POS\n"}, VI_ERROR_INSTR_INTERPRETING_RESPONSE, {":MARK:ACT:POS?"},
       {kUntouched, kUntouched, kUntouched}},
      {"bad readings keep the position", true, true, false, {"3.0\n", "\n"}, VI_ERROR_INSTR_INTERPRETING_RESPONSE,
       {":MARK:ACT:POS?", ":MARK:ACT:DATA?"}, {3.0, kUntouched, kUntouched}},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    replies(c.replies);
    ViReal64 values[3] = {kUntouched, kUntouched, kUntouched};
    EXPECT_EQ(c.expected, kavrel_readActMarker(vi_, c.position ? &values[0] : VI_NULL,
                                               c.reading1 ? &values[1] : VI_NULL, c.reading2 ? &values[2] : VI_NULL));
    EXPECT_EQ(c.queries, writes());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(c.values[i], values[i]) << i;
  }
}

TEST_F(Marker, FailedReadingQueryKeepsThePositionStored) {
  open();
  reply("4.0E9\n");
  fail(STANDIN_READ, 2, VI_ERROR_TMO);
  ViReal64 position = 0, reading = kUntouched;
  EXPECT_EQ(VI_ERROR_TMO, kavrel_readActMarker(vi_, &position, &reading, VI_NULL));
  EXPECT_EQ(4.0e9, position);
  EXPECT_EQ(kUntouched, reading);
  EXPECT_EQ((Writes{":MARK:ACT:POS?", ":MARK:ACT:DATA?"}), writes());
}

}  // namespace
}  // namespace kavrel::test
