#include "tools/kavrel/connection.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "driver/core/limits.h"
#include "testbed/sim/server.h"

namespace kavrel::cli {

namespace {

constexpr char kRestartMarker[] = "KAVREL_CLI_STANDIN";

std::string hex8(ViStatus status) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto value = static_cast<std::uint32_t>(status);
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
  return text;
}

// Where the stand-in lives: in the build's test bed, or installed under
// <prefix>/<libdir>/kavrel beside the program's <prefix>/bin.
std::string standinDirectory() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  std::vector<fs::path> candidates;
#ifdef KAVREL_STANDIN_BUILD_DIR
  candidates.emplace_back(KAVREL_STANDIN_BUILD_DIR);
#endif
#ifdef KAVREL_STANDIN_INSTALL_DIR
  if (!ec) candidates.push_back(self.parent_path().parent_path() / KAVREL_STANDIN_INSTALL_DIR);
#endif
  for (const fs::path& dir : candidates)
    if (fs::exists(dir / "libvisa.so", ec)) return dir.string();
  return {};
}

}  // namespace

double modelMaxFrequency(const std::string& identity) {
  for (const Model& model : kModels)
    if (identity.find("," + std::to_string(model.number) + ",") != std::string::npos) return model.maxFrequency;
  return 0;
}

std::string describe(const Failure& failure) {
  if (failure.status == VI_SUCCESS) return failure.what;
  ViChar text[256] = "";
  kavrel_error_message(VI_NULL, failure.status, text);
  return failure.what + ": " + text + " (0x" + hex8(failure.status) + ")";
}

void useStandinVisa(char** argv, std::string& why) {
  if (std::getenv(kRestartMarker)) return;  // already restarted
  std::string dir = standinDirectory();
  if (dir.empty()) {
    why = "the project's VISA stand-in (libvisa.so) is not installed next to this program";
    return;
  }
  std::string path = dir;
  if (const char* old = std::getenv("LD_LIBRARY_PATH"); old && *old) path += std::string(":") + old;
  setenv("LD_LIBRARY_PATH", path.c_str(), 1);
  setenv(kRestartMarker, "1", 1);
  execv("/proc/self/exe", argv);
  why = "cannot restart with the VISA stand-in";
}

Connection::Connection() = default;

Connection::~Connection() {
  if (vi_ != VI_NULL) kavrel_close(vi_);
  if (server_) server_->stop();
}

bool Connection::open(const std::string& resource, const SimSettings& sim, Failure& failure) {
  resource_ = resource;
  if (resource_.empty()) {
    kavrel::sim::Options options;
    options.model = sim.model;
    options.options = sim.options;
    options.seed = sim.seed;
    options.hislipPort = 0;
    options.rawPort = -1;
    server_ = std::make_unique<kavrel::sim::Server>(options);
    std::string error;
    if (!server_->start(&error)) {
      failure = {"cannot start the simulated instrument: " + error, VI_SUCCESS};
      return false;
    }
    resource_ = "TCPIP::127.0.0.1::hislip0," + std::to_string(server_->hislipPort()) + "::INSTR";
  }
  ViStatus status = kavrel_init(resource_.data(), VI_TRUE, VI_TRUE, &vi_);
  if (status < VI_SUCCESS) {
    vi_ = VI_NULL;
    failure = {"cannot open " + resource_, status};
    return false;
  }
  return true;
}

std::string Connection::identity() {
  ViChar reply[256] = "";
  ViInt32 count = 0;
  if (kavrel_writeInstrData(vi_, const_cast<ViString>("*IDN?")) < VI_SUCCESS) return {};
  if (kavrel_readInstrData(vi_, sizeof reply - 1, reply, &count) < VI_SUCCESS) return {};
  std::string text(reply, static_cast<std::size_t>(count));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace kavrel::cli
