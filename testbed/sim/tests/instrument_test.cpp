// The simulated instrument in process: status model and error queue, range
// checks that change nothing, settings read back, measured data, markers,
// calibration, stores, reset and sessions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "testbed/sim/instrument.h"
#include "testbed/sim/tests/test_util.h"

namespace kavrel::sim {
namespace {

// Pops the error queue up to "0,...": the numbers in order.
std::vector<int> errors(Session& s) {
  std::vector<int> out;
  for (int i = 0; i < 30; ++i) {
    std::string e = s.query(":SYST:ERR?");
    int code = std::stoi(e);
    if (code == 0) break;
    out.push_back(code);
  }
  return out;
}

TEST(InstrumentStatus, EventRegisterAndErrorQueue) {
  struct Case {
    std::string message;
    std::string esr;
    std::vector<int> errors;
  };
  const std::vector<Case> cases = {
      {"*CLS", "0\n", {}},
      {":NOPE 1", "32\n", {-113}},
      {":SOUR:FREQ 9e9", "16\n", {-222}},
      {":SOUR:MODE XYZ", "16\n", {-224}},
      {":SOUR:MODE 5", "32\n", {-104}},
      {":SOUR:FREQ", "32\n", {-109}},
      {":SOUR:FREQ 1e9,2e9", "32\n", {-108}},
      {":CHAN3:MODE?", "32\n", {-114}},
      {"*OPC", "1\n", {}},
      {":NOPE;:SOUR:FREQ 9e9;*OPC", "49\n", {-113, -222}},  // later units still run after a bad header
      {":SOUR:FREQ 1e9 2e9;*OPC", "32\n", {-103}},          // a syntax error ends the message
      {":REFL:CAL:MEAS:OPEN", "16\n", {-221}},
  };
  Instrument instrument;
  Session s(instrument);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    s.execute(c.message);
    EXPECT_EQ(s.query("*ESR?"), c.esr);
    EXPECT_EQ(s.query("*ESR?"), "0\n");  // reading clears it
    EXPECT_EQ(errors(s), c.errors);
  }
  EXPECT_EQ(s.query(":SYST:ERR?"), "0,\"No error\"\n");
}

TEST(InstrumentStatus, RegistersStatusByteAndQueries) {
  Instrument instrument;
  Session s(instrument);
  EXPECT_EQ(s.query("*ESE 36;*ESE?"), "36\n");
  EXPECT_EQ(s.query("*SRE 255;*SRE?"), "191\n");  // bit 6 cannot be enabled
  EXPECT_EQ(s.query("*STB?"), "0\n");
  s.execute(":NOPE");
  EXPECT_EQ(s.query("*STB?"), "100\n");  // error queue 4, event summary 32, service request 64
  EXPECT_EQ(s.statusByte(), 100);
  auto srq = s.takeServiceRequest();
  ASSERT_TRUE(srq);
  EXPECT_EQ(*srq, 100);
  EXPECT_FALSE(s.takeServiceRequest());  // reported once until a status query re-arms it
  s.rearmServiceRequest();
  EXPECT_TRUE(s.takeServiceRequest());
  s.execute("*CLS");
  EXPECT_EQ(s.statusByte(), 0);
  EXPECT_EQ(s.query("*OPC?;*TST?;*OPT?"), "1;0;0\n");
}

TEST(InstrumentStatus, QueryErrorsAndQueueOverflow) {
  Instrument instrument;
  Session s(instrument);
  EXPECT_FALSE(s.read());  // nothing to read: query unterminated
  s.execute("*IDN?");
  EXPECT_TRUE(s.responsePending());
  EXPECT_EQ(s.statusByte() & 0x10, 0x10);  // message available
  s.execute("*OPT?");                      // the unread response is dropped
  auto r = s.read();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->bytes, "0\n");
  EXPECT_EQ(s.query("*ESR?"), "4\n");
  EXPECT_EQ(errors(s), (std::vector<int>{-420, -410}));

  for (int i = 0; i < 25; ++i) s.execute(":NOPE");
  std::vector<int> got = errors(s);
  ASSERT_EQ(got.size(), 20u);
  EXPECT_EQ(got.front(), -113);
  EXPECT_EQ(got.back(), -350);
}

