// Opening, identifying and resetting the simulated instrument; the utility
// functions; errors the instrument reports; two sessions on one instrument.
#include <string>
#include <vector>

#include "tests/integration/sim_fixture.h"

namespace kavrel::integration {
namespace {

// The number of sweep points the instrument reports, through the driver.
ViInt32 sweepPoints(ViSession vi) {
  ViInt32 points = -1;
  EXPECT_EQ(VI_SUCCESS, kavrel_scalReadData(vi, &points, VI_NULL));
  return points;
}

constexpr ViInt32 kDefaultPoints = 401;

// Every model opens with identification and reset, and the driver takes the
// model's frequency range from it: the instrument accepts the highest
// frequency, and the driver itself refuses a little more.
TEST(SimModels, InitIdentifiesAndResetsEveryModel) {
  struct Case {
    int model;
    ViReal64 maxFrequency;
  } cases[] = {{4100, 20e9}, {4101, 8e9}, {4102, 2e9}, {4103, 26.5e9}, {4104, 26e9}};
  const unsigned sessionsBefore = standin_open_sessions();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    SimInstrument sim(c.model);
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    ViSession vi = VI_NULL;
    ASSERT_EQ(VI_SUCCESS, sim.init(VI_TRUE, VI_TRUE, vi));
    EXPECT_EQ(VI_SUCCESS, kavrel_srcContWave(vi, c.maxFrequency, 0.0));
    EXPECT_EQ(VI_ERROR_PARAMETER2, kavrel_srcContWave(vi, c.maxFrequency * 1.001, 0.0));
    EXPECT_EQ(std::vector<InstrumentError>{}, instrumentErrors(vi));
    EXPECT_EQ(VI_SUCCESS, kavrel_close(vi));
    EXPECT_EQ(sessionsBefore, standin_open_sessions());
  }
}

// The lowest source level follows the option word the instrument reports.
TEST(SimModels, OptionWordSetsTheLowestLevel) {
  struct Case {
    int options;
    ViReal64 minLevel;
  } cases[] = {{0, -70.0}, {0x200, -110.0}, {0x220, -90.0}, {0x20, -90.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    SimInstrument sim(4101, c.options);
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    ViSession vi = VI_NULL;
    ASSERT_EQ(VI_SUCCESS, sim.init(VI_TRUE, VI_FALSE, vi));
    EXPECT_EQ(VI_SUCCESS, kavrel_srcContWave(vi, 1e9, c.minLevel));
    EXPECT_EQ(VI_ERROR_PARAMETER3, kavrel_srcContWave(vi, 1e9, c.minLevel - 0.01));
    EXPECT_EQ(VI_SUCCESS, kavrel_close(vi));
  }
}

TEST(SimModels, UnreachableInstrumentLeavesNothingOpen) {
  const unsigned sessionsBefore = standin_open_sessions();
  // A port that was just in use and is closed again.
  SimInstrument sim;
  std::string error;
  ASSERT_TRUE(sim.start(error)) << error;
  sim.server().stop();
  ViSession vi = 77;
  EXPECT_LT(sim.init(VI_TRUE, VI_TRUE, vi), VI_SUCCESS);
  EXPECT_EQ(static_cast<ViSession>(VI_NULL), vi);
  EXPECT_EQ(sessionsBefore, standin_open_sessions());
}

class SimSession : public SimTest {
 protected:
  int options() const override { return 0x22F; }
  std::string firmware() const override { return "2.35"; }
};

TEST_P(SimSession, RevisionSelfTestAndOptions) {
  ViChar driverRev[256] = {};
  ViChar instrRev[256] = {};
  EXPECT_EQ(VI_SUCCESS, kavrel_revision_query(vi_, driverRev, instrRev));
  EXPECT_STREQ("Rev 1.1, 11/1999, CVI 5.0.1", driverRev);
  EXPECT_STREQ("2.35", instrRev);

  ViInt16 result = -1;
  ViChar message[256] = "untouched";
  EXPECT_EQ(VI_SUCCESS, kavrel_self_test(vi_, &result, message));
  EXPECT_EQ(0, result);
  EXPECT_STREQ("", message);

  struct Case {
    ViInt32 selector;
    ViInt32 expected;
  } cases[] = {{16, 0x22F}, {5, 0x20}, {4, 0}, {9, 0x200}, {0, 1}, {37, 0x20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selector);
    ViInt32 options = -1;
    EXPECT_EQ(VI_SUCCESS, kavrel_instrOptions(vi_, c.selector, &options));
    EXPECT_EQ(c.expected, options);
  }
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// "*RST" through either path brings the settings back to the defaults.
TEST_P(SimSession, ResetRestoresTheDefaults) {
  struct Case {
    const char* name;
    std::function<ViStatus()> reset;
  } cases[] = {
      {"kavrel_reset", [this] { return kavrel_reset(vi_); }},
      {"kavrel_init with reset",
       [this] {
         ViSession other = VI_NULL;
         return init(VI_TRUE, VI_TRUE, other);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(vi_, 101, 0.0));
    ASSERT_EQ(101, sweepPoints(vi_));
    EXPECT_EQ(VI_SUCCESS, c.reset());
    EXPECT_EQ(kDefaultPoints, sweepPoints(vi_));
  }
}

// Text the instrument refuses: the direct write succeeds (it has no status
// check), the instrument queues its error, and the setting stays as it was.
TEST_P(SimSession, RefusedCommandLeavesTheInstrumentsError) {
  struct Case {
    const char* line;
    InstrumentError error;
  } cases[] = {
      {":SOUR:SWE:POIN 5000", {-222, "Data out of range"}},
      {":SOUR:SWE:POIN 1", {-222, "Data out of range"}},
      {":SOUR:SWEEP:PONITS 101", {-113, "Undefined header"}},
      {":REFL:CAL:MEAS:OPEN", {-221, "Settings conflict"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(VI_SUCCESS, kavrel_writeInstrData(vi_, viString(c.line)));
    EXPECT_EQ(std::vector<InstrumentError>{c.error}, drainErrors());
    // The raw write ran no status check: the next call that does reports it.
    ViInt32 points = 0;
    EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_scalReadData(vi_, &points, VI_NULL));
    EXPECT_EQ(kDefaultPoints, sweepPoints(vi_));
  }
}

// A setting the driver lets through and the instrument refuses: measuring a
// standard or processing a calibration while none is in progress.
// Reading the register clears it, so the error shows in the first "*ESR?"
// answer of the status check.
TEST_P(SimSession, SettingTheInstrumentRefusesIsInstrumentSpecific) {
  struct Case {
    const char* name;
    Call call;
  } cases[] = {
      {"measure a standard", [](ViSession vi) { return kavrel_reflCalMeas(vi, 1, VI_FALSE, 1); }},
      {"process the calibration",
       [](ViSession vi) { return kavrel_reflPerformCal(vi, 1, 1, viString("NO STANDARDS")); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, c.call(vi_));
    EXPECT_EQ((std::vector<InstrumentError>{{-221, "Settings conflict"}}), drainErrors());
  }
}

// Two sessions share the instrument's settings; status and error queues are each their own.
TEST_P(SimSession, TwoSessionsShareSettingsNotStatus) {
  ViSession other = openAnother();
  ASSERT_NE(static_cast<ViSession>(VI_NULL), other);

  ASSERT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(vi_, 101, 0.0));
  EXPECT_EQ(101, sweepPoints(other));
  ASSERT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(other, 51, 0.0));
  EXPECT_EQ(51, sweepPoints(vi_));

  ASSERT_EQ(VI_SUCCESS, kavrel_writeInstrData(vi_, viString(":SOUR:SWE:POIN 5000")));
  // The status byte comes over another channel: a reply on this one shows
  // that the instrument has taken the command in.
  ASSERT_EQ(VI_SUCCESS, kavrel_writeInstrData(vi_, viString("*OPC?")));
  ViChar done[16] = {};
  ASSERT_LE(VI_SUCCESS, kavrel_readInstrData(vi_, sizeof done, done, VI_NULL));
  if (transport() != Transport::socket) {  // a raw socket has no status byte
    ViUInt16 stb = 0;
    ASSERT_EQ(VI_SUCCESS, viReadSTB(vi_, &stb));
    EXPECT_EQ(0x04, stb & 0x04) << "the error queue of the session that erred is not empty";
    ASSERT_EQ(VI_SUCCESS, viReadSTB(other, &stb));
    EXPECT_EQ(0, stb & 0x04);
  }
  EXPECT_EQ(std::vector<InstrumentError>{}, instrumentErrors(other));
  EXPECT_EQ((std::vector<InstrumentError>{{-222, "Data out of range"}}), instrumentErrors(vi_));
}

// Raw text out and raw bytes back: a reply read in pieces, the last one with
// its END (on a raw socket: its line feed), and a read with nothing to come
// ending in the session's time-out.
TEST_P(SimSession, DirectWriteAndRead) {
  ASSERT_EQ(VI_SUCCESS, kavrel_writeInstrData(vi_, viString("*IDN?")));
  const ViStatus last = transport() == Transport::socket ? VI_SUCCESS_TERM_CHAR : VI_SUCCESS;
  struct Piece {
    ViInt32 asked;
    ViStatus status;
    std::string bytes;
  } pieces[] = {
      {4, VI_SUCCESS_MAX_CNT, "OVR,"},
      {10, VI_SUCCESS_MAX_CNT, "4101,10000"},
      {100, last, "1,2.35\n"},
  };
  for (const Piece& p : pieces) {
    SCOPED_TRACE(p.asked);
    std::string buffer(100, '\0');
    ViInt32 count = -1;
    EXPECT_EQ(p.status, kavrel_readInstrData(vi_, p.asked, buffer.data(), &count));
    EXPECT_EQ(p.bytes, buffer.substr(0, static_cast<std::size_t>(count)));
  }
  ASSERT_EQ(VI_SUCCESS, viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 200));
  std::string buffer(100, '\0');
  ViInt32 count = -1;
  EXPECT_EQ(VI_ERROR_TMO, kavrel_readInstrData(vi_, 100, buffer.data(), &count));
  EXPECT_EQ(0, count);
}

// Status texts: VISA's for its own codes, the driver's for the driver's codes.
TEST_P(SimSession, StatusTexts) {
  struct Case {
    ViStatus code;
    ViStatus expected;
    const char* text;
  } cases[] = {
      {VI_ERROR_TMO, VI_SUCCESS, "Timeout expired before operation completed."},
      {VI_ERROR_CONN_LOST, VI_SUCCESS, "The connection for the given session has been lost."},
      {VI_ERROR_INSTR_SPECIFIC, VI_SUCCESS, "ERROR: Instrument specific error"},
      {VI_ERROR_FAIL_ID_QUERY, VI_SUCCESS, "ERROR: Identification query failed"},
      {static_cast<ViStatus>(0xBFFC0777), VI_WARN_UNKNOWN_STATUS, "Unknown Error 0xBFFC0777"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ViChar text[256] = {};
    EXPECT_EQ(c.expected, kavrel_error_message(vi_, c.code, text));
    EXPECT_STRCASEEQ(c.text, text);
  }
}

INSTANTIATE_TEST_SUITE_P(Transports, SimSession, ::testing::ValuesIn(kTransports), transportName);

}  // namespace
}  // namespace kavrel::integration
