// Stores copied to host files and back: a store saved to a file and loaded
// into another store reads back byte for byte the same.
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "tests/integration/sim_fixture.h"

namespace kavrel::integration {
namespace {

// A transfer between one store and a file.
using FileCall = std::function<ViStatus(ViSession, ViString fileName)>;

struct TransferCase {
  const char* name;
  Call prepare;          // where the stores are alike at first: makes the source differ
  FileCall saveSource;   // source store into a file
  FileCall loadTarget;   // a file into the target store
  FileCall saveTarget;   // target store into a file
  Call loaded = {};      // if given: what the instrument reports of the loaded store
};

// Both directions of a numbered store's transfer function.
using NumberedTransfer = ViStatus (*)(ViSession, ViBoolean, ViInt32, ViString);
FileCall saveFrom(NumberedTransfer transfer, ViInt32 store) {
  return [=](ViSession vi, ViString file) { return transfer(vi, VI_TRUE, store, file); };
}
FileCall loadInto(NumberedTransfer transfer, ViInt32 store) {
  return [=](ViSession vi, ViString file) { return transfer(vi, VI_FALSE, store, file); };
}

// The calls one after the other, up to the first that fails.
ViStatus inOrder(ViSession vi, std::initializer_list<Call> calls) {
  for (const Call& call : calls) {
    if (ViStatus status = call(vi); status < VI_SUCCESS) return status;
  }
  return VI_SUCCESS;
}

using SimTransfers = SimTest;

TEST_P(SimTransfers, StoreSavedAndLoadedIntoAnotherReadsBackTheSame) {
  const std::vector<TransferCase> cases = {
      {"calibration kit",
       [](ViSession vi) {
         return inOrder(vi, {[](ViSession v) { return kavrel_reflSelectKit(v, 1); },
                             [](ViSession v) { return kavrel_reflConfKit(v, 2, viString("KIT ONE")); }});
       },
       saveFrom(kavrel_reflTranCalKit, 1), loadInto(kavrel_reflTranCalKit, 3), saveFrom(kavrel_reflTranCalKit, 3)},
      {"reflection calibration",
       [](ViSession vi) {
         return inOrder(vi, {[](ViSession v) { return kavrel_reflConfigCal(v, 1, 0, VI_TRUE); },
                             [](ViSession v) { return kavrel_reflCalMeas(v, 3, VI_FALSE, 1); },
                             [](ViSession v) { return kavrel_reflCalMeas(v, 1, VI_FALSE, 1); },
                             [](ViSession v) { return kavrel_reflCalMeas(v, 0, VI_FALSE, 1); },
                             [](ViSession v) { return kavrel_reflPerformCal(v, 1, 2, viString("SAVED")); }});
       },
       saveFrom(kavrel_reflTranCal, 2), loadInto(kavrel_reflTranCal, 5), saveFrom(kavrel_reflTranCal, 5),
       [](ViSession vi) {
         ViChar title[513] = {};
         ViInt32 type = -1;
         ViStatus status = kavrel_reflReadCalData(vi, 5, VI_NULL, VI_NULL, VI_NULL, VI_NULL, VI_NULL, title, &type);
         EXPECT_NE(std::string::npos, std::string(title).find("SAVED")) << title;
         EXPECT_EQ(0, type);
         return status;
       }},
      {"scalar memory", [](ViSession vi) { return kavrel_scalMem(vi, VI_FALSE, VI_FALSE, 0, 1); },
       saveFrom(kavrel_scalTranData, 1), loadInto(kavrel_scalTranData, 8), saveFrom(kavrel_scalTranData, 8)},
      {"scalar path calibration",
       [](ViSession vi) {
         return inOrder(vi, {[](ViSession v) { return kavrel_srcSweepConfig(v, 101, 0.0); },
                             [](ViSession v) { return kavrel_scalCal(v, 0, 2); }});
       },
       saveFrom(kavrel_scalTranCal, 2), loadInto(kavrel_scalTranCal, 4), saveFrom(kavrel_scalTranCal, 4)},
      {"sensor correction", [](ViSession) { return VI_SUCCESS; }, saveFrom(kavrel_inpTranSen, 1),
       loadInto(kavrel_inpTranSen, 20), saveFrom(kavrel_inpTranSen, 20)},
      {"source calibration table", [](ViSession) { return VI_SUCCESS; },
       [](ViSession vi, ViString file) { return kavrel_sourTranCal(vi, 0, 0, file); },
       [](ViSession vi, ViString file) { return kavrel_sourTranCal(vi, 3, 2, file); },
       [](ViSession vi, ViString file) { return kavrel_sourTranCal(vi, 2, 2, file); }},
  };
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  for (const TransferCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = dir.file(std::string(c.name) + " source");
    const std::string before = dir.file(std::string(c.name) + " before");
    const std::string after = dir.file(std::string(c.name) + " after");
    ASSERT_EQ(VI_SUCCESS, c.prepare(vi_));
    ASSERT_EQ(VI_SUCCESS, c.saveSource(vi_, viString(source)));
    ASSERT_EQ(VI_SUCCESS, c.saveTarget(vi_, viString(before)));
    ASSERT_EQ(VI_SUCCESS, c.loadTarget(vi_, viString(source)));
    if (c.loaded) {
      EXPECT_EQ(VI_SUCCESS, c.loaded(vi_));
    }
    ASSERT_EQ(VI_SUCCESS, c.saveTarget(vi_, viString(after)));
    const std::string saved = readFile(source);
    EXPECT_GT(saved.size(), 4u);
    EXPECT_NE(readFile(before), saved) << "the target held the same data already";
    EXPECT_EQ(saved, readFile(after));
    EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
  }
}

// The one fault-location calibration goes out and comes back unchanged.
TEST_P(SimTransfers, FaultLocationCalibrationRoundTrip) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string first = dir.file("floc first");
  const std::string second = dir.file("floc second");
  ASSERT_EQ(VI_SUCCESS, kavrel_flocCalibration(vi_, VI_FALSE));
  ASSERT_EQ(VI_SUCCESS, kavrel_flocTranCal(vi_, VI_TRUE, viString(first)));
  ASSERT_EQ(VI_SUCCESS, kavrel_flocTranCal(vi_, VI_FALSE, viString(first)));
  ASSERT_EQ(VI_SUCCESS, kavrel_flocTranCal(vi_, VI_TRUE, viString(second)));
  EXPECT_GT(readFile(first).size(), 4u);
  EXPECT_EQ(readFile(first), readFile(second));
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// A file that cannot be created or read: nothing reaches the instrument's stores.
TEST_P(SimTransfers, MissingFileIsReportedAndSendsNothing) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string missing = dir.file("no such directory") + "/store";
  const std::string kit = dir.file("kit");
  ASSERT_EQ(VI_SUCCESS, kavrel_reflTranCalKit(vi_, VI_TRUE, 2, viString(kit)));
  EXPECT_EQ(VI_ERROR_INSTR_FILE_OPEN, kavrel_reflTranCalKit(vi_, VI_FALSE, 2, viString(missing)));
  EXPECT_EQ(VI_ERROR_INSTR_FILE_OPEN, kavrel_reflTranCalKit(vi_, VI_TRUE, 2, viString(missing)));
  // The session still works, and kit 2 is as it was.
  const std::string again = dir.file("kit again");
  ASSERT_EQ(VI_SUCCESS, kavrel_reflTranCalKit(vi_, VI_TRUE, 2, viString(again)));
  EXPECT_EQ(readFile(kit), readFile(again));
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// Store replies around the 100 000-byte chunk the driver reads in, an exact
// multiple included, save whole and at once: VISA says where they end.
TEST_P(SimTransfers, StoresAroundTheChunkSizeSaveWhole) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  for (const std::size_t replySize : {99999u, 100000u, 100001u, 200000u}) {
    SCOPED_TRACE(replySize);
    // "#<digits><length><data>\n" of exactly replySize bytes.
    std::size_t length = 0;
    for (std::size_t digits = 1; digits <= 9 && length == 0; ++digits) {
      const std::size_t candidate = replySize - 3 - digits;
      if (std::to_string(candidate).size() == digits) length = candidate;
    }
    std::string stored = "#" + std::to_string(std::to_string(length).size()) + std::to_string(length);
    for (std::size_t i = 0; i < length; ++i) stored.push_back(static_cast<char>((i * 31) & 0xFF));
    stored.push_back('\n');
    ASSERT_EQ(replySize, stored.size());
    const std::string load = dir.file("load"), saved = dir.file("saved");
    std::ofstream(load, std::ios::binary) << stored;
    ASSERT_EQ(VI_SUCCESS, kavrel_scalTranData(vi_, VI_FALSE, 2, viString(load)));
    ASSERT_EQ(VI_SUCCESS, kavrel_scalTranData(vi_, VI_TRUE, 2, viString(saved)));
    EXPECT_TRUE(readFile(saved) == stored);
  }
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// A save cut off by the connection dropping part-way leaves the file it was
// to replace byte for byte as it was, and nothing new in its folder.
TEST_P(SimTransfers, SaveCutOffLeavesTheTargetAsItWas) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string target = dir.file("kit");
  const std::string before = "the engineer's kit file\n";
  std::ofstream(target, std::ios::binary) << before;
  ViSession vi = openAnother();
  ASSERT_NE(static_cast<ViSession>(VI_NULL), vi);
  ASSERT_EQ(VI_SUCCESS, viSetAttribute(vi, VI_ATTR_TMO_VALUE, 500));
  // The maximum query's reply (with its HiSLIP header) gets through, the store's does not.
  server().dropAfterBytes(16 + 3 + 16 + 100);
  EXPECT_EQ(VI_ERROR_CONN_LOST, kavrel_reflTranCalKit(vi, VI_TRUE, 1, viString(target)));
  server().clearFaults();
  EXPECT_EQ(before, readFile(target));
  EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()));
  EXPECT_EQ(VI_SUCCESS, close(vi));
}

INSTANTIATE_TEST_SUITE_P(Transports, SimTransfers, ::testing::ValuesIn(kTransports), transportName);

}  // namespace
}  // namespace kavrel::integration