TEST(InstrumentRanges, OutOfRangeChangesNothing) {
  struct Case {
    std::string setup;  // run first, must succeed
    std::string command;
    int error;
    std::string query;
    std::string reply;  // the setting after the refused command
  };
  const std::vector<Case> cases = {
      {"", ":SOUR:FREQ 8000000001", -222, ":SOUR:FREQ?", "4E+09\n"},
      {"", ":SOUR:FREQ 9999999", -222, ":SOUR:FREQ?", "4E+09\n"},
      {"", ":SOUR:POW:LEV -70.01", -222, ":SOUR:POW:LEV?", "0\n"},
      {"", ":SOUR:POW:LEV 20.01", -222, ":SOUR:POW:LEV?", "0\n"},
      {"", ":SOUR:SWE:POIN 801", -222, ":SOUR:SWE:POIN?", "401\n"},
      {"", ":SOUR:SWE:TIME 0.03", -222, ":SOUR:SWE:AUTO?", "1\n"},
      {"", ":SOUR:VIO:VPGS 0.7", -224, ":SOUR:VIO:VPGS?", "1\n"},
      {"", ":SOUR:LLIS:SEGM 2e9,1e9,10", -224, ":SOUR:LLIS:SEGM:COUN?", "0\n"},
      {"", ":SOUR:CAL:SEL 5", -222, ":SOUR:CAL:SEL?", "0\n"},
      {"", ":CHAN:MODE FOO", -224, ":CHAN:MODE?", "SCAL\n"},
      {"", ":MEAS:ACT 3", -222, ":MEAS:ACT?", "1\n"},
      {"", ":MEAS:DISP:STAR 5e6", -222, ":MEAS:DISP:STAR?", "1E+07\n"},
      {"", ":MARK 9,ON", -222, ":MARK? 8", "0\n"},
      {"", ":MARK:PKPK:LIM:VAL -0.1", -222, ":MARK:PKPK:LIM:VAL?", "1\n"},
      {"", ":SCAL:MEAS:RAT B,B", -224, ":SCAL:MEAS:DEF?", "POW B\n"},
      {"", ":SCAL:SCAL:DIV 25", -222, ":SCAL:SCAL:DIV?", "10\n"},
      {":SCAL:FORM VSWR", ":SCAL:SCAL:RLEV 0.5", -222, ":SCAL:SCAL:RLEV?", "0\n"},
      {"", ":SCAL:AVER:NUMB 0", -222, ":SCAL:AVER:NUMB?", "16\n"},
      {"", ":INP:OFFS E,1", -224, ":INP:OFFS? A", "0\n"},
      {"", ":INP:SCAL:DET A,17", -222, ":INP:SCAL:DET? A", "0\n"},
      {"", ":ROUT:DCYC:VAL 0", -222, ":ROUT:DCYC:VAL?", "100\n"},
      {"", ":ROUT:LIM:MAX 1000", -222, ":ROUT:LIM:MAX?", "10\n"},
      {"", ":FLOC:POIN 50", -222, ":FLOC:POIN?", "401\n"},
      {":FLOC:UNIT FEET", ":FLOC:ATT 31", -222, ":FLOC:ATT?", "0\n"},
      {"", ":REFL:DISP:FORM XX", -224, ":REFL:DISP:FORM?", "LOG\n"},
      {"", ":REFL:DEL:TIME 2", -222, ":REFL:DEL:TIME?", "0\n"},
      {":REFL:TDOM ON", ":REFL:TDOM:GAT:STAR 1.5", -222, ":REFL:TDOM:GAT:STAR?", "-5E-10\n"},
      {"", ":REFL:DISP:STAR 1e8", -222, ":REFL:DISP:STAR?", "2.5E+08\n"},
      {"", ":REFL:TDOM:WIND:USER 14", -222, ":REFL:TDOM:WIND:USER?", "0\n"},
      {"", ":REFL:CAL:KIT 5", -222, ":REFL:CAL:KIT?", "1\n"},
      {"", ":REFL:CAL:KIT:IDEN \"123456789012345678901\"", -223, ":REFL:CAL:KIT:IDEN?", "\"KIT 1\"\n"},
      {"", ":REFL:CAL:SEX NEUT", -224, ":REFL:CAL:SEX?", "MALE\n"},
      {"", ":SYST:APPL:PAR 5, 0.5", -224, ":SYST:APPL:PAR? 5", "0\n"},
      {"", ":SYST:APPL:PAR 7, 1", -224, ":SYST:APPL:PAR? 7", "0\n"},
      {"", ":SYST:APPL:RUN 1", -221, ":SYST:APPL:PAR? 8", "0\n"},
      {"", ":SYST:DISP:FMOD 5833", -224, ":SYST:DISP:FMOD?", "USER\n"},
      {"", ":SCAL:MEM:DATA 9,#10", -222, ":SCAL:MEM:MAX?", "8\n"},
      {"", "*ESE 256", -222, "*ESE?", "0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Instrument instrument;
    Session s(instrument);
    if (!c.setup.empty()) {
      s.execute(c.setup);
      ASSERT_EQ(s.query("*ESR?"), "0\n");
    }
    s.execute(c.command);
    EXPECT_EQ(errors(s), std::vector<int>{c.error});
    EXPECT_EQ(s.query(c.query), c.reply);
  }
}

TEST(InstrumentRanges, LimitsFollowModelAndOptions) {
  struct Case {
    int model;
    int options;
    std::string command;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {4102, 0, ":SOUR:FREQ 2e9", true},       {4102, 0, ":SOUR:FREQ 2.000001e9", false},
      {4100, 0, ":SOUR:FREQ 20e9", true},      {4103, 0, ":SOUR:FREQ 26.5e9", true},
      {4104, 0, ":SOUR:FREQ 26.5e9", false},   {4101, 0x20, ":SOUR:POW:LEV -90", true},
      {4101, 0x220, ":SOUR:POW:LEV -90.01", false}, {4101, 0x200, ":SOUR:POW:LEV -110", true},
      {4101, 0, ":SOUR:POW:LEV -70.01", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.model) + " " + c.command);
    Instrument instrument(Identity{c.model, "1", "1", c.options});
    Session s(instrument);
    s.execute(c.command);
    EXPECT_EQ(s.query("*ESR?"), c.accepted ? "0\n" : "16\n");
  }
}

