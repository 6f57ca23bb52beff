// Fuzz target: arbitrary bytes as VXI-11 records on one core-channel
// connection. Record marks cut the input into messages; each is answered as
// the server answers it, links and locks included.
#include <cstddef>
#include <cstdint>
#include <string>

#include "testbed/sim/server.h"
#include "testbed/sim/vxi11_server.h"
#include "testbed/vxi11/rpc.h"

namespace {

struct NoLocks : kavrel::sim::DeviceLocks {
  int request(int, const std::string&, std::chrono::milliseconds, const std::atomic<bool>&) override { return 1; }
  int release(int) override { return 1; }
  void releaseAll(int) override {}
  bool waitAccessFor(int, std::chrono::milliseconds, const std::atomic<bool>&) override { return true; }
};

struct NoFaults : kavrel::sim::ResponseFaults {
  bool response(kavrel::sim::Response&, std::chrono::milliseconds& delay) override {
    delay = std::chrono::milliseconds(0);
    return true;
  }
  bool dataSend(int, std::string_view) override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kavrel::sim::Instrument instrument;
  static NoLocks locks;
  static NoFaults faults;
  kavrel::sim::Vxi11Options options;
  options.maxWait = std::chrono::milliseconds(1);  // a read with nothing to come must not stall the run
  kavrel::sim::Vxi11Server server(instrument, locks, faults, options);
  kavrel::sim::Vxi11Server::CoreChannel channel(server);
  kavrel::vxi11::RecordDecoder records(1u << 16);
  records.feed(std::string_view(reinterpret_cast<const char*>(data), size));
  int messages = 0;
  while (auto record = records.next()) {
    if (++messages > 64 || channel.answer(*record).empty()) break;
  }
  return 0;
}
