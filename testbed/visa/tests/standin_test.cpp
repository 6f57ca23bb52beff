// The VISA stand-in called directly: sessions, attributes, basic and
// formatted I/O against the scripted instrument, fault injection, texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "testbed/visa/standin.h"

namespace {

std::vector<std::string> writtenMessages() {
  std::vector<std::string> messages;
  for (size_t i = 0; i < standin_write_count(); ++i) {
    size_t len = 0;
    const char* data = standin_written(i, &len);
    messages.emplace_back(data, len);
  }
  return messages;
}

void queueReply(const std::string& bytes) { standin_reply(bytes.data(), bytes.size()); }

// Bytes around a target that a conversion must leave alone.
constexpr unsigned char kGuard = 0xA5;

template <size_t N>
bool guardsIntact(const std::array<unsigned char, N>& bytes, size_t from, size_t to) {
  for (size_t i = 0; i < N; ++i) {
    if ((i < from || i >= to) && bytes[i] != kGuard) return false;
  }
  return true;
}

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    standin_reset();
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm_, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi_), VI_SUCCESS);
  }
  void TearDown() override { standin_reset(); }

  // Buffer modes as the driver sets them.
  void flushOnAccess() {
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
    ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
  }

  ViSession rm_ = 0;
  ViSession vi_ = 0;
};

// ---- basic I/O ------------------------------------------------------------

TEST_F(StandinTest, ReadEndsAtEndOrCount) {
  struct Step {
    ViUInt32 count;
    ViStatus status;
    std::string bytes;
  };
  struct Case {
    const char* name;
    std::vector<std::string> replies;
    std::vector<Step> reads;
  };
  const std::vector<Case> cases = {
      {"whole message", {"4101\n"}, {{512, VI_SUCCESS, "4101\n"}}},
      {"exactly count with END is success", {"4101\n"}, {{5, VI_SUCCESS, "4101\n"}}},
      {"longer message continues", {"ABCDEFGH"}, {{3, VI_SUCCESS_MAX_CNT, "ABC"}, {3, VI_SUCCESS_MAX_CNT, "DEF"}, {3, VI_SUCCESS, "GH"}}},
      {"one message per read", {"A\n", "B\n"}, {{512, VI_SUCCESS, "A\n"}, {512, VI_SUCCESS, "B\n"}}},
      {"empty message", {""}, {{16, VI_SUCCESS, ""}}},
      {"nothing queued times out", {}, {{16, VI_ERROR_TMO, ""}}},
      {"queue runs dry", {"X"}, {{16, VI_SUCCESS, "X"}, {16, VI_ERROR_TMO, ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    standin_reset();
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm_, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi_), VI_SUCCESS);
    for (const std::string& reply : c.replies) queueReply(reply);
    for (const Step& step : c.reads) {
      std::vector<ViByte> buf(step.count + 4, kGuard);
      ViUInt32 received = 12345;
      EXPECT_EQ(viRead(vi_, buf.data(), step.count, &received), step.status);
      EXPECT_EQ(std::string(buf.begin(), buf.begin() + received), step.bytes);
      EXPECT_EQ(buf[received], kGuard);  // no terminator added
    }
  }
}

TEST_F(StandinTest, ReadStopsAtTermCharOnlyWhenEnabled) {
  queueReply("1,2\n3");
  ViByte buf[16];
  ViUInt32 received = 0;
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  EXPECT_EQ(viRead(vi_, buf, sizeof buf, &received), VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(received, 4U);
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);
  EXPECT_EQ(viRead(vi_, buf, sizeof buf, VI_NULL), VI_SUCCESS);
  EXPECT_EQ(buf[0], '3');
}

// Every read size: pieces end at a line feed, at the count, or at END, and
// together give the message back byte for byte.
TEST_F(StandinTest, TermCharReadsInEverySizeGiveTheMessageBack) {
  const std::string message = "1,2\n\n34\n5";
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE), VI_SUCCESS);
  for (ViUInt32 count = 1; count <= message.size() + 1; ++count) {
    SCOPED_TRACE(count);
    queueReply(message);
    std::string joined;
    ViStatus status = VI_SUCCESS_MAX_CNT;
    while (status != VI_SUCCESS && joined.size() <= message.size()) {
      std::vector<ViByte> buf(count);
      ViUInt32 received = 0;
      status = viRead(vi_, buf.data(), count, &received);
      const std::string piece(buf.begin(), buf.begin() + received);
      joined += piece;
      const ViStatus expected = joined.size() == message.size() ? VI_SUCCESS
                                : piece.back() == '\n'        ? VI_SUCCESS_TERM_CHAR
                                                               : VI_SUCCESS_MAX_CNT;
      ASSERT_EQ(status, expected) << piece;
      ASSERT_TRUE(received == count || piece.back() == '\n' || status == VI_SUCCESS) << piece;
    }
    EXPECT_EQ(joined, message);
  }
}

TEST_F(StandinTest, WriteIsOneMessageEndedByEnd) {
  const char first[] = ":SOUR:FREQ 1.5E9\n";
  ViUInt32 sent = 0;
  EXPECT_EQ(viWrite(vi_, reinterpret_cast<ViConstBuf>(first), sizeof first - 1, &sent), VI_SUCCESS);
  EXPECT_EQ(sent, sizeof first - 1);
  // Without END the instrument waits for the rest of the message.
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_SEND_END_EN, VI_FALSE), VI_SUCCESS);
  EXPECT_EQ(viWrite(vi_, reinterpret_cast<ViConstBuf>("*C"), 2, VI_NULL), VI_SUCCESS);
  EXPECT_EQ(standin_write_count(), 1U);
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_SEND_END_EN, VI_TRUE), VI_SUCCESS);
  EXPECT_EQ(viWrite(vi_, reinterpret_cast<ViConstBuf>("LS"), 2, VI_NULL), VI_SUCCESS);
  EXPECT_EQ(writtenMessages(), (std::vector<std::string>{first, "*CLS"}));
}

