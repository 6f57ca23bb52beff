#include "tests/support/driver_fixture.h"

#include <cstring>

namespace kavrel::test {

Writes checked(Writes lines) {
  lines.emplace_back("*ESR?");
  lines.emplace_back("*ESR?");
  return lines;
}

std::string floatBlock(const std::vector<float>& values) {
  std::string block = "#0";
  for (float value : values) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 24; shift >= 0; shift -= 8) block.push_back(static_cast<char>((bits >> shift) & 0xFF));
  }
  return block;
}

void DriverTest::SetUp() {
  standin_reset();
  mark();
}

void DriverTest::TearDown() {
  if (vi_ != VI_NULL) kavrel_close(vi_);
  vi_ = VI_NULL;
  standin_reset();
}

void DriverTest::open(ViInt32 model, ViInt32 options) {
  std::string identity = "OVR," + std::to_string(model) + ",100001,1.00\n";
  reply(identity);
  reply(std::to_string(options) + "\n");
  ASSERT_EQ(VI_SUCCESS, kavrel_init(const_cast<ViRsrc>(kResource), VI_FALSE, VI_FALSE, &vi_));
  mark();
}

void DriverTest::reopen(ViInt32 model, ViInt32 options) {
  if (vi_ != VI_NULL) kavrel_close(vi_);
  vi_ = VI_NULL;
  standin_reset();
  open(model, options);
}

void DriverTest::replies(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) reply(text);
}

Writes DriverTest::writes() const {
  Writes out;
  for (std::size_t i = writesAtMark_; i < standin_write_count(); ++i) {
    std::size_t len = 0;
    const char* data = standin_written(i, &len);
    out.emplace_back(data, len);
  }
  return out;
}

void DriverTest::mark() {
  writesAtMark_ = standin_write_count();
  for (int op = 0; op < STANDIN_OP_COUNT; ++op) callsAtMark_[op] = standin_calls(static_cast<standin_op>(op));
}

unsigned DriverTest::allCalls() const {
  unsigned total = 0;
  for (int op = 0; op < STANDIN_OP_COUNT; ++op) total += calls(static_cast<standin_op>(op));
  return total;
}

void DriverTest::expectSent(const std::vector<SentCase>& cases) {
  for (const SentCase& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    EXPECT_EQ(VI_SUCCESS, c.call(vi_));
    EXPECT_EQ(c.wire, writes());
  }
}

void DriverTest::expectSettings(std::vector<SentCase> cases) {
  for (SentCase& c : cases) c.wire = checked(std::move(c.wire));
  expectSent(cases);
}

void DriverTest::expectRefused(const std::vector<RefusedCase>& cases) {
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    EXPECT_EQ(c.expected, c.call(vi_));
    EXPECT_EQ(0u, allCalls());
  }
}

void DriverTest::expectCalls(const std::vector<CallCase>& cases) {
  for (const CallCase& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    replies(c.replies);
    EXPECT_EQ(c.expected, c.call(vi_));
    EXPECT_EQ(c.wire, writes());
  }
}

void DriverTest::expectFailures(const std::vector<FailureCase>& cases, std::string_view answer) {
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    reopen();
    reply(answer);
    fail(c.op, c.nth, VI_ERROR_IO);
    EXPECT_EQ(VI_ERROR_IO, c.call(vi_));
    EXPECT_EQ(c.wire, writes());
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  }
  reopen();
}

}  // namespace kavrel::test
