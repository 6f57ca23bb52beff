// Fuzz target: arbitrary bytes as HiSLIP traffic. The stream decoder cuts
// messages; each goes to one session's synchronous or asynchronous side (the
// message's control byte chooses) and every response is sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "testbed/hislip/hislip.h"
#include "testbed/sim/hislip_session.h"

namespace {

struct DiscardSink : kavrel::sim::HislipSink {
  std::size_t bytes = 0;
  bool closed = false;
  void sendSync(std::string b) override { bytes += b.size(); }
  void sendAsync(std::string b) override { bytes += b.size(); }
  void close() override { closed = true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kavrel::sim::Instrument instrument;
  DiscardSink sink;
  kavrel::sim::HislipSession session(instrument, 1, kavrel::hislip::kVersion10, sink, size % 2 == 0);
  if (size > 0 && data[0] & 1) session.asyncBind();
  kavrel::hislip::Decoder decoder(1u << 16);
  // Feed in uneven pieces so that every split of a header is seen.
  std::size_t offset = 0;
  std::size_t piece = 1;
  int messages = 0;
  while (offset < size && !sink.closed) {
    std::size_t n = std::min(piece, size - offset);
    decoder.feed(std::string_view(reinterpret_cast<const char*>(data) + offset, n));
    offset += n;
    piece = piece * 3 % 97 + 1;
    while (auto m = decoder.next()) {
      if (++messages > 256 || sink.closed) break;
      if (m->header.control & 0x80) {
        session.asyncMessage(*m);
      } else if (auto pending = session.syncMessage(*m)) {
        session.responseSend(std::move(*pending));
      }
    }
    if (decoder.state() != kavrel::hislip::Decoder::State::ok) break;
  }
  return 0;
}
