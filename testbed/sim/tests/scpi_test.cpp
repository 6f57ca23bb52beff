// Program message parsing, header paths, numbers, strings, blocks, framing of
// a raw stream, and reply formatting.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "testbed/sim/scpi.h"

namespace kavrel::sim::scpi {
namespace {

std::string joined(const std::vector<std::string>& nodes) {
  std::string out;
  for (const auto& n : nodes) out += (out.empty() ? "" : ":") + n;
  return out;
}

// Headers of all units, with '?' for queries; the parse error last if any.
std::vector<std::string> headers(std::string_view message) {
  MessageParser parser(message);
  Unit u;
  std::vector<std::string> out;
  while (parser.next(u)) out.push_back((u.common ? "*" : "") + joined(u.nodes) + (u.query ? "?" : ""));
  if (parser.error()) out.push_back(std::to_string(parser.error()));
  return out;
}

TEST(ScpiParser, HeaderPathCarriesOverAfterSemicolon) {
  struct Case {
    std::string message;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {":SOUR:MODE CW;:SOUR:FREQ 1e9;POW:LEV 5", {"SOUR:MODE", "SOUR:FREQ", "SOUR:POW:LEV"}},
      {":SOUR:FREQ:STAR 1;STOP 2", {"SOUR:FREQ:STAR", "SOUR:FREQ:STOP"}},
      {"SOUR:FREQ:STAR 1;STOP 2", {"SOUR:FREQ:STAR", "SOUR:FREQ:STOP"}},
      {":MARK:ACT ON;ACT:ASS 3", {"MARK:ACT", "MARK:ACT:ASS"}},
      {":CHAN:ACT 1;*ESR?;MODE SCAL", {"CHAN:ACT", "*ESR?", "CHAN:MODE"}},
      {":REFL:TDOM:DISP DIST;UNIT METR", {"REFL:TDOM:DISP", "REFL:TDOM:UNIT"}},
      {":sour:freq?;Pow:Lev?", {"SOUR:FREQ?", "SOUR:POW:LEV?"}},
      {":SOUR:FREQ 1\nPOW 2", {"SOUR:FREQ", "POW"}},  // a line feed starts again at the root
      {":SYST:MODE SOUR;", {"SYST:MODE"}},
      {"  *IDN?  \n", {"*IDN?"}},
      {";;*CLS;;", {"*CLS"}},
      {":SOUR:", {"-102"}},
      {"*", {"-102"}},
      {":SOUR:MODE,CW", {"-111"}},
      {":CHAN:ACT 1;:B@D", {"CHAN:ACT", "-111"}},  // units before the error stand
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(headers(c.message), c.expected);
  }
}

TEST(ScpiParser, NumbersInAnyNotationWithSuffixes) {
  struct Case {
    std::string text;
    double value;
  };
  const std::vector<Case> cases = {
      {"1e9", 1e9},           {"8000000000.000000", 8e9}, {"-.5", -0.5},        {"+5", 5.0},
      {"1.5 GHZ", 1.5e9},     {"10MHZ", 10e6},           {"250 ms", 0.25},      {"2.5E-3", 2.5e-3},
      {"1.000000000e+09", 1e9}, {"-15.000", -15.0},      {"#HFF", 255.0},       {"#b101", 5.0},
      {"#Q17", 15.0},         {"3 DBM", 3.0},            {"1 E 3", 1000.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string message = "X " + c.text;
    MessageParser parser(message);
    Unit u;
    ASSERT_TRUE(parser.next(u)) << parser.error();
    ASSERT_EQ(u.params.size(), 1u);
    EXPECT_EQ(u.params[0].kind, Param::Kind::number);
    EXPECT_DOUBLE_EQ(u.params[0].number, c.value);
  }
}

TEST(ScpiParser, ParameterErrors) {
  struct Case {
    std::string message;
    int error;
  };
  const std::vector<Case> cases = {
      {"X 1e", err::invalidSuffix},     {"X 5 FOO", err::invalidSuffix},   {"X 1e999", err::exponentTooLarge},
      {"X 1 2", err::invalidSeparator}, {"X 1,,2", err::missingParameter}, {"X 1,", err::missingParameter},
      {"X \"abc", err::invalidString},  {"X #9123", err::invalidBlock},    {"X #15abc", err::invalidBlock},
      {"X #1A", err::invalidBlock},     {"X #X12", err::invalidBlock},     {"X #H", err::invalidNumber},
      {"X .", err::invalidNumber},      {"X @", err::invalidCharacter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    MessageParser parser(c.message);
    Unit u;
    EXPECT_FALSE(parser.next(u));
    EXPECT_EQ(parser.error(), c.error);
  }
}

TEST(ScpiParser, StringsCharacterDataAndBlocks) {
  const std::string message =
      std::string("X \"a\"\"b\", 'it''s', On, #15h;l,o, #14a\nbc;Y #0") + std::string("\x00\x01\n", 3);
  MessageParser parser(message);
  Unit u;
  ASSERT_TRUE(parser.next(u)) << parser.error();
  ASSERT_EQ(u.params.size(), 5u);
  EXPECT_EQ(u.params[0].kind, Param::Kind::string);
  EXPECT_EQ(u.params[0].text, "a\"b");
  EXPECT_EQ(u.params[1].text, "it's");
  EXPECT_EQ(u.params[2].kind, Param::Kind::character);
  EXPECT_EQ(u.params[2].text, "ON");
  EXPECT_EQ(u.params[3].kind, Param::Kind::block);
  EXPECT_EQ(u.params[3].text, "h;l,o");
  EXPECT_EQ(u.params[4].text, "a\nbc");
  ASSERT_TRUE(parser.next(u)) << parser.error();
  EXPECT_EQ(joined(u.nodes), "Y");  // relative to the root: X had one node
  ASSERT_EQ(u.params.size(), 1u);
  EXPECT_TRUE(u.params[0].indefinite);
  EXPECT_EQ(u.params[0].text, std::string("\x00\x01", 2));  // the terminating line feed is not data
  EXPECT_FALSE(parser.next(u));
  EXPECT_EQ(parser.error(), err::none);
}

TEST(ScpiNodes, ShortLongAndSuffixForms) {
  struct Case {
    std::string pattern, mnemonic;
    std::optional<int> expected;
  };
  const std::vector<Case> cases = {
      {"SOURce", "SOUR", 0},       {"SOURce", "SOURCE", 0},      {"SOURce", "SOURC", std::nullopt},
      {"SOURce", "SOU", std::nullopt}, {"CHANnel#", "CHAN", 0},  {"CHANnel#", "CHANNEL2", 2},
      {"CHANnel#", "CHAN0", -1},   {"CHANnel#", "CHAN99999999999", -1}, {"S11", "S11", 0},
      {"OFF1", "OFF2", std::nullopt}, {"SOURce", "SOUR1", std::nullopt}, {"RESTart", "REST", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern + " " + c.mnemonic);
    EXPECT_EQ(nodeMatch(nodePatternParse(c.pattern), c.mnemonic), c.expected);
  }
}

TEST(ScpiFormat, RepliesReadBackExactly) {
  EXPECT_EQ(formatReal(0.0), "0");
  EXPECT_EQ(formatReal(8e9), "8E+09");
  EXPECT_EQ(formatReal(0.1), "0.1");
  EXPECT_EQ(formatReal(-1.5), "-1.5");
  EXPECT_EQ(formatReal(std::nan("")), "9.91E+37");
  EXPECT_EQ(formatInt(-350), "-350");
  EXPECT_EQ(formatDefiniteBlock("abc"), "#13abc");
  EXPECT_EQ(formatDefiniteBlock(std::string(1000, 'x')).substr(0, 6), "#41000");
  EXPECT_EQ(formatDefiniteBlock(""), "#10");
  EXPECT_EQ(formatString("a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(errorText(-113), "Undefined header");
  EXPECT_EQ(errorEsrBit(-113), 32);
  EXPECT_EQ(errorEsrBit(-222), 16);
  EXPECT_EQ(errorEsrBit(-350), 8);
  EXPECT_EQ(errorEsrBit(-420), 4);
}

TEST(ScpiFramer, SplitsAtLineFeedsOutsideBlockData) {
  struct Case {
    std::vector<std::string> pieces;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {{"A\nB\n"}, {"A", "B"}},
      {{"X #14a\nbc\nY\n"}, {"X #14a\nbc", "Y"}},
      {{"X #", "1", "4a\n", "bc", "\n"}, {"X #14a\nbc"}},           // header and data split over reads
      {{"X 1,#210\n\n\n\n\n\n\n\n\n\n\n"}, {"X 1,#210\n\n\n\n\n\n\n\n\n\n"}},
      {{"X #0ab\ncd\n"}, {"X #0ab", "cd"}},                            // indefinite block ends at the line feed
      {{"X \"#1\"\nY\n"}, {"X \"#1\"", "Y"}},                          // no block inside a string
      {{"X ABC#1\nY\n"}, {"X ABC#1", "Y"}},                            // '#' inside a word starts no block
      {{"partial"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages.empty() ? c.pieces[0] : c.messages[0]);
    LineFramer framer(1024);
    for (const auto& p : c.pieces) framer.feed(p);
    std::vector<std::string> got;
    while (auto m = framer.next()) got.push_back(*m);
    EXPECT_EQ(got, c.messages);
  }
}

TEST(ScpiFramer, DropsAnOverlongMessageAndKeepsTheNext) {
  LineFramer framer(10);
  framer.feed("0123456789ABC\nZ\n");
  EXPECT_EQ(framer.takeOverruns(), 1u);
  EXPECT_EQ(framer.takeOverruns(), 0u);
  auto m = framer.next();
  ASSERT_TRUE(m);
  EXPECT_EQ(*m, "Z");
  EXPECT_FALSE(framer.next());
}

}  // namespace
}  // namespace kavrel::sim::scpi
