// kavrel-sim: the simulated 4100-family test set as a program. Prints the
// ports it listens on, one per line, then serves until SIGINT or SIGTERM.
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "testbed/sim/server.h"

namespace {

constexpr std::string_view kUsage =
    "usage: kavrel-sim [options]\n"
    "  --model N          model number 4100..4104 (4101)\n"
    "  --serial TEXT      serial number (100001)\n"
    "  --firmware TEXT    firmware revision (1.00)\n"
    "  --options N        option word reported by *OPT? (0)\n"
    "  --seed N           seed of the simulated measurement noise (1)\n"
    "  --host ADDRESS     address to listen on (127.0.0.1)\n"
    "  --hislip-port N    HiSLIP port, 0 for any free port (4880)\n"
    "  --raw-port N       raw SCPI socket port, 0 for any free port, -1 for none (5025)\n"
    "  --vxi11-port N     VXI-11 core channel port, 0 for any free port, -1 for none (0)\n"
    "  --portmap-port N   answer VXI-11 clients' portmapper queries on port N (111 is the standard one,\n"
    "                     0 any free port); without it the port is registered with the system's rpcbind\n"
    "  --http-port N      LXI welcome page and identification, 0 for any free port (none)\n"
    "  --announce         announce the services over mDNS (_lxi._tcp, _hislip._tcp, _vxi-11._tcp,\n"
    "                     _scpi-raw._tcp) through the Avahi daemon; give --host an address others reach\n"
    "  --strict-rmt       log -410 when a client does not confirm a response before sending again\n"
    "faults:\n"
    "  --reply-delay MS   hold every response back MS milliseconds\n"
    "  --stall-query N    never answer the Nth query\n"
    "  --garble-reply N   corrupt the bytes of the Nth response\n"
    "  --drop-after N     close the connection after N more data bytes sent\n"
    "On start it prints \"hislip-port N\", \"raw-port N\", \"vxi11-port N\", \"portmap-port N\" and\n"
    "\"http-port N\" on their own lines, for the ports it serves.\n";

template <typename T>
bool numberParse(const char* text, T& out) {
  std::string_view s(text);
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && ptr == s.data() + s.size();
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "kavrel-sim: %s\n%.*s", message.c_str(), static_cast<int>(kUsage.size()), kUsage.data());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kavrel::sim::Options options;
  options.vxi11Port = 0;  // VXI-11 clients find the port through the portmapper
  long long delayMs = 0;
  unsigned stallNth = 0, garbleNth = 0;
  long long dropAfter = -1;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
      return 0;
    }
    if (arg == "--strict-rmt" || arg == "--announce") {
      (arg == "--announce" ? options.announce : options.strictRmt) = true;
      continue;
    }
    if (i + 1 >= argc) return usageError("missing value for " + std::string(arg));
    const char* value = argv[++i];
    bool ok = true;
    if (arg == "--model") ok = numberParse(value, options.model);
    else if (arg == "--serial") options.serial = value;
    else if (arg == "--firmware") options.firmware = value;
    else if (arg == "--options") ok = numberParse(value, options.options);
    else if (arg == "--seed") ok = numberParse(value, options.seed);
    else if (arg == "--host") options.host = value;
    else if (arg == "--hislip-port") ok = numberParse(value, options.hislipPort) && options.hislipPort >= 0 && options.hislipPort <= 65535;
    else if (arg == "--raw-port") ok = numberParse(value, options.rawPort) && options.rawPort >= -1 && options.rawPort <= 65535;
    else if (arg == "--vxi11-port") ok = numberParse(value, options.vxi11Port) && options.vxi11Port >= -1 && options.vxi11Port <= 65535;
    else if (arg == "--portmap-port") ok = numberParse(value, options.portmapPort) && options.portmapPort >= 0 && options.portmapPort <= 65535;
    else if (arg == "--http-port") ok = numberParse(value, options.httpPort) && options.httpPort >= 0 && options.httpPort <= 65535;
    else if (arg == "--reply-delay") ok = numberParse(value, delayMs) && delayMs >= 0;
    else if (arg == "--stall-query") ok = numberParse(value, stallNth);
    else if (arg == "--garble-reply") ok = numberParse(value, garbleNth);
    else if (arg == "--drop-after") ok = numberParse(value, dropAfter) && dropAfter >= 0;
    else return usageError("unknown option " + std::string(arg));
    if (!ok) return usageError("bad value for " + std::string(arg) + ": " + value);
  }
  if (kavrel::sim::modelMaxFrequency(options.model) == 0.0)
    return usageError("model must be 4100..4104");

  // The server's threads inherit the blocked signals; only sigwait below takes them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  kavrel::sim::Server server(options);
  std::string error;
  if (!server.start(&error)) {
    std::fprintf(stderr, "kavrel-sim: %s\n", error.c_str());
    return 1;
  }
  if (delayMs > 0) server.setReplyDelay(std::chrono::milliseconds(delayMs));
  if (stallNth > 0) server.stallQuery(stallNth);
  if (garbleNth > 0) server.garbleReply(garbleNth);
  if (dropAfter >= 0) server.dropAfterBytes(static_cast<std::uint64_t>(dropAfter));
  std::printf("hislip-port %d\n", server.hislipPort());
  if (server.rawPort() >= 0) std::printf("raw-port %d\n", server.rawPort());
  if (server.vxi11Port() >= 0) std::printf("vxi11-port %d\n", server.vxi11Port());
  if (server.portmapPort() >= 0) std::printf("portmap-port %d\n", server.portmapPort());
  if (server.httpPort() >= 0) std::printf("http-port %d\n", server.httpPort());
  if (server.vxi11Port() >= 0 && server.portmapPort() < 0 && !server.vxi11Registered()) {
    std::fprintf(stderr, "kavrel-sim: no rpcbind runs here: VXI-11 clients can find the simulator only with --portmap-port\n");
  }
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  server.stop();
  return 0;
}
