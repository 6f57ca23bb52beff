// Reflection readout: trace blocks, calibration descriptions, trace memories.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

constexpr double kUntouched = -999.0;
const std::string kPoints = ":SOUR:SWE:POIN?";
const std::string kBlock = ":REFL:DATA:BIN?";
const std::string kMax = ":REFL:CAL:DATA:MAX?";

// Values 0, 1, 2, ... : point i carries 2i and 2i + 1.
std::vector<float> counting(std::size_t count) {
  std::vector<float> values(count);
  for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<float>(i);
  return values;
}

class ReflData : public DriverTest {};
class ReflMemories : public DriverTest {};

TEST_F(ReflData, TraceIsSplitIntoItsTwoSeriesInOnePass) {
  struct Case {
    const char* name;
    bool first, second;
  } cases[] = {{"both", true, true}, {"first only", true, false}, {"second only", false, true}};
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    reply("3\n");
    reply(floatBlock({1.0f, -10.0f, 0.5f, 2.0f, -0.25f, 4.0f}));
    std::vector<double> first(4, kUntouched), second(4, kUntouched);
    ViInt32 points = -1;
    EXPECT_EQ(VI_SUCCESS, kavrel_reflReadData(vi_, &points, c.first ? first.data() : VI_NULL,
                                              c.second ? second.data() : VI_NULL));
    EXPECT_EQ(3, points);
    EXPECT_EQ(checked({kPoints, kBlock}), writes());
    const std::vector<double> untouched(4, kUntouched);
    const std::vector<double> firsts = {1.0, 0.5, -0.25, kUntouched}, seconds = {-10.0, 2.0, 4.0, kUntouched};
    EXPECT_EQ(c.first ? firsts : untouched, first);
    EXPECT_EQ(c.second ? seconds : untouched, second);
  }
}

TEST_F(ReflData, TraceReadIsBoundedByThePointsAndTheReceiveArea) {
  struct Case {
    const char* points;
    std::size_t sent;      // values the instrument sends
    std::size_t written;   // entries written to each array
    ViInt32 reported;
  } cases[] = {
      {"401\n", 900, 401, 401},               // asked for 802 values, extra ones dropped
      {"800\n", 1600, 800, 800},
      {"1000\n", 2000, 800, 1000},            // never past the 1600-value area
      {"2147483647\n", 1700, 800, 2147483647},  // twice the points does not overflow
      {"5\n", 7, 3, 5},                       // fewer values: whole pairs only
      {"0\n", 4, 0, 0},
      {"-4\n", 4, 0, -4},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.points);
    mark();
    reply(c.points);
    reply(floatBlock(counting(c.sent)));
    std::vector<double> first(1000, kUntouched), second(1000, kUntouched);
    ViInt32 points = 0;
    EXPECT_EQ(VI_SUCCESS, kavrel_reflReadData(vi_, &points, first.data(), second.data()));
    EXPECT_EQ(c.reported, points);
    for (std::size_t i = 0; i < first.size(); ++i) {
      if (i < c.written) {
        ASSERT_EQ(static_cast<double>(2 * i), first[i]) << i;
        ASSERT_EQ(static_cast<double>(2 * i + 1), second[i]) << i;
      } else {
        ASSERT_EQ(kUntouched, first[i]) << i;
        ASSERT_EQ(kUntouched, second[i]) << i;
      }
    }
    // Start afresh: drop what the instrument sent beyond the request.
    reopen();
  }
}

