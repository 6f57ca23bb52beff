// Application programs: the four program functions (no status check), and
// the one-call swept measurement as the exact sequence of lines it writes.
#include <functional>
#include <string>
#include <vector>

#include "driver/app_delay.h"
#include "tests/support/driver_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

constexpr ViReal64 kUntouched = -777.0;

std::vector<ViReal64> waits;
void recordWait(ViReal64 seconds) { waits.push_back(seconds); }

class App : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    waits.clear();
    kavrel_appSetDelay(recordWait);
  }
  void TearDown() override {
    kavrel_appSetDelay(VI_NULL);
    DriverTest::TearDown();
  }
  // Only the one line, and no "*ESR?" after it.
  void expectUnchecked(const std::string& line) {
    EXPECT_EQ(Writes{line}, writes());
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  }
};

TEST_F(App, LoadAndRunWriteWithoutStatusCheck) {
  open();
  EXPECT_EQ(VI_SUCCESS, kavrel_appLoad(vi_, const_cast<ViString>("SWR_TEST")));
  expectUnchecked(":SYST:APPL:LOAD \"SWR_TEST\"");
  for (ViInt32 run : {1, 2}) {
    SCOPED_TRACE(run);
    mark();
    EXPECT_EQ(VI_SUCCESS, kavrel_appRun(vi_, run));
    expectUnchecked(":SYST:APPL:RUN " + std::to_string(run));
  }
  // A name of any length goes out whole in one write.
  std::string name(3000, 'n');
  mark();
  EXPECT_EQ(VI_SUCCESS, kavrel_appLoad(vi_, name.data()));
  expectUnchecked(":SYST:APPL:LOAD \"" + name + "\"");
}

TEST_F(App, ProgramSettersReturnTheWriteStatus) {
  open();
  Call setters[] = {
      [](ViSession vi) { return kavrel_appLoad(vi, const_cast<ViString>("X")); },
      [](ViSession vi) { return kavrel_appRun(vi, 1); },
      [](ViSession vi) { return kavrel_appParam(vi, 1, 0.0); },
  };
  for (const auto& call : setters) {
    mark();
    fail(STANDIN_WRITE, 1, VI_ERROR_IO);
    EXPECT_EQ(VI_ERROR_IO, call(vi_));
    fail(STANDIN_WRITE, 1, VI_WARN_CONFIG_NLOADED);
    EXPECT_EQ(VI_WARN_CONFIG_NLOADED, call(vi_));
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  }
}

TEST_F(App, ParameterQueryFailuresLeaveTheValue) {
  open();
  ViReal64 value = kUntouched;
  fail(STANDIN_WRITE, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_appParamQuery(vi_, 2, &value));
  EXPECT_EQ(0u, calls(STANDIN_READ));
  fail(STANDIN_READ, 1, VI_ERROR_CONN_LOST);
  EXPECT_EQ(VI_ERROR_CONN_LOST, kavrel_appParamQuery(vi_, 2, &value));
  EXPECT_EQ(kUntouched, value);
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
}

TEST_F(App, ProgramArgumentErrorsWriteNothing) {
  open();
  expectRefused({
      {"null name", [](ViSession vi) { return kavrel_appLoad(vi, VI_NULL); }, VI_ERROR_PARAMETER2},
      // A quote or a control character would end the name and let the rest run as commands.
      {"quote in name", [](ViSession vi) { return kavrel_appLoad(vi, viString("ab\"c\n*RST")); }, VI_ERROR_PARAMETER2},
      {"line feed in name", [](ViSession vi) { return kavrel_appLoad(vi, viString("ab\n*RST")); }, VI_ERROR_PARAMETER2},
      {"tab in name", [](ViSession vi) { return kavrel_appLoad(vi, viString("a\tb")); }, VI_ERROR_PARAMETER2},
      {"run 0", [](ViSession vi) { return kavrel_appRun(vi, 0); }, VI_ERROR_PARAMETER2},
      {"run 3", [](ViSession vi) { return kavrel_appRun(vi, 3); }, VI_ERROR_PARAMETER2},
      {"query 0", [](ViSession vi) { return kavrel_appParamQuery(vi, 0, VI_NULL); }, VI_ERROR_PARAMETER2},
      {"query 7", [](ViSession vi) { return kavrel_appParamQuery(vi, 7, VI_NULL); }, VI_ERROR_PARAMETER2},
      {"query 9", [](ViSession vi) { return kavrel_appParamQuery(vi, 9, VI_NULL); }, VI_ERROR_PARAMETER2},
  });
}