TEST(InstrumentSettings, QueriesReadBack) {
  struct Case {
    std::string set;
    std::string query;
    std::string reply;
  };
  const std::vector<Case> cases = {
      {"*RST", "*IDN?", "OVR,4103,ABC123,2.10\n"},
      {"*RST", "*OPT?", "544\n"},
      {":SOUR:MODE LOWP", ":SOUR:MODE?", "LOWP\n"},
      {":SOUR:FREQ:CENT 4e9;SPAN 1e9", ":SOUR:FREQ:STAR?;STOP?", "3.5E+09;4.5E+09\n"},
      {":SOUR:FREQ:STAR 5e9;STOP 4e9", ":SOUR:FREQ:STAR?;STOP?", "4E+09;4E+09\n"},
      {":SOUR:SWE:AUTO OFF;TIME 0.50", ":SOUR:SWE:AUTO?;TIME?", "0;0.5\n"},
      {":SOUR:LLIS:RES;SEGM 1e9, 2e9, 11;SEGM 3e9, 4e9, 5", ":SOUR:LLIS:SEGM? 2", "3E+09,4E+09,5\n"},
      {":CHAN:ACT 2;MODE REFL", ":CHAN:MODE?;ACT?;:CHAN1:MODE?", "REFL;2;SCAL\n"},
      {":CHAN:ACT 1;:MEAS:NME 2;ACT 2", ":MEAS:NME?;ACT?", "2;2\n"},
      {":SYST:MODE SOUR;", ":SYST:MODE?", "SOUR\n"},
      {":SCAL:FORM VSWR", ":SCAL:FORM?", "VSWR\n"},
      {":SCAL:MEAS:RAT C,A", ":SCAL:MEAS:DEF?", "RAT C,A\n"},
      {":FLOC:UNIT FEET", ":FLOC:UNIT?", "FEET\n"},
      {":REFL:TDOM ON", ":REFL:TDOM:STAT?", "1\n"},
      {":REFL:TDOM:DISP DIST;UNIT FEET", ":REFL:TDOM:DISP?;UNIT?", "DIST;FEET\n"},
      {":REFL:MEAS:RAT 3", ":REFL:MEAS:DEF?", "RAT 3\n"},
      {":ROUT:MEAS:FREQ", ":ROUT:MEAS:DEF?", "FREQ\n"},
      {":ROUT:MEAS:DIFF A,C", ":ROUT:MEAS:DEF?", "DIFF A,C\n"},
      {":SYST:APPL:LOAD \"APP\";RUN 2;PAR 2, 0.25", ":SYST:APPL:PAR? 2;PAR? 8;LOAD?", "0.25;2;\"APP\"\n"},
      {":MARK:ACT ON;ACT:ASS 3", ":MARK:ACT:ASS?;:MARK? 3", "3;1\n"},
      {":INP:FCOR B,ON;:INP:FCOR:FREQ:FROM B,COUN", ":INP:FCOR? B;FCOR:FREQ:FROM? B", "1;COUN\n"},
      {":CHAN:ACT 2;:SYST:DISP:FMOD 5832", ":SYST:DISP:FMOD?", "5832\n"},
      {"", ":REFL:CAL:DATA:CONN? 2;SEX? 2;TYPE? 4;CABL? 1", "CN;MALE;WSOL;0\n"},
      {"", ":REFL:CAL:DATA:DATE? 1;TIME? 1;TITL? 3", "2024,1,1;12,0,0;\"FACTORY 3\"\n"},
      {"", ":INP:CFAC:STOR:MAX?;:REFL:CAL:DATA:MAX?;:REFL:CAL:KIT:MAX?;:SCAL:MEM:MAX?;:SOUR:CAL:MAX?;:SYST:SETT:MAX?",
       "20;8;4;8;4;10\n"},
  };
  Instrument instrument(Identity{4103, "ABC123", "2.10", 544});
  Session s(instrument);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set + " / " + c.query);
    s.execute(c.set);
    EXPECT_EQ(s.query(c.query), c.reply);
    EXPECT_EQ(s.query("*ESR?"), "0\n");
  }
}