TEST_F(ReflData, TraceWithoutArraysOnlyAsksForThePoints) {
  open();
  reply("401\n");
  ViInt32 points = 0;
  EXPECT_EQ(VI_SUCCESS, kavrel_reflReadData(vi_, &points, VI_NULL, VI_NULL));
  EXPECT_EQ(401, points);
  reply("401\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reflReadData(vi_, VI_NULL, VI_NULL, VI_NULL));
  EXPECT_EQ((Writes{kPoints, "*ESR?", "*ESR?", kPoints, "*ESR?", "*ESR?"}), writes());
}

TEST_F(ReflData, TraceFailures) {
  open();
  double first[2] = {kUntouched, kUntouched};
  // No number: the points read 0 and no block is asked for.
  reply("none\n");
  ViInt32 points = 77;
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, kavrel_reflReadData(vi_, &points, first, VI_NULL));
  EXPECT_EQ(0, points);
  EXPECT_EQ((Writes{kPoints}), writes());
  // The points query fails: its status, points still 0.
  mark();
  points = 77;
  fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
  EXPECT_EQ(VI_ERROR_TMO, kavrel_reflReadData(vi_, &points, first, VI_NULL));
  EXPECT_EQ(0, points);
  // The block query fails: points kept, array untouched, no status check.
  mark();
  reply("1\n");
  fail(STANDIN_QUERYF, 1, VI_ERROR_IO);
  EXPECT_EQ(VI_ERROR_IO, kavrel_reflReadData(vi_, &points, first, VI_NULL));
  EXPECT_EQ(1, points);
  EXPECT_EQ(kUntouched, first[0]);
  EXPECT_EQ(1u, calls(STANDIN_QUERYF));
  // Error bits after the transfer.
  mark();
  reply("1\n");
  reply(floatBlock({3.0f, 4.0f}));
  esr(0);
  esr(0x08);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_reflReadData(vi_, &points, first, VI_NULL));
  EXPECT_EQ(3.0, first[0]);
}

class ReflCalData : public DriverTest {};

TEST_F(ReflCalData, WholeDescription) {
  open();
  replies({"4\n", "1\n", "WG\n", "1999,11,30\n", "9,5,0\n", "FEM\n", "\"Port 1 cal\"\n", "WSOS\n"});
  ViInt32 stores = 0, cable = -1, connector = -1, sex = -1, type = -1;
  char dateTime[72], title[513];
  EXPECT_EQ(VI_SUCCESS, kavrel_reflReadCalData(vi_, 2, &stores, &cable, &connector, dateTime, &sex, title, &type));
  EXPECT_EQ(4, stores);
  EXPECT_EQ(1, cable);
  EXPECT_EQ(3, connector);
  EXPECT_STREQ("30.11.1999;9:5:0", dateTime);
  EXPECT_EQ(2, sex);
  EXPECT_STREQ("\"Port 1 cal\"\n", title);
  EXPECT_EQ(4, type);
  EXPECT_EQ(checked({kMax, ":REFL:CAL:DATA:CABL? 2", ":REFL:CAL:DATA:CONN? 2", ":REFL:CAL:DATA:DATE? 2",
                     ":REFL:CAL:DATA:TIME? 2", ":REFL:CAL:DATA:SEX? 2", ":REFL:CAL:DATA:TITL? 2",
                     ":REFL:CAL:DATA:TYPE? 2"}),
            writes());
}

TEST_F(ReflCalData, KeywordsDecodeToTheFirstRowContained) {
  struct Case {
    const char* reply;
    ViInt32 connector;  // -1: not decodable
  } cases[] = {{"C35\n", 0}, {"CN\n", 1}, {"C7\n", 2}, {"WG\n", 3}, {"USER\n", 4}, {"\"CN\"\n", 1},
               {"C35,CN\n", 0}, {"N\n", -1}, {"\n", -1}, {"c35\n", -1}};
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    mark();
    replies({"1\n", c.reply});
    ViInt32 connector = 99, sex = 99;
    ViStatus status = kavrel_reflReadCalData(vi_, 1, VI_NULL, VI_NULL, &connector, VI_NULL, &sex, VI_NULL, VI_NULL);
    if (c.connector < 0) {
      EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, status);
      EXPECT_EQ(99, connector);
      EXPECT_EQ((Writes{kMax, ":REFL:CAL:DATA:CONN? 1"}), writes());  // stops there
      continue;
    }
    // The sex query finds nothing queued: its time-out ends the call, the connector stays written.
    EXPECT_EQ(VI_ERROR_TMO, status);
    EXPECT_EQ(c.connector, connector);
    EXPECT_EQ(99, sex);
  }
  struct Row {
    const char* sexReply;
    ViInt32 sex;
    const char* typeReply;
    ViInt32 type;
  } rows[] = {{"NEUT\n", 0, "CSOF\n", 0}, {"MALE\n", 1, "CSOS\n", 1}, {"FEM\n", 2, "WSOL\n", 2},
              {"FEM\n", 2, "WS12\n", 3}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.typeReply);
    replies({"1\n", r.sexReply, r.typeReply});
    ViInt32 sex = -1, type = -1;
    EXPECT_EQ(VI_SUCCESS, kavrel_reflReadCalData(vi_, 1, VI_NULL, VI_NULL, VI_NULL, VI_NULL, &sex, VI_NULL, &type));
    EXPECT_EQ(r.sex, sex);
    EXPECT_EQ(r.type, type);
  }
}