// ---- formatted writes -----------------------------------------------------

TEST_F(StandinTest, PrintfConversions) {
  flushOnAccess();
  struct Case {
    const char* name;
    std::function<ViStatus(ViSession)> call;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"text unchanged", [](ViSession vi) { return viPrintf(vi, "%s", ":SYST:PRES"); }, ":SYST:PRES"},
      {"integers", [](ViSession vi) { return viPrintf(vi, "%d,%ld,%hd,%i", -7, static_cast<ViInt32>(2147483647), static_cast<short>(-2), 0); }, "-7,2147483647,-2,0"},
      {"64-bit integer", [](ViSession vi) { return viPrintf(vi, "%lld", -9000000000LL); }, "-9000000000"},
      {"fixed point", [](ViSession vi) { return viPrintf(vi, "%f;%.1f;%.3f", 1.5, 2.25, -0.0005); }, "1.500000;2.2;-0.001"},
      {"exponent", [](ViSession vi) { return viPrintf(vi, "%e|%.9E", 1.5e9, -2.0); }, "1.500000e+09|-2.000000000E+00"},
      {"general", [](ViSession vi) { return viPrintf(vi, "%g %g", 0.0001, 1e20); }, "0.0001 1e+20"},
      {"hex padded", [](ViSession vi) { return viPrintf(vi, "%08X %x %#x", 0xBEEFu, 255u, 16u); }, "0000BEEF ff 0x10"},
      {"width and flags", [](ViSession vi) { return viPrintf(vi, "[%5d][%-5d][%+d][%05d][%*s]", 42, 42, 42, -42, 4, "ab"); }, "[   42][42   ][+42][-0042][  ab]"},
      {"precision of text", [](ViSession vi) { return viPrintf(vi, "%.3s|%c%%", "ABCDEF", 'Z'); }, "ABC|Z%"},
      {"raw array big-endian", [](ViSession vi) { const ViInt16 v[2] = {0x0102, -2}; return viPrintf(vi, "%2hy", v); }, std::string("\x01\x02\xFF\xFE", 4)},
      {"raw array little-endian, count argument", [](ViSession vi) { const ViInt32 v[1] = {0x01020304}; return viPrintf(vi, "%*!olly", 1, v); }, std::string("\x04\x03\x02\x01", 4)},
      {"definite block", [](ViSession vi) { const ViByte v[3] = {'a', 'b', 'c'}; return viPrintf(vi, "%3b", v); }, "#13abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    standin_reset();
    ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
    ASSERT_EQ(viOpen(rm_, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi_), VI_SUCCESS);
    flushOnAccess();
    EXPECT_EQ(c.call(vi_), VI_SUCCESS);
    EXPECT_EQ(writtenMessages(), std::vector<std::string>{c.expected});
  }
}

TEST_F(StandinTest, PrintfNumbersIgnoreTheLocale) {
  flushOnAccess();
  const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  EXPECT_EQ(viPrintf(vi_, "%f", 1.25), VI_SUCCESS);
  if (previous != nullptr) std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(writtenMessages(), std::vector<std::string>{"1.250000"});
}

TEST_F(StandinTest, LineFeedInTheFormatEndsTheMessage) {
  // A line feed in the format sends END; one inside a %s argument does not.
  EXPECT_EQ(viPrintf(vi_, "*RST\n*CLS\n%s", "A\nB"), VI_SUCCESS);
  EXPECT_EQ(writtenMessages(), (std::vector<std::string>{"*RST\n", "*CLS\n"}));
  EXPECT_EQ(viFlush(vi_, VI_WRITE_BUF), VI_SUCCESS);
  EXPECT_EQ(writtenMessages(), (std::vector<std::string>{"*RST\n", "*CLS\n", "A\nB"}));
  EXPECT_EQ(viPrintf(vi_, "X\\nY\\n"), VI_SUCCESS);  // the escape sequence counts as a line feed too
  EXPECT_EQ(writtenMessages().back(), "Y\n");
}

TEST_F(StandinTest, WriteBufferModes) {
  // Flush-when-full keeps the text until the buffer is flushed.
  EXPECT_EQ(viPrintf(vi_, "%s", ":SCAL:DATA:BIN?"), VI_SUCCESS);
  EXPECT_EQ(standin_write_count(), 0U);
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
  EXPECT_EQ(viPrintf(vi_, "%s", ";*WAI"), VI_SUCCESS);
  EXPECT_EQ(writtenMessages(), std::vector<std::string>{":SCAL:DATA:BIN?;*WAI"});
  // Text longer than the buffer still reaches the instrument as one message.
  ASSERT_EQ(viSetBuf(vi_, VI_READ_BUF | VI_WRITE_BUF, 4000), VI_SUCCESS);
  const std::string longLine(9001, 'L');
  EXPECT_EQ(viPrintf(vi_, "%s", longLine.c_str()), VI_SUCCESS);
  EXPECT_EQ(writtenMessages().back(), longLine);
  EXPECT_EQ(standin_write_count(), 2U);
}

TEST_F(StandinTest, BadWriteFormatSendsNothing) {
  flushOnAccess();
  EXPECT_EQ(viPrintf(vi_, "ABC%q"), VI_ERROR_INV_FMT);
  EXPECT_EQ(viPrintf(vi_, "ABC\n%s", static_cast<const char*>(nullptr)), VI_ERROR_USER_BUF);
  EXPECT_EQ(viPrintf(vi_, "%,5d", 1), VI_ERROR_NSUP_FMT);
  EXPECT_EQ(standin_write_count(), 0U);
}

