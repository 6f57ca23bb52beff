// Fuzz target: arbitrary bytes as a stream of program messages to the
// simulated instrument (framing, parsing, every command handler).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "testbed/sim/instrument.h"
#include "testbed/sim/scpi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  kavrel::sim::Instrument instrument;
  kavrel::sim::Session session(instrument);
  kavrel::sim::scpi::LineFramer framer(1u << 16);
  framer.feed(input);
  int messages = 0;
  while (auto message = framer.next()) {
    if (++messages > 64) break;  // bound the work per input
    session.execute(*message);
    (void)session.read();
  }
  // The whole input as one message too, as a HiSLIP DataEnd would carry it.
  session.execute(input);
  (void)session.read();
  (void)session.statusByte();
  return 0;
}