// ---- measured data -----------------------------------------------------------------

std::vector<float> traceOf(Session& s, const std::string& query, bool* indefinite = nullptr) {
  s.execute(query);
  auto r = s.read();
  if (!r || r->bytes.size() < 2 || r->bytes.compare(0, 2, "#0") != 0) return {};
  if (indefinite) *indefinite = r->indefiniteBlock;
  return test::blockFloats(std::string_view(r->bytes).substr(2, r->bytes.size() - 3));
}

TEST(InstrumentTraces, BlocksHoldOneValueOrPairPerPoint) {
  struct Case {
    std::string setup;
    std::string query;
    std::size_t values;
  };
  const std::vector<Case> cases = {
      {":SOUR:SWE:POIN 11", ":SCAL:DATA:BIN?", 11},
      {":SOUR:SWE:POIN 800", ":SCAL:DATA:BIN?", 800},
      {":SOUR:SWE:POIN 2", ":REFL:DATA:BIN?", 4},
      {":SOUR:SWE:POIN 401", ":REFL:DATA:BIN?", 802},
      {":FLOC:POIN 51", ":FLOC:DATA:BIN?", 51},
      {":FLOC:POIN 1024", ":FLOC:DATA:BIN?", 1024},
  };
  Instrument instrument;
  Session s(instrument);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setup + " " + c.query);
    s.execute(c.setup);
    s.execute(c.query);
    auto r = s.read();
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->indefiniteBlock);
    EXPECT_EQ(r->bytes.size(), 2 + 4 * c.values + 1);  // "#0", the values, the closing line feed
    EXPECT_EQ(r->bytes.substr(0, 2), "#0");
    EXPECT_EQ(r->bytes.back(), '\n');
  }
}