// ---- formatted reads ----------------------------------------------------------

TEST_F(StandinTest, ScanIntegersStoreTheirOwnSize) {
  flushOnAccess();
  struct Case {
    const char* reply;
    const char* format;
    size_t size;  // bytes the conversion may write
    long long expected;
  };
  const std::vector<Case> cases = {
      {"-123\n", "%ld", 4, -123},
      {"2147483648\n", "%ld", 4, 2147483647},  // saturates
      {"-7\n", "%hd", 2, -7},
      {"70000\n", "%hd", 2, 32767},
      {"1.5E+00\n", "%hd", 2, 2},  // 488.2 rounding
      {"-2.5\n", "%d", 4, -3},
      {"#H1F\n", "%d", 4, 31},
      {"#B101\n", "%ld", 4, 5},
      {"  +42 \n", "%d", 4, 42},
      {"9000000000\n", "%lld", 8, 9000000000LL},
      {"ff\n", "%x", 4, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " on " + c.reply);
    standin_reply_text(c.reply);
    alignas(8) std::array<unsigned char, 24> bytes;
    bytes.fill(kGuard);
    ASSERT_EQ(viScanf(vi_, c.format, bytes.data() + 8), VI_SUCCESS);
    long long value = 0;
    if (c.size == 2) { ViInt16 v; std::memcpy(&v, bytes.data() + 8, 2); value = v; }
    if (c.size == 4) { ViInt32 v; std::memcpy(&v, bytes.data() + 8, 4); value = v; }
    if (c.size == 8) { ViInt64 v; std::memcpy(&v, bytes.data() + 8, 8); value = v; }
    EXPECT_EQ(value, c.expected);
    EXPECT_TRUE(guardsIntact(bytes, 8, 8 + c.size));
  }
}

TEST_F(StandinTest, ScanReals) {
  flushOnAccess();
  standin_reply_text("1.5E9,-2.25,INF\n");
  float single = 0;
  double dbl = 0;
  long double ld = 0;
  ASSERT_EQ(viScanf(vi_, "%f,%lf,%Lf", &single, &dbl, &ld), VI_SUCCESS);
  EXPECT_EQ(single, 1.5e9F);
  EXPECT_EQ(dbl, -2.25);
  EXPECT_TRUE(std::isinf(ld));
}

TEST_F(StandinTest, ScanErrorQueueEntry) {
  flushOnAccess();
  struct Case {
    const char* reply;
    const char* format;
    ViInt32 code;
    std::string text;
    size_t bytesWritten;  // text bytes stored, NUL included
  };
  const std::vector<Case> cases = {
      {"-113,\"Undefined header\"\n", "%ld,\"%[^\"]", -113, "Undefined header", 17},
      {"0,\"No error\"\n", "%ld,\"%[^\"]", 0, "No error", 9},
      {"-222,\"\"\n", "%ld,\"%[^\"]", -222, "", 1},
      // the width counts the NUL; the rest of the field is read and dropped
      {"-100,\"Command error\"\n", "%ld,\"%6[^\"]\"", -100, "Comma", 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    standin_reply_text(c.reply);
    ViInt32 code = 99;
    std::array<unsigned char, 40> text;
    text.fill(kGuard);
    ASSERT_EQ(viScanf(vi_, c.format, &code, text.data()), VI_SUCCESS);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text.data())), c.text);
    EXPECT_TRUE(guardsIntact(text, 0, c.bytesWritten));
  }
}

TEST_F(StandinTest, ScanTraceBlockOfBigEndianFloats) {
  flushOnAccess();
  // "#0" then 1.0f, -2.0f, 0.5f most significant byte first, then LF and END.
  const std::string block = std::string("#0") + std::string("\x3F\x80\x00\x00\xC0\x00\x00\x00\x3F\x00\x00\x00", 12) + "\n";
  struct Case {
    ViInt32 capacity;
    ViInt32 count;
  };
  for (const Case c : {Case{8, 3}, Case{3, 3}, Case{2, 2}, Case{0, 0}}) {
    SCOPED_TRACE(c.capacity);
    queueReply(block);
    std::array<float, 8> values;
    values.fill(99.0F);
    ViInt32 count = c.capacity;
    ASSERT_EQ(viScanf(vi_, "#0%#zy", &count, values.data()), VI_SUCCESS);
    EXPECT_EQ(count, c.count);
    const std::array<float, 3> expected = {1.0F, -2.0F, 0.5F};
    for (ViInt32 i = 0; i < 8; ++i) EXPECT_EQ(values[i], i < c.count ? expected[i] : 99.0F) << i;
    EXPECT_EQ(standin_write_count(), 0U);
  }
  // Each call ended with an empty read buffer: the next reply is read afresh.
  standin_reply_text("5\n");
  ViInt32 n = 0;
  EXPECT_EQ(viScanf(vi_, "%ld", &n), VI_SUCCESS);
  EXPECT_EQ(n, 5);
}

