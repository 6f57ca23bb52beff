// One query and one trace over each LAN protocol, through the stand-in to the
// simulated instrument on loopback, side by side in one run: what the
// protocols cost against each other (both ends are this project's).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "testbed/sim/server.h"
#include "visa_binding/visa_api.h"

namespace {

enum class Protocol { hislip, vxi11, socket };

// A simulator serving every protocol, and a session to it over one of them.
class LanSession {
 public:
  LanSession(benchmark::State& state, Protocol protocol) {
    std::string error;
    server_ = kavrel::sim::startOnLoopback(&error);
    if (server_ == nullptr) {
      state.SkipWithError(("simulator: " + error).c_str());
      return;
    }
    const std::string host = "TCPIP::127.0.0.1::";
    const std::string name =
        protocol == Protocol::hislip  ? host + "hislip0," + std::to_string(server_->hislipPort()) + "::INSTR"
        : protocol == Protocol::vxi11 ? host + "inst0," + std::to_string(server_->portmapPort()) + "::INSTR"
                                      : host + std::to_string(server_->rawPort()) + "::SOCKET";
    if (viOpenDefaultRM(&rm_) != VI_SUCCESS || viOpen(rm_, name.c_str(), VI_NULL, VI_NULL, &vi_) != VI_SUCCESS) {
      state.SkipWithError(("cannot open " + name).c_str());
      return;
    }
    // The raw socket has no END: its replies end at the line feed.
    viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, protocol == Protocol::socket ? VI_TRUE : VI_FALSE);
    ok_ = true;
  }
  ~LanSession() {
    if (rm_ != VI_NULL) viClose(rm_);
  }
  bool ok() const { return ok_; }
  ViSession vi() const { return vi_; }

 private:
  std::unique_ptr<kavrel::sim::Server> server_;
  ViSession rm_ = VI_NULL;
  ViSession vi_ = VI_NULL;
  bool ok_ = false;
};

void BM_LanIdentify(benchmark::State& state, Protocol protocol) {
  LanSession session(state, protocol);
  if (!session.ok()) return;
  char reply[256];
  for (auto _ : state) {
    if (viQueryf(session.vi(), "*IDN?\n", "%255t", reply) != VI_SUCCESS) {
      state.SkipWithError("*IDN? failed");
      break;
    }
  }
}
BENCHMARK_CAPTURE(BM_LanIdentify, hislip, Protocol::hislip)->UseRealTime();
BENCHMARK_CAPTURE(BM_LanIdentify, vxi11, Protocol::vxi11)->UseRealTime();
BENCHMARK_CAPTURE(BM_LanIdentify, socket, Protocol::socket)->UseRealTime();

// A 1601-point scalar trace: "#0" and 6404 bytes (HiSLIP and VXI-11 only: a raw socket has no END for the block).
void BM_LanTrace(benchmark::State& state, Protocol protocol) {
  LanSession session(state, protocol);
  if (!session.ok()) return;
  const std::string points = ":SOUR:SWE:POIN 1601\n";
  viWrite(session.vi(), reinterpret_cast<ViConstBuf>(points.data()), static_cast<ViUInt32>(points.size()), VI_NULL);
  std::string block(8192, '\0');
  const std::string query = ":SCAL:DATA:BIN?\n";
  for (auto _ : state) {
    ViUInt32 got = 0;
    if (viWrite(session.vi(), reinterpret_cast<ViConstBuf>(query.data()), static_cast<ViUInt32>(query.size()),
                VI_NULL) != VI_SUCCESS ||
        viRead(session.vi(), reinterpret_cast<ViPBuf>(block.data()), static_cast<ViUInt32>(block.size()), &got) !=
            VI_SUCCESS) {
      state.SkipWithError("trace read failed");
      break;
    }
  }
}
BENCHMARK_CAPTURE(BM_LanTrace, hislip, Protocol::hislip)->UseRealTime();
BENCHMARK_CAPTURE(BM_LanTrace, vxi11, Protocol::vxi11)->UseRealTime();

}  // namespace
