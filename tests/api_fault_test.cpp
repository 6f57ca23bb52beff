// Every exported function, with the simulated instrument answering, runs once
// to count its VISA operations; then each of them fails in turn with a
// time-out, a lost connection and an I/O error. The call must return the
// injected status (unless a rule below says otherwise), write nothing after
// the failed operation, and leave nothing open or allocated (the sanitizer
// build runs this too).
#include <cstdio>

#include "tests/support/api_fixture.h"

namespace kavrel::test {
namespace {

// Operations whose failure does not decide the call's status, by rule.
struct Absorbed {
  const char* function;
  int operation;  // from the call's first (1), or when negative from its last (-1)
  ViStatus result;
  const char* rule;
};
constexpr Absorbed kAbsorbed[] = {
    {"kavrel_close", -1, VI_SUCCESS, "closing the resource manager: its result is ignored"},
    {"kavrel_error_message", -1, VI_WARN_UNKNOWN_STATUS,
     "a failing viStatusDesc falls back to the driver's own texts, which do not hold VISA's codes"},
    {"kavrel_init", 7, VI_SUCCESS, "a resource class that cannot be read: an instrument session"},
    {"kavrel_init", 8, VI_SUCCESS, "an interface type that cannot be read: an instrument session"},
};

// The C types say less than the header: a char* is text to send or a buffer to fill.
bool sameKinds(const std::vector<ArgKind>& declared, const std::vector<ArgKind>& called) {
  if (declared.size() != called.size()) return false;
  for (std::size_t i = 0; i < declared.size(); ++i)
    if (declared[i] != called[i] && !(declared[i] == ArgKind::pointer && called[i] == ArgKind::text)) return false;
  return true;
}

using ApiFaults = ApiTest;

TEST_F(ApiFaults, TheTableCoversEveryDeclaredFunction) {
  std::vector<std::string> declared, tabled;
  for (const DeclaredFunction& f : declaredFunctions(KAVREL_PUBLIC_HEADER)) {
    declared.push_back(f.name);
    for (const ApiFunction& row : apiFunctions())
      if (f.name == row.name) {
        EXPECT_TRUE(sameKinds(f.kinds, row.kinds)) << f.name << ": parameters differ from the header";
      }
  }
  for (const ApiFunction& row : apiFunctions()) tabled.emplace_back(row.name);
  EXPECT_GT(declared.size(), 100u);
  EXPECT_EQ(declared, tabled);
}

TEST_F(ApiFaults, AFaultAtEveryVisaOperationComesBack) {
  const ViStatus injected[] = {VI_ERROR_TMO, VI_ERROR_CONN_LOST, VI_ERROR_IO};
  unsigned faults = 0;
  for (const ApiFunction& row : apiFunctions()) {
    SCOPED_TRACE(row.name);
    openAnswered(row);
    const unsigned before = standin_operations();
    const ViStatus sound = row.call(vi_, {});
    ASSERT_GE(sound, VI_SUCCESS) << "the sound call must succeed: " << sound;
    const unsigned k = standin_operations() - before;
    const Writes wire = writes();
    for (unsigned nth = 1; nth <= k; ++nth) {
      for (ViStatus status : injected) {
        SCOPED_TRACE(testing::Message() << "operation " << nth << " of " << k << " fails with " << status);
        openAnswered(row);
        const unsigned sessions = standin_open_sessions();
        standin_fail_any(nth, status);
        const ViStatus result = row.call(vi_, {});
        ++faults;
        ViStatus expected = status;
        for (const Absorbed& a : kAbsorbed)
          if (std::string_view(a.function) == row.name &&
              static_cast<int>(nth) == (a.operation > 0 ? a.operation : static_cast<int>(k) + 1 + a.operation))
            expected = a.result;
        EXPECT_EQ(expected, result);
        const Writes sent = writes();
        if (expected >= VI_SUCCESS) {  // absorbed: the call goes on as the sound one did
          EXPECT_EQ(wire, sent);
          continue;
        }
        EXPECT_EQ(standin_writes_at_fault(), standin_write_count()) << "written after the failed operation";
        ASSERT_LE(sent.size(), wire.size());
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), wire.begin()));
        if (std::string_view(row.name) == "kavrel_init") {
          EXPECT_EQ(sessions, standin_open_sessions());
        }
      }
    }
  }
  std::printf("faults injected: %u over %zu functions\n", faults, apiFunctions().size());
  RecordProperty("faults", static_cast<int>(faults));
}

}  // namespace
}  // namespace kavrel::test