TEST_F(ReflCalData, StoreNumberIsCheckedAgainstTheReportedMaximum) {
  struct Case {
    const char* max;
    ViInt32 store;
    ViStatus expected;
  } cases[] = {{"4\n", 0, VI_ERROR_PARAMETER2}, {"4\n", 5, VI_ERROR_PARAMETER2}, {"4\n", 4, VI_SUCCESS},
               {"0\n", 1, VI_ERROR_PARAMETER2}, {"x\n", 1, VI_ERROR_INSTR_INTERPRETING_RESPONSE}};
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.max << c.store);
    mark();
    reply(c.max);
    ViInt32 stores = -7;
    EXPECT_EQ(c.expected, kavrel_reflReadCalData(vi_, c.store, &stores, VI_NULL, VI_NULL, VI_NULL, VI_NULL, VI_NULL,
                                                 VI_NULL));
    if (c.expected == VI_ERROR_INSTR_INTERPRETING_RESPONSE) {
      EXPECT_EQ(-7, stores);
    } else {
      EXPECT_EQ(std::atoi(c.max), stores);  // reported even for a bad store number
    }
    EXPECT_EQ(c.expected == VI_SUCCESS ? checked({kMax}) : Writes{kMax}, writes());
  }
}

TEST_F(ReflCalData, OnlyTheOutputsGivenAreAskedFor) {
  open();
  replies({"3\n", "CSOS\n"});
  ViInt32 type = -1;
  EXPECT_EQ(VI_SUCCESS, kavrel_reflReadCalData(vi_, 3, VI_NULL, VI_NULL, VI_NULL, VI_NULL, VI_NULL, VI_NULL, &type));
  EXPECT_EQ(1, type);
  EXPECT_EQ(checked({kMax, ":REFL:CAL:DATA:TYPE? 3"}), writes());
}