// A trace block read through formatted-read buffers of every small size and
// the driver's 4000 bytes: values split across two reads from the device
// decode like the rest, and nothing beyond the capacity is written.
TEST_F(StandinTest, TraceBlockDecodesAcrossReadBufferBoundaries) {
  flushOnAccess();
  std::vector<float> sent(1600);
  std::string block = "#0";
  for (std::size_t i = 0; i < sent.size(); ++i) {
    sent[i] = static_cast<float>(i) * -0.5F + 3.25F;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &sent[i], 4);
    for (int shift = 24; shift >= 0; shift -= 8) block.push_back(static_cast<char>(bits >> shift));
  }
  for (ViUInt32 size : {1U, 3U, 5U, 7U, 64U, 4000U, 4001U}) {
    for (ViInt32 capacity : {1600, 801}) {
      SCOPED_TRACE(testing::Message() << size << " " << capacity);
      ASSERT_EQ(viSetBuf(vi_, VI_READ_BUF, size), VI_SUCCESS);
      queueReply(block + "\xC1");  // a partial value at the end is dropped
      std::vector<float> values(1601, 99.0F);
      ViInt32 count = capacity;
      ASSERT_EQ(viScanf(vi_, "#0%#zy", &count, values.data()), VI_SUCCESS);
      ASSERT_EQ(count, capacity);
      EXPECT_TRUE(std::equal(values.begin(), values.begin() + capacity, sent.begin()));
      EXPECT_EQ(values[static_cast<std::size_t>(capacity)], 99.0F);
    }
  }
}

TEST_F(StandinTest, ScanRawArraysAndBlocks) {
  flushOnAccess();
  queueReply(std::string("\x00\x00\x01\x00\xFF\xFF\xFF\xFF", 8));
  std::array<ViInt32, 3> longs = {7, 7, 7};
  ViInt32 count = 3;
  ASSERT_EQ(viScanf(vi_, "%#ly", &count, longs.data()), VI_SUCCESS);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(longs, (std::array<ViInt32, 3>{256, -1, 7}));

  queueReply(std::string("\x01\x00\x02\x00", 4));
  std::array<ViInt16, 2> shorts = {};
  ASSERT_EQ(viScanf(vi_, "%2!olhy", shorts.data()), VI_SUCCESS);
  EXPECT_EQ(shorts, (std::array<ViInt16, 2>{1, 2}));

  queueReply(std::string("#15ABCDE\n", 9));
  std::array<char, 4> bytes = {};
  count = 3;
  ASSERT_EQ(viScanf(vi_, "%#b", &count, bytes.data()), VI_SUCCESS);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(std::string(bytes.data(), 4), std::string("ABC\0", 4));
}

TEST_F(StandinTest, ScanTextConversions) {
  flushOnAccess();
  struct Case {
    const char* reply;
    const char* format;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"  OVR,4101,1\n", "%s", "OVR,4101,1"},
      {"ABCDEFGH IJ\n", "%4s", "ABC"},
      {"line one\nline two\n", "%T", "line one\n"},
      {"all of it\nto END", "%t", "all of it\nto END"},
      {"SCAL,3\n", "%*[A-Z],%s", "3"},
      {"xyz\n", "%2c", "xy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " on " + c.reply);
    standin_reply_text(c.reply);
    char text[64] = {};
    ASSERT_EQ(viScanf(vi_, c.format, text), VI_SUCCESS);
    EXPECT_EQ(std::string(text), c.text);
  }
}

TEST_F(StandinTest, ScanStopsAtEndOrMismatchLeavingLaterTargets) {
  flushOnAccess();
  struct Case {
    const char* reply;
    const char* format;
    ViInt32 first;
    ViInt32 second;
  };
  const std::vector<Case> cases = {
      {"123\n", "%ld%ld", 123, -1},     // END before the second number
      {"12;34\n", "%ld,%ld", 12, -1},   // a literal that does not match
      {"AB\n", "%ld%ld", -1, -1},       // no number at all
      {"5 , 6\n", "%ld , %ld", 5, 6},   // blanks in the format match any blanks
      {"5,6\n", "%ld , %ld", 5, 6},     // ...or none
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format) + " on " + c.reply);
    standin_reply_text(c.reply);
    ViInt32 first = -1;
    ViInt32 second = -1;
    EXPECT_EQ(viScanf(vi_, c.format, &first, &second), VI_SUCCESS);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(second, c.second);
  }
}

TEST_F(StandinTest, ReadBufferKeepsLeftoversUnlessFlushedOnAccess) {
  standin_reply_text("1,2\n");
  standin_reply_text("3\n");
  ViInt32 value = 0;
  ASSERT_EQ(viScanf(vi_, "%ld", &value), VI_SUCCESS);
  ASSERT_EQ(viScanf(vi_, ",%ld", &value), VI_SUCCESS);  // continues the same reply
  EXPECT_EQ(value, 2);
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
  standin_reply_text("4,5\n");
  ASSERT_EQ(viScanf(vi_, "%ld", &value), VI_SUCCESS);  // leftover "\n" skipped, then "3"
  EXPECT_EQ(value, 3);
  ASSERT_EQ(viScanf(vi_, "%ld", &value), VI_SUCCESS);
  EXPECT_EQ(value, 4);
  EXPECT_EQ(viScanf(vi_, "%ld", &value), VI_ERROR_TMO);  // ",5" was dropped with the buffer
}

TEST_F(StandinTest, FlushOnAccessReadsOnToTheEndOfALongReply) {
  flushOnAccess();
  ASSERT_EQ(viSetBuf(vi_, VI_READ_BUF, 8), VI_SUCCESS);
  queueReply("1,22222222222222222222\n");
  standin_reply_text("3\n");
  ViInt32 value = 0;
  ASSERT_EQ(viScanf(vi_, "%ld", &value), VI_SUCCESS);
  ASSERT_EQ(viScanf(vi_, "%ld", &value), VI_SUCCESS);
  EXPECT_EQ(value, 3);
}