TEST(InstrumentTraces, BandPassFilterOnInputB) {
  Instrument instrument;  // 4101: 10 MHz to 8 GHz, filter at 4 GHz
  Session s(instrument);
  s.execute(":SOUR:MODE FREQ;:SOUR:FREQ:STAR 10e6;STOP 8e9;:SOUR:POW:LEV 0;:SOUR:SWE:POIN 401");
  s.execute(":CHAN:ACT 1;MODE SCAL;:MEAS:ACT 1;:SCAL:MEAS:POW B;:SCAL:FORM LOG");
  auto trace = traceOf(s, ":SCAL:DATA:BIN?");
  ASSERT_EQ(trace.size(), 401u);
  EXPECT_NEAR(trace[200], -1.0, 0.3);  // 4 GHz: in the pass band
  EXPECT_LT(trace[0], -60.0);          // 10 MHz: stopped
  EXPECT_LT(trace[400], -30.0);
  auto peak = std::max_element(trace.begin(), trace.end());
  EXPECT_NEAR(static_cast<double>(peak - trace.begin()), 200.0, 10.0);

  s.execute(":SCAL:MEAS:POW A");  // the source's own level
  auto reference = traceOf(s, ":SCAL:DATA:BIN?");
  ASSERT_EQ(reference.size(), 401u);
  EXPECT_NEAR(reference[0], -0.5, 0.3);
  s.execute(":SCAL:FORM WATT");
  auto watts = traceOf(s, ":SCAL:DATA:BIN?");
  ASSERT_EQ(watts.size(), 401u);
  EXPECT_NEAR(watts[0], 0.89e-3, 0.1e-3);
}

TEST(InstrumentTraces, SameSeedSameDataOtherSeedOtherData) {
  auto sweep = [](std::uint64_t seed) {
    Instrument instrument(Identity{}, seed);
    Session s(instrument);
    return s.query(":SCAL:DATA:BIN?") + s.query(":REFL:DATA:BIN?") + s.query(":ROUT?");
  };
  EXPECT_EQ(sweep(7), sweep(7));
  EXPECT_NE(sweep(7), sweep(8));
}

// A trace is measured once per state of the settings: reading it again, from
// any session and after queries, gives the same sweep; any command or a reset
// measures anew (new noise), and each kind of trace is kept apart.
TEST(InstrumentTraces, SameSettingsGiveTheSameSweepUntilACommand) {
  Instrument instrument;
  Session s(instrument), other(instrument);
  for (const char* query : {":SCAL:DATA:BIN?", ":REFL:DATA:BIN?", ":FLOC:DATA:BIN?"}) {
    SCOPED_TRACE(query);
    const std::string first = s.query(query);
    ASSERT_GT(first.size(), 2u);
    s.query("*ESR?");
    EXPECT_EQ(other.query(query), first);
    s.execute(":SOUR:SWE:POIN 401");
    const std::string after = s.query(query);
    EXPECT_NE(after, first);
    EXPECT_EQ(s.query(query), after);
    instrument.reset();
    EXPECT_NE(s.query(query), after);
  }
  EXPECT_NE(s.query(":SCAL:DATA:BIN?"), s.query(":REFL:DATA:BIN?"));
}

TEST(InstrumentTraces, FaultLocationShowsTheCableFaults) {
  Instrument instrument;
  Session s(instrument);
  s.execute(":CHAN:ACT 1;MODE FLOC;:MEAS:ACT 1;:FLOC:MED COAX;RVEL 0.66;:FLOC:ATT 0");
  s.execute(":FLOC:RANG:ENTRY ON;:FLOC:RANG:VAL 30;:FLOC:UNIT METR;:FLOC:POIN 301;:FLOC:FORM LOG");
  auto trace = traceOf(s, ":FLOC:DATA:BIN?");
  ASSERT_EQ(trace.size(), 301u);
  // 0.1 m per point: the open end at 23 m is the strongest reflection, the 11 m fault next.
  auto peak = std::max_element(trace.begin(), trace.end()) - trace.begin();
  EXPECT_NEAR(static_cast<double>(peak), 230.0, 3.0);
  EXPECT_NEAR(trace[110], -18.0, 1.0);
  EXPECT_LT(trace[170], -40.0);
  s.execute(":FLOC:FORM VSWR");
  auto vswr = traceOf(s, ":FLOC:DATA:BIN?");
  for (float v : vswr) EXPECT_GE(v, 1.0f);
}