TEST_F(App, ParameterValuesByNumber) {
  struct Case {
    ViInt32 number;
    ViReal64 value;
    ViStatus expected;
    const char* line;
  } cases[] = {
      {1, -99.99, VI_SUCCESS, ":SYST:APPL:PAR 1, -99.990000"},
      {1, 99.99, VI_SUCCESS, ":SYST:APPL:PAR 1, 99.990000"},
      {1, 100.0, VI_ERROR_PARAMETER3, nullptr},
      {2, 0.0, VI_SUCCESS, ":SYST:APPL:PAR 2, 0.000000"},
      {2, 1.0, VI_SUCCESS, ":SYST:APPL:PAR 2, 1.000000"},
      {2, 1.01, VI_ERROR_PARAMETER3, nullptr},
      {2, -0.01, VI_ERROR_PARAMETER3, nullptr},
      {3, -20.0, VI_SUCCESS, ":SYST:APPL:PAR 3, -20.000000"},
      {3, -20.01, VI_ERROR_PARAMETER3, nullptr},
      {4, -99.99, VI_SUCCESS, ":SYST:APPL:PAR 4, -99.990000"},
      {4, -100.0, VI_ERROR_PARAMETER3, nullptr},
      {5, 0.5, VI_ERROR_PARAMETER3, nullptr},
      {5, 1.0, VI_SUCCESS, ":SYST:APPL:PAR 5, 1.000000"},
      {6, 0.0, VI_SUCCESS, ":SYST:APPL:PAR 6, 0.000000"},
      {6, 2.0, VI_ERROR_PARAMETER3, nullptr},
      {6, kNaN, VI_ERROR_PARAMETER3, nullptr},
      {1, kNaN, VI_ERROR_PARAMETER3, nullptr},
      {0, 0.0, VI_ERROR_PARAMETER2, nullptr},
      {7, 0.0, VI_ERROR_PARAMETER2, nullptr},
      {8, 0.0, VI_ERROR_PARAMETER2, nullptr},
      {-1, kNaN, VI_ERROR_PARAMETER2, nullptr},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.number << " " << c.value);
    mark();
    EXPECT_EQ(c.expected, kavrel_appParam(vi_, c.number, c.value));
    if (c.line)
      expectUnchecked(c.line);
    else
      EXPECT_EQ(0u, allCalls());
  }
}

