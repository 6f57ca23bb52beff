// Fuzz target: the driver's handling of what the instrument answers. One
// exported function, chosen by the input's last byte, runs with its sound
// arguments on a fresh session (the one-call measurement, which waits for
// its sweep, is left to the functions it is made of), and every query it
// sends, "*ESR?" included, is answered with the next piece of the input:
// numbers, "#0" blocks, keywords, error-queue text, store bytes. When the
// input runs out the instrument answers nothing and the read times out at once.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tests/support/api_table.h"
#include "testbed/visa/standin.h"

namespace {

constexpr std::size_t kLongestReply = 1 << 17;  // beyond a 100 000-byte transfer chunk

struct Feed {
  FuzzedDataProvider* input;
  std::string reply;
};

const void* answer(void* context, const char* message, size_t len, size_t* replyLen) {
  auto* feed = static_cast<Feed*>(context);
  if (std::string_view(message, len).find('?') == std::string_view::npos) return nullptr;
  if (feed->input->remaining_bytes() == 0) return nullptr;
  feed->reply = feed->input->ConsumeRandomLengthString(kLongestReply);
  *replyLen = feed->reply.size();
  return feed->reply.data();
}

bool setUp() {
  kavrel::test::prepareApiFiles();
  std::atexit(kavrel::test::removeApiFiles);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = setUp();
  (void)ready;
  const auto& rows = kavrel::test::apiFunctions();
  FuzzedDataProvider input(data, size);
  const kavrel::test::ApiFunction& row = rows[input.ConsumeIntegralInRange<std::size_t>(0, rows.size() - 1)];
  if (std::string_view(row.name) == "kavrel_appExample") return 0;

  standin_reset();
  standin_reply_text("OVR,4101,100001,1.00\n");
  standin_reply_text("0\n");
  ViSession vi = VI_NULL;
  if (kavrel_init(const_cast<ViRsrc>("GPIB0::7::INSTR"), VI_FALSE, VI_FALSE, &vi) < VI_SUCCESS) std::abort();
  Feed feed{&input, {}};
  standin_answer(answer, &feed);
  if (row.prepare != nullptr) row.prepare(vi);
  row.call(vi, {});
  kavrel::test::closeApiSessions();
  kavrel_close(vi);
  standin_reset();
  return 0;
}
