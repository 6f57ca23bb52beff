// Stored data to and from host files: the streaming helpers on their own,
// then every transfer function's commands, checks and failures, against real
// files in a temporary directory.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "driver/core/file_transfer.h"
#include "tests/support/driver_fixture.h"

namespace kavrel::test {
namespace {

namespace fs = std::filesystem;

// Bytes as a store may hold them: every value, NUL and line feeds included.
std::string storeBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class Transfer : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    open();
    std::string pattern = (fs::temp_directory_path() / "kavrel-transfer-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(pattern.data()));
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    DriverTest::TearDown();
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  bool dirEmpty() const { return fs::is_empty(dir_); }

  fs::path dir_;
};

// ---- the helpers -----------------------------------------------------------

TEST_F(Transfer, ReplyStreamsIntoTheFileInChunks) {
  struct Case {
    std::size_t size;
    unsigned reads;
  } cases[] = {{250000, 3}, {100001, 2}, {99999, 1}, {1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    mark();
    const std::string data = storeBytes(c.size);
    reply(data);
    ViInt32 count = -1;
    EXPECT_EQ(VI_SUCCESS, kavrel_readToFileBin(vi_, viString(path("store.bin")), &count));
    EXPECT_EQ(static_cast<ViInt32>(c.size), count);
    EXPECT_EQ(c.reads, calls(STANDIN_READ));
    EXPECT_TRUE(readFile(path("store.bin")) == data);
    EXPECT_TRUE(writes().empty());
  }
}

// VISA says where a reply ends: a read that filled the chunk with nothing
// more to come (END with its last byte) ends it as well as a shorter one, in
// the save and in the drain after a host file that failed.
TEST_F(Transfer, ReplyEndsWhereVisaSaysItEnds) {
  constexpr std::size_t kChunk = 100000;
  for (const std::size_t size : {kChunk - 1, kChunk, kChunk + 1, 2 * kChunk}) {
    const unsigned reads = static_cast<unsigned>((size + kChunk - 1) / kChunk);
    for (const bool fileFails : {false, true}) {
      SCOPED_TRACE(testing::Message() << size << (fileFails ? " drained" : " saved"));
      const std::string target = path(fileFails ? "missing/store.bin" : "store.bin");
      const std::string data = storeBytes(size);
      mark();
      reply(data);
      reply("7\n");
      ViInt32 count = -1;
      EXPECT_EQ(fileFails ? VI_ERROR_INSTR_FILE_OPEN : VI_SUCCESS, kavrel_readToFileBin(vi_, viString(target), &count));
      EXPECT_EQ(reads, calls(STANDIN_READ));
      EXPECT_EQ(fileFails ? 0 : static_cast<ViInt32>(size), count);
      if (!fileFails) {
        EXPECT_TRUE(readFile(target) == data);
      }
      ViInt32 next = 0;
      EXPECT_EQ(VI_SUCCESS, kavrel_readMax(vi_, 3, &next));
      EXPECT_EQ(7, next) << "the next query reads its own reply";
    }
  }
}

TEST_F(Transfer, ReplyReplacesAnExistingFile) {
  writeFile(path("store.bin"), std::string(5000, 'x'));
  reply("#13abc\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_readToFileBin(vi_, viString(path("store.bin")), VI_NULL));
  EXPECT_EQ("#13abc\n", readFile(path("store.bin")));
}

// A save cut off part-way leaves an existing file byte for byte as it was,
// and nothing new in its folder.
TEST_F(Transfer, FailedSaveLeavesTheTargetAsItWas) {
  const std::string before = storeBytes(3000);
  for (const bool existed : {false, true}) {
    for (const unsigned failingRead : {1u, 2u, 3u}) {
      SCOPED_TRACE(testing::Message() << (existed ? "existing" : "new") << " target, read " << failingRead);
      fs::remove_all(dir_);
      fs::create_directory(dir_);
      if (existed) writeFile(path("store.bin"), before);
      reply(storeBytes(250000));
      fail(STANDIN_READ, failingRead, VI_ERROR_CONN_LOST);
      ViInt32 count = -1;
      EXPECT_EQ(VI_ERROR_CONN_LOST, kavrel_readToFileBin(vi_, viString(path("store.bin")), &count));
      EXPECT_EQ(0, count);
      EXPECT_EQ(existed ? 1 : 0, std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
      if (existed) {
        EXPECT_TRUE(readFile(path("store.bin")) == before);
      }
      reopen();
    }
  }
}

// The file a link points to is replaced and the link stays; a device or
// FIFO cannot be replaced and is written directly.
TEST_F(Transfer, LinksStayLinksAndDevicesAreWrittenDirectly) {
  writeFile(path("real.bin"), "old");
  fs::permissions(path("real.bin"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real.bin", path("link.bin"));
  fs::create_symlink("link.bin", path("link-to-link.bin"));
  fs::create_symlink("later.bin", path("dangling.bin"));
  ASSERT_EQ(0, mkfifo(path("fifo").c_str(), 0600));
  struct Case {
    std::string target;
    std::string holder;  // the file that holds the reply afterwards
  } cases[] = {
      {path("link.bin"), path("real.bin")},
      {path("link-to-link.bin"), path("real.bin")},
      {path("dangling.bin"), path("later.bin")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const std::string data = "#15a\nb\nc\n" + c.target;
    reply(data);
    EXPECT_EQ(VI_SUCCESS, kavrel_readToFileBin(vi_, viString(c.target), VI_NULL));
    EXPECT_TRUE(fs::is_symlink(c.target));
    EXPECT_EQ(data, readFile(c.holder));
  }
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
            fs::status(path("real.bin")).permissions());

  // The reading end is open first, so the driver's open does not wait for it.
  const int fifo = ::open(path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  reply("#13abc\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_readToFileBin(vi_, viString(path("fifo")), VI_NULL));
  char fromFifo[16] = {};
  EXPECT_EQ(7, ::read(fifo, fromFifo, sizeof fromFifo));
  ::close(fifo);
  EXPECT_STREQ("#13abc\n", fromFifo);
  EXPECT_TRUE(fs::is_fifo(path("fifo")));
  reply("#13abc\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_readToFileBin(vi_, viString("/dev/null"), VI_NULL));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(6, std::distance(fs::directory_iterator(dir_), fs::directory_iterator())) << "nothing left beside";
}

TEST_F(Transfer, HostFileFailuresAreReported) {
  struct Case {
    std::string target;
    std::size_t size;
    ViStatus expected;
    unsigned reads;
  } cases[] = {
      // The reply is read all the same, and dropped.
      {path("missing/store.bin"), 10, VI_ERROR_INSTR_FILE_OPEN, 1},
      {dir_.string(), 10, VI_ERROR_INSTR_FILE_OPEN, 1},
      {"/dev/full", 10, VI_ERROR_INSTR_FILE_WRITE, 1},      // fails as the file is closed
      {"/dev/full", 250000, VI_ERROR_INSTR_FILE_WRITE, 3},  // fails on the first chunk
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target + " " + std::to_string(c.size));
    mark();
    reply(storeBytes(c.size));
    ViInt32 count = 5;
    EXPECT_EQ(c.expected, kavrel_readToFileBin(vi_, viString(c.target), &count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(c.reads, calls(STANDIN_READ));
  }
  EXPECT_FALSE(fs::exists(path("missing")));
}

// A store read into a file that cannot be created, or that stops taking
// bytes, leaves nothing of its reply behind: the next query reads its own.
TEST_F(Transfer, HostFileFailureLeavesNoReplyBehind) {
  struct Case {
    const char* name;
    std::string target;
    std::size_t size;
    ViStatus expected;
    unsigned reads;  // by the transfer
  } cases[] = {
      {"no such folder", path("missing/store.bin"), 250000, VI_ERROR_INSTR_FILE_OPEN, 3},
      {"a folder", dir_.string(), 100001, VI_ERROR_INSTR_FILE_OPEN, 2},
      {"disk full on the first chunk", "/dev/full", 250000, VI_ERROR_INSTR_FILE_WRITE, 3},
      {"disk full at the close", "/dev/full", 99999, VI_ERROR_INSTR_FILE_WRITE, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    reply(storeBytes(c.size));
    EXPECT_EQ(c.expected, kavrel_flocTranCal(vi_, VI_TRUE, viString(c.target)));
    EXPECT_EQ(c.reads, calls(STANDIN_READ));
    EXPECT_EQ((Writes{":FLOC:CAL:STOR?"}), writes());
    reply("7\n");
    ViInt32 count = 0;
    EXPECT_EQ(VI_SUCCESS, kavrel_readMax(vi_, 3, &count));
    EXPECT_EQ(7, count);
  }
}

TEST_F(Transfer, FileGoesOutBehindThePrefixAsOneMessage) {
  struct Case {
    const char* name;
    std::string prefix;
    std::string contents;
  } cases[] = {
      {"binary store", ":REFL:CAL:DATA:STOR 3,", storeBytes(1000)},
      {"empty file: the prefix alone", ":FLOC:CAL:STOR ", ""},
      {"large file", ":P ", storeBytes(250000)},
      {"no prefix", "", "abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeFile(path("load.bin"), c.contents);
    mark();
    ViInt32 count = -1;
    EXPECT_EQ(VI_SUCCESS, kavrel_writeFromFile(vi_, c.prefix.c_str(), viString(path("load.bin")), &count));
    const Writes sent = writes();
    ASSERT_EQ(1u, sent.size());
    EXPECT_TRUE(sent[0] == c.prefix + c.contents);
    EXPECT_EQ(static_cast<ViInt32>(c.prefix.size() + c.contents.size()), count);
  }
}

TEST_F(Transfer, FileThatCannotBeReadWholeSendsNothing) {
  const std::string huge = path("huge.bin");
  writeFile(huge, "");
  fs::resize_file(huge, 3ull << 30);  // sparse: longer than one message may be
  struct Case {
    std::string source;
    ViStatus expected;
  } cases[] = {
      {path("missing.bin"), VI_ERROR_INSTR_FILE_OPEN},
      {dir_.string(), VI_ERROR_INSTR_FILE_OPEN},        // opens, but yields no byte
      {"/proc/version", VI_ERROR_INSTR_FILE_OPEN},      // more bytes than its size says
      {"/sys/devices/system/cpu/online", VI_ERROR_INSTR_FILE_OPEN},  // fewer bytes than its size says
      {huge, VI_ERROR_ALLOC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    mark();
    ViInt32 count = 5;
    EXPECT_EQ(c.expected, kavrel_writeFromFile(vi_, ":P ", viString(c.source), &count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(0u, allCalls());
  }
}

TEST_F(Transfer, FailedWriteLeavesTheCountAtZero) {
  writeFile(path("load.bin"), "abc");
  fail(STANDIN_WRITE, 1, VI_ERROR_IO);
  ViInt32 count = 5;
  EXPECT_EQ(VI_ERROR_IO, kavrel_writeFromFile(vi_, ":P ", viString(path("load.bin")), &count));
  EXPECT_EQ(0, count);
}

// ---- the transfer functions ------------------------------------------------

struct StoreCase {
  const char* name;
  bool toFile;
  std::string maximum;  // reply to the maximum query, if one is asked
  std::function<ViStatus(ViSession, ViString)> call;
  Writes wire;  // without the status check; a load's message without the file's bytes
};

TEST_F(Transfer, CommandsOfEveryStore) {
  const std::string data = std::string("#18\x01\x00\n\xff", 7) + "xyz\n";
  const StoreCase cases[] = {
      {"scalar memory read", true, "5\n",
       [](ViSession vi, ViString f) { return kavrel_scalTranData(vi, VI_TRUE, 5, f); },
       {":SCAL:MEM:MAX?", ":SCAL:MEM:DATA? 5"}},
      {"scalar memory load", false, "5\n",
       [](ViSession vi, ViString f) { return kavrel_scalTranData(vi, VI_FALSE, 1, f); },
       {":SCAL:MEM:MAX?", ":SCAL:MEM:DATA 1,"}},
      {"path calibration read, no query", true, "",
       [](ViSession vi, ViString f) { return kavrel_scalTranCal(vi, VI_TRUE, 4, f); }, {":SCAL:PCAL:STOR? 4"}},
      {"path calibration load", false, "",
       [](ViSession vi, ViString f) { return kavrel_scalTranCal(vi, VI_FALSE, 1, f); },
       {":SCAL:PCAL:STOR 1,"}},
      {"sensor correction read", true, "3\n",
       [](ViSession vi, ViString f) { return kavrel_inpTranSen(vi, VI_TRUE, 3, f); },
       {":INP:CFAC:STOR:MAX?", ":INP:CFAC:STOR:DATA? 3"}},
      {"sensor correction load", false, "3\n",
       [](ViSession vi, ViString f) { return kavrel_inpTranSen(vi, VI_FALSE, 2, f); },
       {":INP:CFAC:STOR:MAX?", ":INP:CFAC:STOR 2,"}},
      {"fault location read", true, "", [](ViSession vi, ViString f) { return kavrel_flocTranCal(vi, VI_TRUE, f); },
       {":FLOC:CAL:STOR?"}},
      {"fault location load", false, "", [](ViSession vi, ViString f) { return kavrel_flocTranCal(vi, VI_FALSE, f); },
       {":FLOC:CAL:STOR "}},
      {"reflection store read", true, "4\n",
       [](ViSession vi, ViString f) { return kavrel_reflTranCal(vi, VI_TRUE, 2, f); },
       {":REFL:CAL:DATA:MAX?", ":REFL:CAL:DATA:STOR? 2"}},
      {"reflection store load", false, "4\n",
       [](ViSession vi, ViString f) { return kavrel_reflTranCal(vi, VI_FALSE, 4, f); },
       {":REFL:CAL:DATA:MAX?", ":REFL:CAL:DATA:STOR 4,"}},
      {"kit read", true, "2\n", [](ViSession vi, ViString f) { return kavrel_reflTranCalKit(vi, VI_TRUE, 1, f); },
       {":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT:STOR? 1"}},
      {"kit load", false, "2\n", [](ViSession vi, ViString f) { return kavrel_reflTranCalKit(vi, VI_FALSE, 2, f); },
       {":REFL:CAL:KIT:MAX?", ":REFL:CAL:KIT:STOR 2,"}},
      {"PPST table, number ignored", true, "",
       [](ViSession vi, ViString f) { return kavrel_sourTranCal(vi, 0, -3, f); },
       {":SOUR:CAL:PPST?"}},
      {"FST table, number 0 ignored", true, "",
       [](ViSession vi, ViString f) { return kavrel_sourTranCal(vi, 1, 0, f); },
       {":SOUR:CAL:FST?"}},
      {"user table read", true, "2\n", [](ViSession vi, ViString f) { return kavrel_sourTranCal(vi, 2, 2, f); },
       {":SOUR:CAL:MAX?", ":SOUR:CAL:UPST? 2"}},
      {"user table load", false, "2\n", [](ViSession vi, ViString f) { return kavrel_sourTranCal(vi, 3, 1, f); },
       {":SOUR:CAL:MAX?", ":SOUR:CAL:UPST 1,"}},
  };
  for (const StoreCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = path("store.bin");
    fs::remove(file);
    if (!c.toFile) writeFile(file, data);
    mark();
    if (!c.maximum.empty()) reply(c.maximum);
    if (c.toFile) reply(data);
    EXPECT_EQ(VI_SUCCESS, c.call(vi_, viString(file)));
    Writes expected = c.wire;
    if (!c.toFile) expected.back() += data;
    EXPECT_EQ(checked(expected), writes());
    EXPECT_TRUE(readFile(file) == data);
  }
}

TEST_F(Transfer, StoreReadBackLoadsIntoAnotherStoreUnchanged) {
  const std::string data = "#6250000" + storeBytes(250000) + "\n";
  reply("4\n");
  reply(data);
  EXPECT_EQ(VI_SUCCESS, kavrel_reflTranCal(vi_, VI_TRUE, 2, viString(path("cal.bin"))));
  EXPECT_EQ(checked({":REFL:CAL:DATA:MAX?", ":REFL:CAL:DATA:STOR? 2"}), writes());
  EXPECT_TRUE(readFile(path("cal.bin")) == data);

  mark();
  reply("4\n");
  EXPECT_EQ(VI_SUCCESS, kavrel_reflTranCal(vi_, VI_FALSE, 3, viString(path("cal.bin"))));
  EXPECT_TRUE(checked({":REFL:CAL:DATA:MAX?", ":REFL:CAL:DATA:STOR 3," + data}) == writes());
}

TEST_F(Transfer, EmptyFileSendsThePrefixAlone) {
  writeFile(path("empty.bin"), "");
  EXPECT_EQ(VI_SUCCESS, kavrel_flocTranCal(vi_, VI_FALSE, viString(path("empty.bin"))));
  EXPECT_EQ(checked({":FLOC:CAL:STOR "}), writes());
}

TEST_F(Transfer, ArgumentErrorsTouchNoFile) {
  const std::string file = path("store.bin");
  const std::string name129(129, 'n');
  auto f = [&file] { return viString(file); };
  auto n129 = [&name129] { return viString(name129); };
  expectCalls({
      {"scalar memory direction", {}, [&](ViSession vi) { return kavrel_scalTranData(vi, 2, 1, f()); },
       VI_ERROR_PARAMETER2, {}},
      {"scalar memory above maximum", {"5\n"}, [&](ViSession vi) { return kavrel_scalTranData(vi, VI_TRUE, 6, f()); },
       VI_ERROR_PARAMETER3, {":SCAL:MEM:MAX?"}},
      {"scalar memory file name null", {"5\n"},
       [&](ViSession vi) { return kavrel_scalTranData(vi, VI_FALSE, 5, VI_NULL); }, VI_ERROR_PARAMETER4,
       {":SCAL:MEM:MAX?"}},
      {"path calibration direction", {}, [&](ViSession vi) { return kavrel_scalTranCal(vi, 0xFFFF, 1, f()); },
       VI_ERROR_PARAMETER2, {}},
      {"path calibration 5, no query", {}, [&](ViSession vi) { return kavrel_scalTranCal(vi, VI_TRUE, 5, f()); },
       VI_ERROR_PARAMETER3, {}},
      {"path calibration 0", {}, [&](ViSession vi) { return kavrel_scalTranCal(vi, VI_TRUE, 0, f()); },
       VI_ERROR_PARAMETER3, {}},
      {"path calibration name of 129", {}, [&](ViSession vi) { return kavrel_scalTranCal(vi, VI_TRUE, 4, n129()); },
       VI_ERROR_PARAMETER4, {}},
      {"sensor store above maximum, before the name", {"3\n"},
       [&](ViSession vi) { return kavrel_inpTranSen(vi, VI_TRUE, 4, VI_NULL); }, VI_ERROR_PARAMETER3,
       {":INP:CFAC:STOR:MAX?"}},
      {"sensor direction before the query", {}, [&](ViSession vi) { return kavrel_inpTranSen(vi, 2, 0, f()); },
       VI_ERROR_PARAMETER2, {}},
      {"fault location direction", {}, [&](ViSession vi) { return kavrel_flocTranCal(vi, 2, f()); },
       VI_ERROR_PARAMETER2, {}},
      {"fault location name of 129", {}, [&](ViSession vi) { return kavrel_flocTranCal(vi, VI_TRUE, n129()); },
       VI_ERROR_PARAMETER3, {}},
      {"fault location name null", {}, [&](ViSession vi) { return kavrel_flocTranCal(vi, VI_FALSE, VI_NULL); },
       VI_ERROR_PARAMETER3, {}},
      {"reflection store 0", {"4\n"}, [&](ViSession vi) { return kavrel_reflTranCal(vi, VI_FALSE, 0, f()); },
       VI_ERROR_PARAMETER3, {":REFL:CAL:DATA:MAX?"}},
      {"reflection maximum not a number", {"ERR\n"},
       [&](ViSession vi) { return kavrel_reflTranCal(vi, VI_TRUE, 0, VI_NULL); },
       VI_ERROR_INSTR_INTERPRETING_RESPONSE, {":REFL:CAL:DATA:MAX?"}},
      {"kit above maximum", {"2\n"}, [&](ViSession vi) { return kavrel_reflTranCalKit(vi, VI_TRUE, 3, f()); },
       VI_ERROR_PARAMETER3, {":REFL:CAL:KIT:MAX?"}},
      {"kit name of 129", {"2\n"}, [&](ViSession vi) { return kavrel_reflTranCalKit(vi, VI_TRUE, 2, n129()); },
       VI_ERROR_PARAMETER4, {":REFL:CAL:KIT:MAX?"}},
      {"source operation 4", {}, [&](ViSession vi) { return kavrel_sourTranCal(vi, 4, 1, f()); }, VI_ERROR_PARAMETER2,
       {}},
      {"source operation -1", {}, [&](ViSession vi) { return kavrel_sourTranCal(vi, -1, 1, f()); },
       VI_ERROR_PARAMETER2, {}},
      {"user table 0 after the query", {"2\n"}, [&](ViSession vi) { return kavrel_sourTranCal(vi, 2, 0, f()); },
       VI_ERROR_PARAMETER3, {":SOUR:CAL:MAX?"}},
      {"user table above maximum", {"2\n"}, [&](ViSession vi) { return kavrel_sourTranCal(vi, 3, 3, f()); },
       VI_ERROR_PARAMETER3, {":SOUR:CAL:MAX?"}},
      {"fixed table name null, no query", {}, [&](ViSession vi) { return kavrel_sourTranCal(vi, 0, 1, VI_NULL); },
       VI_ERROR_PARAMETER4, {}},
  });
  EXPECT_TRUE(dirEmpty());
}

TEST_F(Transfer, NameOf128CharactersIsUsed) {
  const std::string prefix = dir_.string() + "/";
  const std::string name = prefix + std::string(128 - prefix.size(), 'f');
  ASSERT_EQ(128u, name.size());
  reply("#10");
  EXPECT_EQ(VI_SUCCESS, kavrel_flocTranCal(vi_, VI_TRUE, viString(name)));
  EXPECT_EQ("#10", readFile(name));
}

TEST_F(Transfer, FailuresSkipTheStatusCheck) {
  struct Case {
    const char* name;
    std::function<void()> prepare;
    std::function<ViStatus(ViSession, ViString)> call;
    const char* file;
    ViStatus expected;
    Writes wire;
  } cases[] = {
      {"query write", [this] { fail(STANDIN_WRITE, 1, VI_ERROR_IO); },
       [](ViSession vi, ViString f) { return kavrel_scalTranCal(vi, VI_TRUE, 1, f); }, "a.bin", VI_ERROR_IO, {}},
      {"maximum query write, store and name not looked at", [this] { fail(STANDIN_WRITE, 1, VI_ERROR_IO); },
       [](ViSession vi, ViString) { return kavrel_reflTranCalKit(vi, VI_FALSE, 0, VI_NULL); }, "b.bin", VI_ERROR_IO,
       {}},
      {"no reply", [] {}, [](ViSession vi, ViString f) { return kavrel_flocTranCal(vi, VI_TRUE, f); }, "c.bin",
       VI_ERROR_TMO, {":FLOC:CAL:STOR?"}},
      {"target cannot be created", [] {}, [](ViSession vi, ViString f) { return kavrel_flocTranCal(vi, VI_TRUE, f); },
       "missing/d.bin", VI_ERROR_INSTR_FILE_OPEN, {":FLOC:CAL:STOR?"}},
      {"disk full", [this] { reply("#13abc"); },
       [](ViSession vi, ViString) { return kavrel_flocTranCal(vi, VI_TRUE, viString("/dev/full")); }, "e.bin",
       VI_ERROR_INSTR_FILE_WRITE, {":FLOC:CAL:STOR?"}},
      {"source file missing", [] {}, [](ViSession vi, ViString f) { return kavrel_flocTranCal(vi, VI_FALSE, f); },
       "f.bin", VI_ERROR_INSTR_FILE_OPEN, {}},
      {"source file missing after the query", [this] { reply("4\n"); },
       [](ViSession vi, ViString f) { return kavrel_reflTranCal(vi, VI_FALSE, 1, f); }, "g.bin",
       VI_ERROR_INSTR_FILE_OPEN, {":REFL:CAL:DATA:MAX?"}},
      {"load write",
       [this] {
         writeFile(path("h.bin"), "abc");
         fail(STANDIN_WRITE, 1, VI_ERROR_TMO);
       },
       [](ViSession vi, ViString f) { return kavrel_scalTranCal(vi, VI_FALSE, 2, f); }, "h.bin", VI_ERROR_TMO, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    mark();
    c.prepare();
    EXPECT_EQ(c.expected, c.call(vi_, viString(path(c.file))));
    EXPECT_EQ(c.wire, writes());
    EXPECT_EQ(0u, calls(STANDIN_QUERYF));
  }
  EXPECT_FALSE(fs::exists(path("a.bin")));  // the query never went out: no file
}

TEST_F(Transfer, RejectedDataIsReportedByTheStatusCheck) {
  writeFile(path("load.bin"), "garbage");
  esr(0);
  esr(0x10);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_flocTranCal(vi_, VI_FALSE, viString(path("load.bin"))));
  EXPECT_EQ(checked({":FLOC:CAL:STOR garbage"}), writes());
  mark();
  reply("3\n");
  reply("-100,\"no data\"\n");
  esr(0);
  esr(0x04);
  EXPECT_EQ(VI_ERROR_INSTR_SPECIFIC, kavrel_inpTranSen(vi_, VI_TRUE, 1, viString(path("save.bin"))));
  EXPECT_EQ(checked({":INP:CFAC:STOR:MAX?", ":INP:CFAC:STOR:DATA? 1"}), writes());
}

}  // namespace
}  // namespace kavrel::test