TEST_F(StandinTest, QueryWritesThenReadsAndEsrHasItsOwnQueue) {
  flushOnAccess();
  standin_reply_text("4101\n");
  standin_esr(32);
  ViInt32 model = 0;
  ViInt32 esr = -1;
  EXPECT_EQ(viQueryf(vi_, "%s\n", "%ld", "*OPT?", &model), VI_SUCCESS);
  EXPECT_EQ(viQueryf(vi_, "*ESR?\n", "%ld", &esr), VI_SUCCESS);
  EXPECT_EQ(esr, 32);
  EXPECT_EQ(viQueryf(vi_, "*ESR?", "%ld", &esr), VI_SUCCESS);  // flushed with END without a line feed
  EXPECT_EQ(esr, 0);
  EXPECT_EQ(model, 4101);
  EXPECT_EQ(writtenMessages(), (std::vector<std::string>{"*OPT?\n", "*ESR?\n", "*ESR?"}));
  EXPECT_EQ(standin_calls(STANDIN_QUERYF), 3U);
  EXPECT_EQ(standin_calls(STANDIN_PRINTF), 0U);
}

TEST_F(StandinTest, StringFormatting) {
  ViByte buf[64];
  ASSERT_EQ(viSPrintf(vi_, buf, ":SOUR:POW %.2f;%s\n", -10.0, "ON"), VI_SUCCESS);
  EXPECT_STREQ(reinterpret_cast<char*>(buf), ":SOUR:POW -10.00;ON\n");
  ViInt32 value = 0;
  char word[8] = {};
  ASSERT_EQ(viSScanf(vi_, reinterpret_cast<ViConstBuf>("12,OFF"), "%ld,%s", &value, word), VI_SUCCESS);
  EXPECT_EQ(value, 12);
  EXPECT_STREQ(word, "OFF");
  EXPECT_EQ(standin_write_count(), 0U);
}

// ---- attributes -----------------------------------------------------------

TEST_F(StandinTest, UserDataKeepsAFullPointer) {
  int record = 0;
  void* stored = &stored;
  ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_USER_DATA, &stored), VI_SUCCESS);
  EXPECT_EQ(stored, nullptr);  // nothing stored yet
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_USER_DATA, static_cast<ViAttrState>(reinterpret_cast<uintptr_t>(&record))),
            VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_USER_DATA, &stored), VI_SUCCESS);
  EXPECT_EQ(stored, &record);
  ViSession other = 0;
  ASSERT_EQ(viOpen(rm_, "GPIB0::8::INSTR", VI_NULL, VI_NULL, &other), VI_SUCCESS);
  ASSERT_EQ(viGetAttribute(other, VI_ATTR_USER_DATA, &stored), VI_SUCCESS);
  EXPECT_EQ(stored, nullptr);  // per session
}

TEST_F(StandinTest, GetAttributeWritesExactlyItsSize) {
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 10000), VI_SUCCESS);
  ASSERT_EQ(viSetAttribute(vi_, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS), VI_SUCCESS);
  ASSERT_EQ(viSetBuf(vi_, VI_READ_BUF | VI_WRITE_BUF, 4000), VI_SUCCESS);
  struct Case {
    ViAttr attr;
    size_t size;
    ViUInt64 value;
  };
  const std::vector<Case> cases = {
      {VI_ATTR_TMO_VALUE, 4, 10000},
      {VI_ATTR_RM_SESSION, 4, rm_},
      {VI_ATTR_WR_BUF_OPER_MODE, 2, VI_FLUSH_ON_ACCESS},
      {VI_ATTR_RD_BUF_OPER_MODE, 2, VI_FLUSH_DISABLE},
      {VI_ATTR_WR_BUF_SIZE, 4, 4000},
      {VI_ATTR_RD_BUF_SIZE, 4, 4000},
      {VI_ATTR_TERMCHAR, 1, '\n'},
      {VI_ATTR_SEND_END_EN, 2, VI_TRUE},
      {VI_ATTR_USER_DATA_64, 8, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attr);
    std::array<unsigned char, 16> bytes;
    bytes.fill(kGuard);
    ASSERT_EQ(viGetAttribute(vi_, c.attr, bytes.data() + 4), VI_SUCCESS);
    ViUInt64 value = 0;
    std::memcpy(&value, bytes.data() + 4, c.size);  // little-endian host
    EXPECT_EQ(value, c.value);
    EXPECT_TRUE(guardsIntact(bytes, 4, 4 + c.size));
  }
}

TEST_F(StandinTest, SetAttributeRefusesWhatItCannotKeep) {
  struct Case {
    ViObject session;
    ViAttr attr;
    ViAttrState value;
    ViStatus status;
  };
  const std::vector<Case> cases = {
      {vi_, VI_ATTR_RM_SESSION, 1, VI_ERROR_ATTR_READONLY},
      {vi_, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_DISABLE, VI_ERROR_NSUP_ATTR_STATE},
      {vi_, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_WHEN_FULL, VI_ERROR_NSUP_ATTR_STATE},
      {vi_, VI_ATTR_TMO_VALUE, 0x100000000ULL, VI_ERROR_NSUP_ATTR_STATE},
      {vi_, VI_ATTR_SEND_END_EN, 2, VI_ERROR_NSUP_ATTR_STATE},
      {vi_, 0x3FFF0FFF, 1, VI_ERROR_NSUP_ATTR},
      {rm_, VI_ATTR_TMO_VALUE, 5, VI_ERROR_NSUP_ATTR},
      {12345678, VI_ATTR_TMO_VALUE, 5, VI_ERROR_INV_OBJECT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attr);
    EXPECT_EQ(viSetAttribute(c.session, c.attr, c.value), c.status);
  }
  ViUInt32 timeout = 0;
  ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 2000U);
}

// ---- sessions ---------------------------------------------------------------

