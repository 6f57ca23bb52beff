// The reference cannot drift from the code: each exported function runs with
// the sample arguments of its header comment against the scripted instrument,
// and every message it writes must match the documented command template.
#include <regex.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/reference_table.h"
#include "tests/support/driver_fixture.h"

// The function's name where a test lists its parameter.
void PrintTo(const reference_entry* entry, std::ostream* out) { *out << entry->function; }

namespace kavrel::test {
namespace {

// The whole message matches the template's extended regular expression.
bool matches(const std::string& message, const char* pattern) {
  regex_t compiled;
  if (regcomp(&compiled, ("^(" + std::string(pattern) + ")$").c_str(), REG_EXTENDED | REG_NOSUB) != 0) {
    ADD_FAILURE() << "template does not compile: " << pattern;
    return false;
  }
  bool matched = regexec(&compiled, message.c_str(), 0, nullptr, 0) == 0;
  regfree(&compiled);
  return matched;
}

// Each example runs in a folder of its own: the transfer examples write host files.
class Reference : public DriverTest, public ::testing::WithParamInterface<const reference_entry*> {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    home_ = std::filesystem::current_path();
    std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-reference-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(pattern.data()));
    scratch_ = pattern;
    std::filesystem::current_path(scratch_);
  }
  void TearDown() override {
    std::filesystem::current_path(home_);
    std::filesystem::remove_all(scratch_);
    DriverTest::TearDown();
  }

 private:
  std::filesystem::path home_, scratch_;
};

TEST_P(Reference, SampleSendsTheDocumentedCommands) {
  const reference_entry& entry = *GetParam();
  SCOPED_TRACE(entry.sample);
  const std::string name = entry.function;
  if (name == "kavrel_init") {
    // Opens its own session on an instrument that has nothing queued yet.
    standin_reset();
    mark();
  } else {
    open();
  }
  for (size_t i = 0; i < entry.reply_count; ++i) standin_reply(entry.replies[i].data, entry.replies[i].size);
  EXPECT_EQ(VI_SUCCESS, entry.call(&vi_));
  if (name == "kavrel_close") vi_ = VI_NULL;

  Writes sent = writes();
  if (entry.status_check) {
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Writes({"*ESR?", "*ESR?"}), Writes(sent.end() - 2, sent.end()));
    sent.resize(sent.size() - 2);
  }
  ASSERT_EQ(entry.send_count, sent.size()) << "documented messages against sent ones";
  for (size_t i = 0; i < sent.size(); ++i)
    EXPECT_TRUE(matches(sent[i], entry.sends[i].regex))
        << "sent:     " << sent[i] << "\ntemplate: " << entry.sends[i].text;
}

std::string entryName(const ::testing::TestParamInfo<const reference_entry*>& info) {
  return std::string(info.param->function).substr(sizeof "kavrel_" - 1);
}

std::vector<const reference_entry*> entries() {
  std::vector<const reference_entry*> all;
  for (size_t i = 0; i < reference_entry_count; ++i) all.push_back(&reference_entries[i]);
  return all;
}

INSTANTIATE_TEST_SUITE_P(Header, Reference, ::testing::ValuesIn(entries()), entryName);

// An exported function without an example is neither documented by one nor checked above.
TEST(ReferenceCoverage, EveryExportedFunctionHasAnExample) {
  std::string names;
  for (size_t i = 0; i < reference_missing_count; ++i) names += std::string(" ") + reference_missing[i];
  EXPECT_EQ("", names) << "no @sample in the reference of:" << names;
}

}  // namespace
}  // namespace kavrel::test