TEST(InstrumentTraces, ReadingsAndMaxMinHold) {
  Instrument instrument;
  Session s(instrument);
  s.execute(":SOUR:MODE CW;:SOUR:FREQ 4e9;POW:LEV 0;:CHAN:ACT 2;MODE READ;:MEAS:ACT 1;:ROUT:MEAS:POW A;:ROUT:FORM LOG");
  EXPECT_NEAR(std::stod(s.query(":ROUT?")), -0.5, 0.1);
  s.execute(":ROUT:MEAS:FREQ");
  EXPECT_DOUBLE_EQ(std::stod(s.query(":ROUT?")), 4e9);
  s.execute(":ROUT:MEAS:POW B;:ROUT:PEAK ON");
  double lo = 1e9, hi = -1e9;
  for (int i = 0; i < 20; ++i) {
    double v = std::stod(s.query(":ROUT?"));
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  EXPECT_GE(std::stod(s.query(":ROUT:PEAK:MAX?")), hi);
  EXPECT_LE(std::stod(s.query(":ROUT:PEAK:MIN?")), lo);
  EXPECT_LT(lo, hi);  // the detector is not noise-free
  s.execute(":ROUT:REL:SAVE;:ROUT:REL:STATE ON;:ROUT:PEAK OFF");
  EXPECT_NEAR(std::stod(s.query(":ROUT?")), 0.0, 0.1);
}

TEST(InstrumentMarkers, SearchesOnTheFilterResponse) {
  Instrument instrument;
  Session s(instrument);
  s.execute(":SOUR:MODE FREQ;:SOUR:FREQ:STAR 10e6;STOP 8e9;:SOUR:SWE:POIN 801;:SCAL:MEAS:POW B");
  s.execute(":MARK:ACT ON;ACT:ASS 1;:MARK:MAX");
  EXPECT_NEAR(std::stod(s.query(":MARK:ACT:POS?")), 4e9, 0.2e9);
  EXPECT_NEAR(std::stod(s.query(":MARK:ACT:DATA?")), -1.0, 0.3);
  // 3 dB bandwidth of the filter: a tenth of the model's range, centred on 4 GHz.
  std::string band = s.query(":MARK:BAND:TARG -3;FROM MAXM;:MARK:BAND?");
  double bw = std::stod(band);
  double centre = std::stod(band.substr(band.find(',') + 1));
  EXPECT_NEAR(bw, 0.8e9, 0.1e9);
  EXPECT_NEAR(centre, 4e9, 0.1e9);
  EXPECT_EQ(s.query(":MARK:SEAR:TARG -20;:MARK:SEAR:DIR RIGH;RES?"), "1\n");
  double right = std::stod(s.query(":MARK:ACT:POS?"));
  EXPECT_GT(right, 4.3e9);
  EXPECT_NEAR(std::stod(s.query(":MARK:ACT:DATA?")), -20.0, 1.0);
  EXPECT_EQ(s.query(":MARK:SEAR:TARG 10;:MARK:SEAR:DIR LEFT;RES?"), "0\n");  // above every value
  EXPECT_NEAR(std::stod(s.query(":MARK:ACT:POS?")), right, 1.0);              // the marker stayed
  std::string pkpk = s.query(":MARK:PKPK?");
  EXPECT_EQ(pkpk.substr(0, 2), "1,");
  EXPECT_GT(std::stod(pkpk.substr(2)), 50.0);
  s.execute(":MARK:PKPK:LIM:VAL 10;STAT ON");
  EXPECT_EQ(s.query(":MARK:PKPK?").substr(0, 2), "0,");
  s.execute(":MARK:DELT:STAT ON;POS 4e9");
  std::string two = s.query(":MARK:ACT:DATA?");
  EXPECT_NE(two.find(','), std::string::npos);  // reading and its difference to the delta marker
  s.execute(":CHAN:ACT 2;MODE READ");
  s.execute(":MARK:MAX");  // a readout has no trace
  EXPECT_EQ(s.query("*ESR?"), "16\n");
  EXPECT_EQ(s.query(":MARK:ACT:DATA?"), "9.91E+37\n");  // answered all the same, so no reader waits in vain
  EXPECT_EQ(s.query("*ESR?"), "16\n");
}

TEST(InstrumentCalibration, ProcedureDescriptionsAndValidity) {
  Instrument instrument;
  Session s(instrument);
  s.execute(":REFL:CAL:KIT 1;:REFL:CAL:TYPE CSOF;SEX FEM");
  EXPECT_EQ(s.query(":REFL:CAL:VAL?"), "0\n");  // a calibration in progress is not valid yet
  s.execute(":REFL:CAL:MEAS:OPEN;:REFL:CAL:MEAS:SHOR");
  s.execute(":REFL:CAL:PROC 3,\"MY CAL\"");  // the fixed load is missing
  EXPECT_EQ(errors(s), std::vector<int>{-221});
  s.execute("*CLS");
  s.execute(":REFL:CAL:MEAS:FLO;:REFL:CAL:CABL ON;:REFL:CAL:PROC 3,\"MY CAL\"");
  EXPECT_EQ(s.query("*ESR?"), "0\n");
  EXPECT_EQ(s.query(":REFL:CAL:VAL?"), "1\n");
  EXPECT_EQ(s.query(":REFL:CAL:DATA:CONN? 3;SEX? 3;TYPE? 3;CABL? 3;TITL? 3"), "C35;FEM;CSOF;1;\"MY CAL\"\n");
  std::string date = s.query(":REFL:CAL:DATA:DATE? 3");
  EXPECT_EQ(std::count(date.begin(), date.end(), ','), 2);
  s.execute(":REFL:CAL:MEAS:OPEN");  // the procedure ended with the processing
  EXPECT_EQ(errors(s), std::vector<int>{-221});

  // The store carries its description: loaded into another store it describes that one.
  std::string file = s.query(":REFL:CAL:DATA:STOR? 3");
  s.execute(":REFL:CAL:DATA:STOR 6," + file);
  EXPECT_EQ(s.query(":REFL:CAL:DATA:TITL? 6;CONN? 6"), "\"MY CAL\";C35\n");
  EXPECT_EQ(s.query(":REFL:CAL:DATA:STOR? 6"), file);

  // Waveguide types carry no sex; WS12 needs both offset shorts.
  s.execute(":REFL:CAL:KIT 4;:REFL:CAL:TYPE WS12;:REFL:CAL:MEAS:OSH 1;:REFL:CAL:MEAS:FLO;:REFL:CAL:PROC 2,\"W\"");
  EXPECT_EQ(errors(s), std::vector<int>{-221});
  s.execute(":REFL:CAL:MEAS:OSH 2;:REFL:CAL:PROC 2,\"W\"");
  EXPECT_EQ(s.query(":REFL:CAL:DATA:CONN? 2;SEX? 2;TYPE? 2"), "WG;NEUT;WS12\n");
}

TEST(InstrumentCalibration, KitDefinitionsTravelWithTheKitStore) {
  Instrument instrument;
  Session s(instrument);
  s.execute(":REFL:CAL:KIT 2;:REFL:CAL:KIT:CONN USER;IDEN \"MY KIT\"");
  s.execute(":REFL:CAL:KIT:SEX FEM;:REFL:CAL:KIT:LOAD \"L-42\"");
  s.execute(":REFL:CAL:KIT:OPEN:OLEN 0.005;FCO -1.5e+01,2.0e+00,0.0e+00,1.0e+00");
  s.execute(":REFL:CAL:KIT:OFF2:OLEN 0.0075;MINF 1.24e10;MAXF 8e9");
  ASSERT_EQ(s.query("*ESR?"), "0\n");
  std::string file = s.query(":REFL:CAL:KIT:STOR? 2");
  s.execute(":REFL:CAL:KIT:STOR 3," + file);
  s.execute(":REFL:CAL:KIT 3");
  EXPECT_EQ(s.query(":REFL:CAL:KIT:CONN?;IDEN?;SEX?;LOAD?"), "USER;\"MY KIT\";FEM;\"L-42\"\n");
  EXPECT_EQ(s.query(":REFL:CAL:KIT:OPEN:FCO?"), "-15,2,0,1\n");
  EXPECT_EQ(s.query(":REFL:CAL:KIT:OFF2:MINF?;MAXF?"), "1.24E+10;8E+09\n");
  EXPECT_EQ(s.query(":REFL:CAL:KIT:STOR? 3"), file);
  // A calibration with kit 3 takes its connector.
  s.execute(":REFL:CAL:TYPE CSOF;:REFL:CAL:MEAS:OPEN;:REFL:CAL:MEAS:SHOR;:REFL:CAL:MEAS:FLO;:REFL:CAL:PROC 1,\"K3\"");
  EXPECT_EQ(s.query(":REFL:CAL:DATA:CONN? 1"), "USER\n");
}

TEST(InstrumentStores, ArbitraryBytesRoundTripInEveryForm) {
  const std::string bytes = std::string("\x00\n\xff;\"#0", 7) + std::string(300, '\x0a');
  struct Case {
    std::string load;
    std::string query;
  };
  const std::vector<Case> cases = {
      {":SCAL:MEM:DATA 2,", ":SCAL:MEM:DATA? 2"},
      {":INP:CFAC:STOR 7,", ":INP:CFAC:STOR:DATA? 7"},
      {":FLOC:CAL:STOR ", ":FLOC:CAL:STOR?"},
      {":REFL:CAL:DATA:STOR 8,", ":REFL:CAL:DATA:STOR? 8"},
      {":REFL:CAL:KIT:STOR 4,", ":REFL:CAL:KIT:STOR? 4"},
      {":SOUR:CAL:UPST 2,", ":SOUR:CAL:UPST? 2"},
      {":SCAL:PCAL:STOR 3,", ":SCAL:PCAL:STOR? 3"},
  };
  Instrument instrument;
  Session s(instrument);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.load);
    std::string block = "#3307" + bytes;
    s.execute(c.load + block + "\n");
    ASSERT_EQ(s.query("*ESR?"), "0\n");
    std::string reply = s.query(c.query);
    std::string payload;
    ASSERT_TRUE(test::definiteBlockPayload(reply, payload));
    EXPECT_EQ(payload, bytes);
    EXPECT_EQ(reply, block + "\n");
    s.execute(c.load + "#0" + bytes.substr(0, 5) + "\n");  // an indefinite block loads too
    ASSERT_TRUE(test::definiteBlockPayload(s.query(c.query), payload));
    EXPECT_EQ(payload, bytes.substr(0, 5));
  }
}

TEST(InstrumentLifecycle, ResetRestoresSettingsAndKeepsStores) {
  Instrument instrument;
  Session a(instrument);
  Session b(instrument);
  a.execute(":SOUR:SWE:POIN 11;:CHAN:ACT 2;:SCAL:MEM:DATA 1,#13abc");
  EXPECT_EQ(b.query(":SOUR:SWE:POIN?;:CHAN:ACT?"), "11;2\n");  // settings are shared
  a.execute(":NOPE");
  EXPECT_EQ(b.query("*ESR?"), "0\n");  // status is each session's own
  b.execute("*RST");
  EXPECT_EQ(a.query(":SOUR:SWE:POIN?;:CHAN:ACT?"), "401;1\n");
  EXPECT_EQ(a.query(":SCAL:MEM:DATA? 1"), "#13abc\n");
  EXPECT_EQ(a.query("*ESR?"), "32\n");  // "*RST" leaves the status alone
  instrument.factoryDefaults();
  EXPECT_NE(a.query(":SCAL:MEM:DATA? 1"), "#13abc\n");
}

}  // namespace
}  // namespace kavrel::sim
