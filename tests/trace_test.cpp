// Scalar and fault-location traces, power-meter readings, store counts.
#include <string>
#include <vector>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

constexpr double kUntouched = -12345.0;

using ReadData = ViStatus (*)(ViSession, ViPInt32, ViReal64[]);

struct TraceKind {
  const char* name;
  ReadData read;
  const char* pointsQuery;
  const char* blockQuery;
  int capacity;
};
const TraceKind kTraces[] = {
    {"scalar", kavrel_scalReadData, ":SOUR:SWE:POIN?", ":SCAL:DATA:BIN?", 800},
    {"fault location", kavrel_flocReadData, ":FLOC:POIN?", ":FLOC:DATA:BIN?", 1024},
};

std::vector<float> ramp(int count) {
  std::vector<float> values;
  for (int i = 0; i < count; ++i) values.push_back(static_cast<float>(i) * 0.5f - 100.0f);
  return values;
}

class Trace : public DriverTest {};

TEST_F(Trace, BlockValuesAreDecodedBigEndian) {
  open();
  // 1.0 and -10.0 exactly as the instrument sends them.
  reply("2\n");
  reply(std::string("#0\x3F\x80\x00\x00\xC1\x20\x00\x00", 10));
  ViInt32 points = 0;
  ViReal64 values[3] = {kUntouched, kUntouched, kUntouched};
  EXPECT_EQ(VI_SUCCESS, kavrel_scalReadData(vi_, &points, values));
  EXPECT_EQ(2, points);
  EXPECT_EQ(1.0, values[0]);
  EXPECT_EQ(-10.0, values[1]);
  EXPECT_EQ(kUntouched, values[2]);
  EXPECT_EQ(checked({":SOUR:SWE:POIN?", ":SCAL:DATA:BIN?"}), writes());
}

TEST_F(Trace, PointsAndBlockForEachTrace) {
  struct Case {
    const char* pointsReply;
    int sent;          // values in the block
    int written;       // entries the caller gets
    ViInt32 points;    // number of points reported
    bool blockAsked;
  };
  for (const TraceKind& trace : kTraces) {
    const Case cases[] = {
        {"401\n", 401, 401, 401, true},
        {"5\n", 3, 3, 5, true},                                                // fewer values than points
        {"4\n", 6, 4, 4, true},                                                // never more than the points
        {"+2\n", 2, 2, 2, true},
        {"-5\n", 0, 0, -5, false},                                             // nothing to receive
        {"0\n", 0, 0, 0, false},
        {trace.capacity == 800 ? "900\n" : "1100\n", trace.capacity + 50, trace.capacity,
         trace.capacity == 800 ? 900 : 1100, true},                           // never past the capacity
        {trace.capacity == 800 ? "800\n" : "1024\n", trace.capacity, trace.capacity, trace.capacity, true},
    };
    // With or without the line feed that closes a block: a trailing byte
    // that is not a whole value is not a value.
    for (const Case& c : cases) {
      for (const std::string ending : {"", "\n"}) {
        SCOPED_TRACE(testing::Message() << trace.name << " " << c.pointsReply << " ending " << ending.size());
        reopen();
        reply(c.pointsReply);
        const std::vector<float> sent = ramp(c.sent);
        if (c.blockAsked) reply(floatBlock(sent) + ending);
        ViInt32 points = 0;
        std::vector<ViReal64> values(1200, kUntouched);
        EXPECT_EQ(VI_SUCCESS, trace.read(vi_, &points, values.data()));
        EXPECT_EQ(c.points, points);
        for (int i = 0; i < c.written; ++i) ASSERT_EQ(static_cast<double>(sent[i]), values[i]) << i;
        for (std::size_t i = static_cast<std::size_t>(c.written); i < values.size(); ++i)
          ASSERT_EQ(kUntouched, values[i]) << i;
        EXPECT_EQ(c.blockAsked ? checked({trace.pointsQuery, trace.blockQuery}) : checked({trace.pointsQuery}),
                  writes());
      }
    }
  }
}

TEST_F(Trace, NullPointersAskOnlyWhatIsWanted) {
  open();
  for (const TraceKind& trace : kTraces) {
    SCOPED_TRACE(trace.name);
    // Both null: the points query and the status check only.
    mark();
    reply("401\n");
    EXPECT_EQ(VI_SUCCESS, trace.read(vi_, VI_NULL, VI_NULL));
    EXPECT_EQ(checked({trace.pointsQuery}), writes());
    // Array only.
    mark();
    reply("2\n");
    reply(floatBlock({3.5f, -0.25f}));
    ViReal64 values[2] = {};
    EXPECT_EQ(VI_SUCCESS, trace.read(vi_, VI_NULL, values));
    EXPECT_EQ(3.5, values[0]);
    EXPECT_EQ(-0.25, values[1]);
    // Points only.
    mark();
    reply("51\n");
    ViInt32 points = 0;
    EXPECT_EQ(VI_SUCCESS, trace.read(vi_, &points, VI_NULL));
    EXPECT_EQ(51, points);
    EXPECT_EQ(checked({trace.pointsQuery}), writes());
  }
}