TEST_F(ReflCalData, DateAndTimeText) {
  struct Case {
    const char* date;
    const char* time;
    ViStatus expected;
    const char* text;
  } cases[] = {
      {"2001,1,2\n", "23,59,59\n", VI_SUCCESS, "2.1.2001;23:59:59"},
      {"2001,01,02\n", "00,00,07\n", VI_SUCCESS, "2.1.2001;0:0:7"},  // no leading zeros
      {"-2147483648,-2147483648,-2147483648\n", "-2147483648,-2147483648,-2147483648\n", VI_SUCCESS,
       "-2147483648.-2147483648.-2147483648;-2147483648:-2147483648:-2147483648"},  // the longest: 71 characters
      {"2001,1\n", "1,2,3\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
      {"2001;1;2\n", "1,2,3\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
      {"2001,1,2\n", "1,2\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, nullptr},
  };
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    replies({"1\n", c.date, c.time});
    char text[80];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(c.expected, kavrel_reflReadCalData(vi_, 1, VI_NULL, VI_NULL, VI_NULL, text, VI_NULL, VI_NULL, VI_NULL));
    if (c.text) {
      EXPECT_STREQ(c.text, text);
      EXPECT_LE(std::strlen(text), 71u);
    } else {
      EXPECT_EQ('#', text[0]);
    }
  }
}

TEST_F(ReflCalData, TitleIsCopiedAsReceivedAndNeverPastItsArea) {
  struct Case {
    std::string reply;
    std::size_t length;
  } cases[] = {{"\"\"\n", 3}, {std::string(511, 't') + "\n", 512}, {std::string(700, 't'), 512}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    reopen();
    replies({"1\n", c.reply});
    char title[520];
    std::memset(title, '#', sizeof title);
    ViStatus status = kavrel_reflReadCalData(vi_, 1, VI_NULL, VI_NULL, VI_NULL, VI_NULL, VI_NULL, title, VI_NULL);
    // A title longer than the reply buffer leaves its rest unread, which the
    // status check then cannot take for a number.
    if (c.length < 512 || c.reply.back() == '\n') {
      EXPECT_GE(status, VI_SUCCESS);
    } else {
      EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE, status);
    }
    EXPECT_EQ(c.length, std::strlen(title));
    EXPECT_EQ(0, std::memcmp(title, c.reply.data(), c.length));
    for (std::size_t i = 513; i < sizeof title; ++i) ASSERT_EQ('#', title[i]) << i;
  }
}

TEST_F(ReflCalData, FailureMidWayKeepsEarlierOutputs) {
  open();
  replies({"2\n", "0\n"});
  fail(STANDIN_READ, 3, VI_ERROR_IO);  // the connector's reply
  ViInt32 cable = -1, connector = -1, type = -1;
  EXPECT_EQ(VI_ERROR_IO,
            kavrel_reflReadCalData(vi_, 1, VI_NULL, &cable, &connector, VI_NULL, VI_NULL, VI_NULL, &type));
  EXPECT_EQ(0, cable);
  EXPECT_EQ(-1, connector);
  EXPECT_EQ(-1, type);
  EXPECT_EQ((Writes{kMax, ":REFL:CAL:DATA:CABL? 1", ":REFL:CAL:DATA:CONN? 1"}), writes());
  EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  // A cable reply without a number.
  mark();
  replies({"2\n", "ON\n"});
  EXPECT_EQ(VI_ERROR_INSTR_INTERPRETING_RESPONSE,
            kavrel_reflReadCalData(vi_, 1, VI_NULL, &cable, &connector, VI_NULL, VI_NULL, VI_NULL, &type));
  EXPECT_EQ(0, cable);
  EXPECT_EQ((Writes{kMax, ":REFL:CAL:DATA:CABL? 1"}), writes());
}

TEST_F(ReflMemories, OperationAndMemoryNumber) {
  open();
  expectSent({
      {"save", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_FALSE, 0, 1); },
       checked({":CHAN:ACT 1;:MEAS:ACT 1", ":REFL:MEAS:SAV 1"})},
      {"memory", [](ViSession vi) { return kavrel_reflMem(vi, VI_TRUE, VI_FALSE, 1, 3); },
       checked({":CHAN:ACT 2;:MEAS:ACT 1", ":REFL:MEAS:MEM 3"})},
      {"memory settings", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_TRUE, 2, 4); },
       checked({":CHAN:ACT 1;:MEAS:ACT 2", ":REFL:MEAS:MEM:SETT 4"})},
  });
  expectRefused({
      {"channel", [](ViSession vi) { return kavrel_reflMem(vi, 2, VI_FALSE, 0, 1); }, VI_ERROR_PARAMETER2},
      {"measurement", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, 2, 0, 1); }, VI_ERROR_PARAMETER3},
      {"operation 3", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_FALSE, 3, 1); }, VI_ERROR_PARAMETER4},
      {"operation -1", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_FALSE, -1, 1); }, VI_ERROR_PARAMETER4},
      {"memory 5", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_FALSE, 2, 5); }, VI_ERROR_PARAMETER5},
      {"memory 0", [](ViSession vi) { return kavrel_reflMem(vi, VI_FALSE, VI_FALSE, 2, 0); }, VI_ERROR_PARAMETER5},
  });
}

}  // namespace
}  // namespace kavrel::test