TEST_F(App, ParameterQueryReturnsTheReadStatus) {
  struct Case {
    ViInt32 number;
    std::string reply;
    ViStatus expected;
    ViReal64 value;
  } cases[] = {
      {1, "-12.5\n", VI_SUCCESS, -12.5},
      {6, " 1.000000E+00\n", VI_SUCCESS, 1.0},
      {8, "42\n", VI_SUCCESS, 42.0},
      {2, "\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, kUntouched},
      {3, "PAR\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, kUntouched},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    mark();
    reply(c.reply);
    ViReal64 value = kUntouched;
    EXPECT_EQ(c.expected, kavrel_appParamQuery(vi_, c.number, &value));
    EXPECT_EQ(c.value, value);
    expectUnchecked(":SYST:APPL:PAR? " + std::to_string(c.number));
  }
  reply("3.5\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_appParamQuery(vi_, 8, VI_NULL));
  // A reply longer than the 512 bytes read: the read's completion code comes back.
  reply("0.25" + std::string(600, ' ') + "\n");
  ViReal64 value = 0;
  EXPECT_EQ(VI_SUCCESS_MAX_CNT, kavrel_appParamQuery(vi_, 4, &value));
  EXPECT_EQ(0.25, value);
}

// ---- the one-call swept measurement ----------------------------------------

struct Example {
  ViInt32 input = 1;
  ViReal64 start = 1e9, stop = 2e9, level = -10.0;
  ViInt32 points = 401;
  ViBoolean autoTime = VI_TRUE;
  ViReal64 sweepTime = 1.0;
  ViBoolean rf = VI_TRUE;
  bool withTrace = true;

  ViStatus run(ViSession vi, ViPInt32 count, ViReal64* trace) const {
    return kavrel_appExample(vi, input, start, stop, level, points, autoTime, sweepTime, rf, count,
                             withTrace ? trace : VI_NULL);
  }
};

const Writes kSelect = {":CHAN:ACT 1;:MEAS:ACT 1"};

// The lines of the sequence's first `steps` steps, for the default example
// unless the sweep lines are given.
Writes exampleWrites(
    std::size_t steps, const std::string& input = "B",
    const std::string& sweep =
        ":SOUR:MODE FREQ;:SOUR:FREQ:STAR 1000000000.000000;STOP 2000000000.000000;:SOUR:POW:LEV -10.00",
    const Writes& sweepConfig = {":SOUR:SWE:POIN 401", ":SOUR:SWE:AUTO ON"}, const std::string& rf = "ON") {
  const std::vector<Writes> groups = {
      checked({":CHAN:NCH 1"}),
      kSelect,
      checked({":CHAN:ACT 1;MODE SCAL"}),
      checked({kSelect[0], ":SCAL:MEAS:POW " + input}),
      checked({sweep}),
      checked(sweepConfig),
      checked({":SOUR:RF " + rf}),
      checked({kSelect[0], ":SCAL:SCAL:AUTO CONT"}),
      checked({":SOUR:SWE:POIN?", ":SCAL:DATA:BIN?"}),
  };
  Writes out;
  for (std::size_t i = 0; i < steps && i < groups.size(); ++i)
    out.insert(out.end(), groups[i].begin(), groups[i].end());
  return out;
}
constexpr std::size_t kAllSteps = 9;

TEST_F(App, ExampleWithAutomaticSweepTime) {
  open();
  reply("3\n");
  reply(floatBlock({1.0f, -10.0f, 0.5f}));
  ViInt32 count = 0;
  ViReal64 trace[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
  EXPECT_EQ(VI_SUCCESS, Example{}.run(vi_, &count, trace));
  EXPECT_EQ(exampleWrites(kAllSteps), writes());
  EXPECT_EQ(std::vector<ViReal64>{2.0}, waits);
  EXPECT_EQ(3, count);
  EXPECT_EQ(1.0, trace[0]);
  EXPECT_EQ(-10.0, trace[1]);
  EXPECT_EQ(0.5, trace[2]);
  EXPECT_EQ(kUntouched, trace[3]);
}

TEST_F(App, ExampleWithManualSweepTimeWaitsForTheSweep) {
  open(4103, 0x20);
  Example example;
  example.input = 3;
  example.start = 10e6;
  example.stop = 26.5e9;
  example.level = -90.0;
  example.points = 2;
  example.autoTime = VI_FALSE;
  example.sweepTime = 1.5;
  example.rf = VI_FALSE;
  reply("2\n");
  reply(floatBlock({-1.0f, -2.0f}));
  ViReal64 trace[2] = {};
  EXPECT_EQ(VI_SUCCESS, example.run(vi_, VI_NULL, trace));
  EXPECT_EQ(
      exampleWrites(kAllSteps, "D",
                    ":SOUR:MODE FREQ;:SOUR:FREQ:STAR 10000000.000000;STOP 26500000000.000000;:SOUR:POW:LEV -90.00",
                    {":SOUR:SWE:POIN 2", ":SOUR:SWE:AUTO OFF;TIME 1.50"}, "OFF"),
      writes());
  EXPECT_EQ(std::vector<ViReal64>{3.5}, waits);
  EXPECT_EQ(-2.0, trace[1]);
}

TEST_F(App, ExampleArgumentErrorsComeBeforeAnyWrite) {
  struct Case {
    const char* name;
    ViInt32 model, options;
    std::function<void(Example&)> change;
    ViStatus expected;
  } cases[] = {
      {"input 4", 4101, 0, [](Example& e) { e.input = 4; }, VI_ERROR_PARAMETER2},
      {"input -1", 4101, 0, [](Example& e) { e.input = -1; }, VI_ERROR_PARAMETER2},
      {"start below 10 MHz", 4101, 0, [](Example& e) { e.start = 9.999999e6; }, VI_ERROR_PARAMETER3},
      {"start NaN", 4101, 0, [](Example& e) { e.start = kNaN; }, VI_ERROR_PARAMETER3},
      {"start above the model", 4102, 0, [](Example& e) { e.start = 2.1e9; }, VI_ERROR_PARAMETER3},
      {"stop above the model", 4101, 0, [](Example& e) { e.stop = 8.000001e9; }, VI_ERROR_PARAMETER4},
      {"level below the options", 4101, 0, [](Example& e) { e.level = -70.01; }, VI_ERROR_PARAMETER5},
      {"level below -90 option", 4101, 0x20, [](Example& e) { e.level = -90.01; }, VI_ERROR_PARAMETER5},
      {"level above 20", 4101, 0, [](Example& e) { e.level = 20.01; }, VI_ERROR_PARAMETER5},
      {"1 point", 4101, 0, [](Example& e) { e.points = 1; }, VI_ERROR_PARAMETER6},
      {"801 points", 4101, 0, [](Example& e) { e.points = 801; }, VI_ERROR_PARAMETER6},
      {"automatic 2", 4101, 0, [](Example& e) { e.autoTime = 2; }, VI_ERROR_PARAMETER7},
      {"automatic, manual time 0", 4101, 0, [](Example& e) { e.sweepTime = 0.0; }, VI_ERROR_PARAMETER8},
      {"manual time 500.01", 4101, 0, [](Example& e) { e.sweepTime = 500.01; }, VI_ERROR_PARAMETER8},
      {"RF output 2", 4101, 0, [](Example& e) { e.rf = 2; }, VI_ERROR_INSTR_PARAMETER9},
      {"no trace array", 4101, 0, [](Example& e) { e.withTrace = false; }, VI_ERROR_INSTR_PARAMETER11},
      {"first failure decides", 4101, 0,
       [](Example& e) {
         e.points = 0;
         e.rf = 5;
         e.withTrace = false;
       },
       VI_ERROR_PARAMETER6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reopen(c.model, c.options);
    Example example;
    c.change(example);
    ViInt32 count = -5;
    ViReal64 trace[1] = {kUntouched};
    EXPECT_EQ(c.expected, example.run(vi_, &count, trace));
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
    EXPECT_EQ(0u, calls(STANDIN_READ));
    EXPECT_TRUE(waits.empty());
    EXPECT_EQ(-5, count);
  }
}

TEST_F(App, ExampleReportsTheSessionBeforeItsArguments) {
  open();
  fail(STANDIN_GET_ATTRIBUTE, 1, VI_ERROR_INV_OBJECT);
  Example example;
  example.input = 4;
  ViReal64 trace[1];
  EXPECT_EQ(VI_ERROR_INV_OBJECT, example.run(vi_, VI_NULL, trace));
  EXPECT_TRUE(writes().empty());
}

TEST_F(App, ExampleStopsAtTheFirstFailingStep) {
  open();
  struct Case {
    const char* name;
    std::function<void()> script;
    std::function<void(Example&)> change;
    ViStatus expected;
    Writes lines;
  } cases[] = {
      {"start above stop", [] {}, [](Example& e) { e.start = 3e9; }, VI_ERROR_INSTR_START_GT_STOP, exampleWrites(4)},
      {"channel mode refused",
       [this] {
         for (ViInt32 v : {0, 0, 0, 0x20}) esr(v);
       },
       [](Example&) {}, VI_ERROR_INSTR_SPECIFIC, exampleWrites(3)},
      {"power command not written", [this] { fail(STANDIN_WRITE, 5, VI_ERROR_TMO); }, [](Example&) {}, VI_ERROR_TMO,
       [] {
         Writes w = exampleWrites(3);
         w.push_back(kSelect[0]);
         return w;
       }()},
      {"RF output refused", [this] { fail(STANDIN_QUERYF, 11, VI_ERROR_IO); }, [](Example&) {}, VI_ERROR_IO,
       [] {
         Writes w = exampleWrites(6);
         w.push_back(":SOUR:RF ON");
         return w;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    c.script();
    Example example;
    c.change(example);
    ViReal64 trace[1];
    EXPECT_EQ(c.expected, example.run(vi_, VI_NULL, trace));
    EXPECT_EQ(c.lines, writes());
    EXPECT_TRUE(waits.empty());
  }
}

TEST_F(App, ExampleGoesOnAfterAWarning) {
  open();
  // The selection step returns its write's warning; the sequence does not stop.
  fail(STANDIN_WRITE, 2, VI_WARN_CONFIG_NLOADED);
  reply("1\n");
  reply(floatBlock({4.0f}));
  ViReal64 trace[1] = {};
  EXPECT_EQ(VI_SUCCESS, Example{}.run(vi_, VI_NULL, trace));
  Writes expected = exampleWrites(kAllSteps);
  expected.erase(expected.begin() + 3);  // the selection that only warned
  EXPECT_EQ(expected, writes());
  EXPECT_EQ(4.0, trace[0]);
}

TEST_F(App, ExampleReturnsTheTraceReadStatus) {
  open();
  reply("none\n");
  ViInt32 count = -5;
  ViReal64 trace[1] = {kUntouched};
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, Example{}.run(vi_, &count, trace));
  Writes expected = exampleWrites(kAllSteps - 1);
  expected.push_back(":SOUR:SWE:POIN?");
  EXPECT_EQ(expected, writes());
  EXPECT_EQ(std::vector<ViReal64>{2.0}, waits);
  EXPECT_EQ(-5, count);
  EXPECT_EQ(kUntouched, trace[0]);
}

}  // namespace
}  // namespace kavrel::test