TEST_F(StandinTest, ClosingTheResourceManagerClosesItsSessions) {
  ViSession rm2 = 0;
  ViSession vi2 = 0;
  ASSERT_EQ(viOpenDefaultRM(&rm2), VI_SUCCESS);
  ASSERT_EQ(viOpen(rm2, "ASRL1::INSTR", VI_NULL, VI_NULL, &vi2), VI_SUCCESS);
  EXPECT_EQ(standin_open_sessions(), 4U);
  EXPECT_EQ(viClose(rm_), VI_SUCCESS);
  EXPECT_EQ(standin_open_sessions(), 2U);
  EXPECT_EQ(viWrite(vi_, reinterpret_cast<ViConstBuf>("x"), 1, VI_NULL), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(vi_), VI_ERROR_INV_OBJECT);
  EXPECT_EQ(viClose(VI_NULL), VI_WARN_NULL_OBJECT);
  ViSession reopened = 0;
  ASSERT_EQ(viOpen(rm2, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &reopened), VI_SUCCESS);
  EXPECT_NE(reopened, vi_);  // a stale handle never reaches a new session
}

TEST_F(StandinTest, OpenChoosesTheTransportByResourceName) {
  struct Case {
    const char* name;
    ViStatus status;
  };
  const std::vector<Case> cases = {
      {"GPIB0::7::INSTR", VI_SUCCESS},
      {"ASRL1::INSTR", VI_SUCCESS},
      {"USB0::0x1234::0x5678::SN1::INSTR", VI_SUCCESS},
      {"MyAlias", VI_SUCCESS},
      // network resources go to their transports, which check the name first
      {"TCPIP0::10.0.0.7::hislip0,99999::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP0::1.2.3.4::SOCKET", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP0::192.168.1.5::inst0,99999::INSTR", VI_ERROR_INV_RSRC_NAME},  // VXI-11
      {"TCPIP::host::gpib0,7,::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::bad host::INSTR", VI_ERROR_INV_RSRC_NAME},
      {"TCPIP::host::inst0::INSTR::X", VI_ERROR_INV_RSRC_NAME},
      {"", VI_ERROR_INV_RSRC_NAME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViSession vi = 0;
    EXPECT_EQ(viOpen(rm_, c.name, VI_NULL, VI_NULL, &vi), c.status);
  }
  ViSession vi = 0;
  EXPECT_EQ(viOpen(vi_, "GPIB0::1::INSTR", VI_NULL, VI_NULL, &vi), VI_ERROR_INV_OBJECT);  // not a resource manager
  EXPECT_EQ(viOpen(rm_, "GPIB0::1::INSTR", 3, VI_NULL, &vi), VI_ERROR_INV_ACC_MODE);
}

// viFindRsrc lists instruments announced on the network; a bad expression or
// handle is refused before any search, and an empty search says so.
TEST_F(StandinTest, FindRsrcChecksItsArgumentsAndReportsNothingFound) {
  ViFindList list = 77;
  ViUInt32 count = 77;
  ViChar desc[VI_FIND_BUFLEN] = "untouched";
  EXPECT_EQ(viFindRsrc(rm_, VI_NULL, &list, &count, desc), VI_ERROR_INV_EXPR);
  EXPECT_EQ(viFindRsrc(rm_, "TCPIP[", &list, &count, desc), VI_ERROR_INV_EXPR);
  EXPECT_EQ(viFindRsrc(vi_, "?*", &list, &count, desc), VI_ERROR_INV_OBJECT);  // not a resource manager
  EXPECT_EQ(list, 77U);
  EXPECT_STREQ(desc, "untouched");
  // The scripted instrument is never listed; nothing on the network matches this name.
  EXPECT_EQ(viFindRsrc(rm_, "TCPIP::no-such-instrument::INSTR", &list, &count, desc), VI_ERROR_RSRC_NFOUND);
  EXPECT_EQ(count, 0U);
  EXPECT_EQ(list, static_cast<ViFindList>(VI_NULL));
  EXPECT_EQ(viFindNext(12345, desc), VI_ERROR_INV_OBJECT);
}

// ---- fault injection and call counts ------------------------------------------

TEST_F(StandinTest, InjectedFaultHitsTheNthCallAndDoesNothingElse) {
  flushOnAccess();
  standin_reply_text("1\n");
  standin_fail(STANDIN_WRITE, 2, VI_ERROR_IO);
  standin_fail(STANDIN_READ, 1, VI_ERROR_TMO);
  const auto write = [this] { return viWrite(vi_, reinterpret_cast<ViConstBuf>("A"), 1, VI_NULL); };
  EXPECT_EQ(write(), VI_SUCCESS);
  EXPECT_EQ(write(), VI_ERROR_IO);
  EXPECT_EQ(write(), VI_SUCCESS);
  EXPECT_EQ(standin_write_count(), 2U);
  ViByte buf[8];
  ViUInt32 received = 77;
  EXPECT_EQ(viRead(vi_, buf, sizeof buf, &received), VI_ERROR_TMO);
  EXPECT_EQ(received, 77U);  // untouched
  EXPECT_EQ(viRead(vi_, buf, sizeof buf, &received), VI_SUCCESS);  // the reply is still queued
  EXPECT_EQ(received, 2U);
  EXPECT_EQ(standin_calls(STANDIN_WRITE), 3U);
  EXPECT_EQ(standin_calls(STANDIN_READ), 2U);
}

TEST_F(StandinTest, FaultsCoverEveryCountedOperation) {
  struct Case {
    standin_op op;
    std::function<ViStatus()> call;
  };
  ViSession out = 0;
  ViInt32 value = 0;
  ViChar text[256];
  ViUInt32 timeout = 0;
  const std::vector<Case> cases = {
      {STANDIN_OPEN_DEFAULT_RM, [&] { return viOpenDefaultRM(&out); }},
      {STANDIN_OPEN, [&] { return viOpen(rm_, "GPIB0::1::INSTR", VI_NULL, VI_NULL, &out); }},
      {STANDIN_SET_ATTRIBUTE, [&] { return viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 1); }},
      {STANDIN_GET_ATTRIBUTE, [&] { return viGetAttribute(vi_, VI_ATTR_TMO_VALUE, &timeout); }},
      {STANDIN_SET_BUF, [&] { return viSetBuf(vi_, VI_WRITE_BUF, 100); }},
      {STANDIN_PRINTF, [&] { return viPrintf(vi_, "X\n"); }},
      {STANDIN_SCANF, [&] { return viScanf(vi_, "%ld", &value); }},
      {STANDIN_QUERYF, [&] { return viQueryf(vi_, "Q\n", "%ld", &value); }},
      {STANDIN_STATUS_DESC, [&] { return viStatusDesc(vi_, VI_SUCCESS, text); }},
      {STANDIN_OTHER, [&] { return viFlush(vi_, VI_WRITE_BUF); }},
      {STANDIN_CLOSE, [&] { return viClose(vi_); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    standin_fail(c.op, 1, VI_ERROR_SYSTEM_ERROR);
    const unsigned before = standin_open_sessions();
    const unsigned calls = standin_calls(c.op);
    EXPECT_EQ(c.call(), VI_ERROR_SYSTEM_ERROR);
    EXPECT_EQ(standin_calls(c.op), calls + 1);
    EXPECT_EQ(standin_open_sessions(), before);
  }
  EXPECT_EQ(standin_write_count(), 0U);
}

TEST_F(StandinTest, ResetForgetsEverything) {
  standin_reply_text("1\n");
  standin_esr(4);
  standin_fail(STANDIN_READ, 1, VI_ERROR_IO);
  ASSERT_EQ(viWrite(vi_, reinterpret_cast<ViConstBuf>("A"), 1, VI_NULL), VI_SUCCESS);
  standin_reset();
  EXPECT_EQ(standin_open_sessions(), 0U);
  EXPECT_EQ(standin_write_count(), 0U);
  EXPECT_EQ(standin_written(0, nullptr), nullptr);
  EXPECT_EQ(standin_calls(STANDIN_WRITE), 0U);
  ASSERT_EQ(viOpenDefaultRM(&rm_), VI_SUCCESS);
  ASSERT_EQ(viOpen(rm_, "GPIB0::7::INSTR", VI_NULL, VI_NULL, &vi_), VI_SUCCESS);
  ViByte buf[8];
  EXPECT_EQ(viRead(vi_, buf, sizeof buf, VI_NULL), VI_ERROR_TMO);  // no reply, no fault
  ViInt32 esr = -1;
  EXPECT_EQ(viQueryf(vi_, "*ESR?\n", "%ld", &esr), VI_SUCCESS);
  EXPECT_EQ(esr, 0);
}

// ---- status texts and events ----------------------------------------------------

TEST_F(StandinTest, StatusTexts) {
  struct Case {
    ViStatus status;
    ViStatus result;
    const char* text;
  };
  const std::vector<Case> cases = {
      {VI_SUCCESS, VI_SUCCESS, "Operation completed successfully."},
      {VI_SUCCESS_MAX_CNT, VI_SUCCESS, "The number of bytes transferred is equal to the requested input count. More data may be available."},
      {VI_ERROR_TMO, VI_SUCCESS, "Timeout expired before operation completed."},
      {VI_ERROR_SYSTEM_ERROR, VI_SUCCESS, "Unknown system error (miscellaneous error)."},
      {static_cast<ViStatus>(0xBFFF00A8U), VI_SUCCESS, "Access to the resource or remote machine is denied. This is due to lack of sufficient privileges for the current user or machine"},
      {VI_ERROR_NIMPL_OPER, VI_SUCCESS, "The given operation is not implemented."},
      {static_cast<ViStatus>(0xBFFC09F0U), VI_WARN_UNKNOWN_STATUS, "Unknown status value 0xBFFC09F0"},
      {0x3FFF0FFF, VI_WARN_UNKNOWN_STATUS, "Unknown status value 0x3FFF0FFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ViChar text[256] = {};
    EXPECT_EQ(viStatusDesc(rm_, c.status, text), c.result);
    EXPECT_STREQ(text, c.text);
  }
}

ViStatus countEvent(ViSession, ViEventType, ViEvent, ViAddr userHandle) {
  ++*static_cast<int*>(userHandle);
  return VI_SUCCESS;
}

TEST_F(StandinTest, EventsReachInstalledHandlers) {
  int calls = 0;
  EXPECT_EQ(standin_event(vi_, VI_EVENT_SERVICE_REQ), VI_ERROR_HNDLR_NINSTALLED);
  ASSERT_EQ(viInstallHandler(vi_, VI_EVENT_SERVICE_REQ, countEvent, &calls), VI_SUCCESS);
  EXPECT_EQ(standin_event(vi_, VI_EVENT_SERVICE_REQ), VI_SUCCESS);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(viUninstallHandler(vi_, VI_EVENT_SERVICE_REQ, countEvent, &calls), VI_SUCCESS);
  EXPECT_EQ(viUninstallHandler(vi_, VI_EVENT_SERVICE_REQ, countEvent, &calls), VI_ERROR_INV_HNDLR_REF);
}

// ---- fault injection, answerer and trace file -------------------------------

TEST_F(StandinTest, FaultsByOperationNumberAndAfterTheWork) {
  const unsigned before = standin_operations();
  standin_fail_any(2, VI_ERROR_CONN_LOST);  // the second operation of any kind
  EXPECT_EQ(viWrite(vi_, reinterpret_cast<ViConstBuf>("A"), 1, VI_NULL), VI_SUCCESS);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 5), VI_ERROR_CONN_LOST);
  EXPECT_EQ(standin_writes_at_fault(), 1u);
  ViUInt32 timeout = 0;
  ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_NE(timeout, 5u);  // nothing else done
  standin_fail_after(STANDIN_SET_ATTRIBUTE, 1, VI_ERROR_IO);
  EXPECT_EQ(viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 5), VI_ERROR_IO);
  ASSERT_EQ(viGetAttribute(vi_, VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_EQ(timeout, 5u);  // done, yet reported as failed
  EXPECT_EQ(standin_operations() - before, 5u);
}

TEST_F(StandinTest, AnswererRepliesBeforeTheScript) {
  static const std::string kAnswer = "42\n";
  standin_answer(
      [](void*, const char* message, size_t len, size_t* replyLen) -> const void* {
        if (std::string(message, len) != "Q?") return nullptr;
        *replyLen = kAnswer.size();
        return kAnswer.data();
      },
      nullptr);
  queueReply("scripted\n");
  for (const char* message : {"Q?", "*ESR?", "OTHER"})
    ASSERT_EQ(viWrite(vi_, reinterpret_cast<ViConstBuf>(message), std::strlen(message), VI_NULL), VI_SUCCESS);
  for (const char* expected : {"42\n", "0\n", "scripted\n"}) {
    char buf[32] = {};
    ViUInt32 count = 0;
    EXPECT_EQ(viRead(vi_, reinterpret_cast<ViPBuf>(buf), sizeof buf, &count), VI_SUCCESS);
    EXPECT_EQ(std::string(buf, count), expected);
  }
}

// The trace holds every byte exchanged with the instrument: only its owner may read it.
TEST_F(StandinTest, TraceFileIsCreatedForItsOwnerOnly) {
  const std::string path = ::testing::TempDir() + "kavrel_trace_mode_" + std::to_string(::getpid()) + ".log";
  std::remove(path.c_str());
  const mode_t mask = ::umask(0);
  ::setenv("KAVREL_VISA_TRACE", path.c_str(), 1);
  ViSession vi = 0;
  EXPECT_EQ(viOpen(rm_, "GPIB0::8::INSTR", VI_NULL, VI_NULL, &vi), VI_SUCCESS);
  ::unsetenv("KAVREL_VISA_TRACE");
  ::umask(mask);
  ViSession rm = 0;
  ASSERT_EQ(viOpenDefaultRM(&rm), VI_SUCCESS);  // takes the trace off again
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::remove(path.c_str());
}

}  // namespace

// ---- resource names -----------------------------------------------------------

// What clients that parse before they open (PyVISA does) are told of a name.
TEST_F(StandinTest, ParseResourceNames) {
  struct Case {
    const char* name;
    ViStatus status;
    ViUInt16 type, board;
    const char* resourceClass;
  } cases[] = {
      {"TCPIP::127.0.0.1::hislip0,4880::INSTR", VI_SUCCESS, VI_INTF_TCPIP, 0, "INSTR"},
      {"tcpip3::host::5025::socket", VI_SUCCESS, VI_INTF_TCPIP, 3, "SOCKET"},
      {"TCPIP0::host", VI_SUCCESS, VI_INTF_TCPIP, 0, "INSTR"},
      {"GPIB-VXI1::9::INSTR", VI_SUCCESS, VI_INTF_GPIB_VXI, 1, "INSTR"},
      {"GPIB0::7::INSTR", VI_SUCCESS, VI_INTF_GPIB, 0, "INSTR"},
      {"ASRL2::INSTR", VI_SUCCESS, VI_INTF_ASRL, 2, "INSTR"},
      {"USB0::0x1234::0x5678::SN1::INSTR", VI_SUCCESS, VI_INTF_USB, 0, "INSTR"},
      {"TCPIP::host::hislip0,notaport::INSTR", VI_ERROR_INV_RSRC_NAME, 0, 0, ""},
      {"GPIB70000::7::INSTR", VI_ERROR_INV_RSRC_NAME, 0, 0, ""},
      {"GPIBx::7::INSTR", VI_ERROR_INV_RSRC_NAME, 0, 0, ""},
      {"NOSUCH0::1::INSTR", VI_ERROR_INV_RSRC_NAME, 0, 0, ""},
      {"TCPIP0", VI_ERROR_INV_RSRC_NAME, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ViUInt16 type = 99, board = 99;
    ViChar resourceClass[256] = "untouched", expanded[256] = "", alias[256] = "x";
    ASSERT_EQ(c.status, viParseRsrcEx(rm_, c.name, &type, &board, resourceClass, expanded, alias));
    if (c.status < VI_SUCCESS) {
      EXPECT_EQ(99, type);
      EXPECT_STREQ("untouched", resourceClass);
      continue;
    }
    EXPECT_EQ(c.type, type);
    EXPECT_EQ(c.board, board);
    EXPECT_STREQ(c.resourceClass, resourceClass);
    EXPECT_STREQ(c.name, expanded);
    EXPECT_STREQ("", alias);
    ASSERT_EQ(VI_SUCCESS, viParseRsrc(rm_, c.name, &type, &board));
  }
  EXPECT_EQ(VI_ERROR_INV_OBJECT, viParseRsrc(vi_, "GPIB0::7::INSTR", VI_NULL, VI_NULL));
  EXPECT_EQ(VI_ERROR_INV_RSRC_NAME, viParseRsrc(rm_, VI_NULL, VI_NULL, VI_NULL));
}
