// Sessions without END: a serial line here, which the driver treats as it
// treats a raw LAN socket. Every message goes out with a line feed, a reply
// ends at its line feed, and binary data is read by its length, whatever
// 0x0A bytes it holds. Instrument sessions keep their bytes (the family tests).
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/driver_fixture.h"
#include "visa_binding/visa_api.h"

namespace kavrel::test {
namespace {

namespace fs = std::filesystem;

constexpr char kSerial[] = "ASRL1::INSTR";

// The messages as a line-feed session sends them.
Writes lines(Writes messages) {
  for (std::string& message : messages) message += '\n';
  return messages;
}

// Values whose big-endian bytes hold line feeds.
std::vector<float> valuesWithLineFeeds() {
  std::vector<float> values;
  for (std::uint32_t bits : {0x0A0A0A0Au, 0x3F800000u, 0x410A0000u, 0xC1200A0Au, 0x0000000Au}) {
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
  }
  return values;
}

class LineSession : public DriverTest {
 protected:
  // Opens vi_ on `resource`; writes() then shows what init sent.
  ViStatus init(const char* resource) {
    reply("OVR,4101,100001,1.00\n");
    reply("0\n");
    return kavrel_init(const_cast<ViRsrc>(resource), VI_FALSE, VI_FALSE, &vi_);
  }
  ViUInt16 termCharEnabled() {
    ViUInt16 enabled = 0xFFFF;
    EXPECT_EQ(VI_SUCCESS, viGetAttribute(vi_, VI_ATTR_TERMCHAR_EN, &enabled));
    return enabled;
  }
  std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_F(LineSession, InitFramesBySessionKind) {
  struct Case {
    const char* name;
    const char* resource;
    unsigned failingAttributeReads;  // of the resource class and interface
    bool lineFeed;
  } cases[] = {
      {"serial line", kSerial, 0, true},
      {"serial line whose class cannot be read", kSerial, 1, true},
      {"serial line whose class and interface cannot be read", kSerial, 2, false},
      {"GPIB instrument", kResource, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (vi_ != VI_NULL) kavrel_close(vi_);
    vi_ = VI_NULL;
    standin_reset();
    mark();
    for (unsigned nth = 1; nth <= c.failingAttributeReads; ++nth) fail(STANDIN_GET_ATTRIBUTE, nth, VI_ERROR_NSUP_ATTR);
    ASSERT_EQ(VI_SUCCESS, init(c.resource));
    const Writes setup = {"*IDN?", "*OPT?", "*ESR?", "*ESR?", "*CLS;*ESE 1;*SRE 32"};
    EXPECT_EQ(c.lineFeed ? lines(setup) : setup, writes());
    EXPECT_EQ(c.lineFeed ? VI_TRUE : VI_FALSE, termCharEnabled());
  }
}

TEST_F(LineSession, MessagesEndWithALineFeedAndRepliesAtTheirs) {
  ASSERT_EQ(VI_SUCCESS, init(kSerial));
  ViInt32 number = 0;
  ViChar text[256] = {};
  expectCalls({
      {"query", {"7\n"}, [&](ViSession vi) { return kavrel_readMax(vi, 3, &number); }, VI_SUCCESS,
       lines({":SCAL:MEM:MAX?", "*ESR?", "*ESR?"})},
      {"setting", {}, [](ViSession vi) { return kavrel_srcSweepConfig(vi, 401, 0.0); }, VI_SUCCESS,
       lines({":SOUR:SWE:POIN 401", ":SOUR:SWE:AUTO ON", "*ESR?", "*ESR?"})},
      {"error query", {"-222,\"Data out of range\"\n"},
       [&](ViSession vi) { return kavrel_error_query(vi, &number, text); }, VI_SUCCESS, lines({":SYST:ERR?"})},
      {"direct write", {}, [](ViSession vi) { return kavrel_writeInstrData(vi, viString("*CLS")); }, VI_SUCCESS,
       lines({"*CLS"})},
      {"direct write with its own line feed", {},
       [](ViSession vi) { return kavrel_writeInstrData(vi, viString("*CLS\n")); }, VI_SUCCESS, lines({"*CLS"})},
  });
  EXPECT_EQ(-222, number);
  EXPECT_STREQ("Data out of range", text);
}

// The block's values are read by count, a 0x0A byte among them being data,
// then its closing line feed: the next query reads its own reply.
TEST_F(LineSession, TraceBlockIsReadByCount) {
  ASSERT_EQ(VI_SUCCESS, init(kSerial));
  const std::vector<float> values = valuesWithLineFeeds();
  struct Case {
    const char* name;
    std::string block;
    ViStatus expected;
    std::size_t converted;
  } cases[] = {
      {"block", floatBlock(values) + "\n", VI_SUCCESS, values.size()},
      {"not a block", "-410\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, 0},
      {"not a block, one byte", "\n", VI_ERROR_INSTR_INTERPRETING_RESPONSE, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    reply(std::to_string(values.size()) + "\n");
    reply(c.block);
    reply("7\n");
    ViInt32 points = 0;
    std::vector<ViReal64> trace(values.size() + 1, -1.0);
    EXPECT_EQ(c.expected, kavrel_scalReadData(vi_, &points, trace.data()));
    for (std::size_t i = 0; i < c.converted; ++i) EXPECT_EQ(static_cast<ViReal64>(values[i]), trace[i]) << i;
    EXPECT_EQ(-1.0, trace[c.converted]);
    ViInt32 next = 0;
    EXPECT_EQ(VI_SUCCESS, kavrel_readMax(vi_, 3, &next));
    EXPECT_EQ(7, next);
  }
}

// A store's definite-length block is read by its length, line feeds in its
// data and all, up to the line feed after it; a store sent back goes out
// behind its prefix, with the line feed that ends every message.
TEST_F(LineSession, StoresAreReadByTheirBlockLength) {
  ASSERT_EQ(VI_SUCCESS, init(kSerial));
  std::string data(150000, '\n');
  for (std::size_t i = 0; i < data.size(); i += 3) data[i] = static_cast<char>(i & 0xFF);
  const fs::path dir = fs::temp_directory_path() / ("kavrel-framing-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "store.bin").string();
  const std::string cases[] = {
      "#6150000" + data + "\n",
      "#10\n",
      "-100,\"no data\"\n",
  };
  for (const std::string& stored : cases) {
    SCOPED_TRACE(stored.substr(0, 8));
    mark();
    reply(stored);
    EXPECT_EQ(VI_SUCCESS, kavrel_flocTranCal(vi_, VI_TRUE, viString(file)));
    EXPECT_TRUE(readFile(file) == stored);
    EXPECT_TRUE(writes() == lines({":FLOC:CAL:STOR?", "*ESR?", "*ESR?"}));
    mark();
    EXPECT_EQ(VI_SUCCESS, kavrel_flocTranCal(vi_, VI_FALSE, viString(file)));
    EXPECT_TRUE(writes() == lines({":FLOC:CAL:STOR " + stored, "*ESR?", "*ESR?"}));
  }
  // A file that cannot be made: the reply is still read to its end.
  reply(cases[0]);
  reply("7\n");
  EXPECT_EQ(VI_ERROR_INSTR_FILE_OPEN, kavrel_flocTranCal(vi_, VI_TRUE, viString((dir / "no/store.bin").string())));
  ViInt32 next = 0;
  EXPECT_EQ(VI_SUCCESS, kavrel_readMax(vi_, 3, &next));
  EXPECT_EQ(7, next);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kavrel::test