TEST_F(Trace, FailuresLeaveTheCallersValues) {
  open();
  for (const TraceKind& trace : kTraces) {
    SCOPED_TRACE(trace.name);
    ViInt32 points = 7;
    ViReal64 values[2] = {kUntouched, kUntouched};

    // A points reply without a number: nothing stored, no block, no status check.
    mark();
    reply("\n");
    EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, trace.read(vi_, &points, values));
    EXPECT_EQ(7, points);
    EXPECT_EQ((Writes{trace.pointsQuery}), writes());

    mark();
    fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
    EXPECT_EQ(VI_ERROR_TMO, trace.read(vi_, &points, values));
    EXPECT_EQ(0u, calls(STANDIN_READ) + calls(STANDIN_QUERYF));

    mark();
    fail(STANDIN_READ, 1, VI_ERROR_IO);
    EXPECT_EQ(VI_ERROR_IO, trace.read(vi_, &points, values));
    EXPECT_EQ(7, points);
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));

    // A failing block query: the points are already stored, the array is not written.
    mark();
    reply("2\n");
    fail(STANDIN_QUERYF, 1, VI_ERROR_TMO);
    EXPECT_EQ(VI_ERROR_TMO, trace.read(vi_, &points, values));
    EXPECT_EQ(2, points);
    EXPECT_EQ(kUntouched, values[0]);
    EXPECT_EQ(1u, calls(STANDIN_QUERYF));  // no status check

    // A reply that is not a "#0" block: no values taken, no status check.
    for (const char* garbled : {"#1\x3f\x80\x00\x00", "1.0,2.0\n", "#"}) {
      mark();
      reply("2\n");
      reply(garbled);
      EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, trace.read(vi_, &points, values));
      EXPECT_EQ(kUntouched, values[0]);
      EXPECT_EQ(kUntouched, values[1]);
      EXPECT_EQ(1u, calls(STANDIN_QUERYF));
    }

    // An error bit after a good transfer.
    mark();
    reply("1\n");
    reply(floatBlock({2.0f}));
    esr(0);
    esr(0x04);
    EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, trace.read(vi_, &points, values));
    EXPECT_EQ(2.0, values[0]);
  }
}

TEST_F(Trace, PowerMeterReadings) {
  struct Case {
    ViInt32 kind;
    const char* query;
    const char* answer;
    double value;
  } cases[] = {
      {0, ":ROUT?", "-12.5E+00\n", -12.5},
      {1, ":ROUT:PEAK:MIN?", "-30.25\n", -30.25},
      {2, ":ROUT:PEAK:MAX?", "1e-3\n", 0.001},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    mark();
    reply(c.answer);
    ViReal64 reading = 0;
    EXPECT_EQ(VI_SUCCESS, kavrel_routData(vi_, c.kind, &reading));
    EXPECT_EQ(c.value, reading);
    EXPECT_EQ(checked({c.query}), writes());
  }
  ViReal64 reading = kUntouched;
  mark();
  reply("OVER\n");
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_routData(vi_, 0, &reading));
  EXPECT_EQ(kUntouched, reading);
  EXPECT_EQ((Writes{":ROUT?"}), writes());
}

TEST_F(Trace, StoreCounts) {
  const char* stems[] = {"INP:CFAC:STOR", "REFL:CAL:DATA", "REFL:CAL:KIT", "SCAL:MEM", "SOUR:CAL", "SYST:SETT"};
  open();
  for (ViInt32 kind = 0; kind < 6; ++kind) {
    SCOPED_TRACE(stems[kind]);
    mark();
    reply(std::to_string(10 + kind) + "\n");
    ViInt32 count = 0;
    EXPECT_EQ(VI_SUCCESS, kavrel_readMax(vi_, kind, &count));
    EXPECT_EQ(10 + kind, count);
    EXPECT_EQ(checked({std::string(":") + stems[kind] + ":MAX?"}), writes());
  }
  ViInt32 count = 3;
  mark();
  reply("many\n");
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_readMax(vi_, 3, &count));
  EXPECT_EQ(3, count);
  EXPECT_EQ((Writes{":SCAL:MEM:MAX?"}), writes());
}

TEST_F(Trace, ReadingArgumentErrorsTouchNothing) {
  open();
  ViReal64 reading = kUntouched;
  ViInt32 count = 3;
  struct Case {
    const char* name;
    ViStatus status;
    ViStatus expected;
  } cases[] = {
      {"reading kind 3", kavrel_routData(vi_, 3, &reading), VI_ERROR_PARAMETER2},
      {"reading kind -1", kavrel_routData(vi_, -1, &reading), VI_ERROR_PARAMETER2},
      {"kind before null", kavrel_routData(vi_, 3, VI_NULL), VI_ERROR_PARAMETER2},
      {"null reading", kavrel_routData(vi_, 0, VI_NULL), VI_ERROR_PARAMETER3},
      {"store kind 6", kavrel_readMax(vi_, 6, &count), VI_ERROR_PARAMETER2},
      {"store kind -1", kavrel_readMax(vi_, -1, &count), VI_ERROR_PARAMETER2},
      {"null count", kavrel_readMax(vi_, 0, VI_NULL), VI_ERROR_PARAMETER3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, c.status);
  }
  EXPECT_EQ(0u, allCalls());
  EXPECT_EQ(kUntouched, reading);
  EXPECT_EQ(3, count);
}

}  // namespace
}  // namespace kavrel::test
