#include "tools/kavrel/connection.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "driver/core/limits.h"
#include "testbed/sim/server.h"

namespace kavrel::cli {

namespace {

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

void useStandinVisa(std::string& why) {
  std::string dir = standinDirectory();
  if (dir.empty()) {
    why = "the project's VISA stand-in (libvisa.so) is not installed next to this program";
    return;
  }
  setenv("KAVREL_VISA_LIBRARY", (dir + "/libvisa.so").c_str(), 1);
}

bool visaLibrary(ViSession vi, std::string& text) {
  ViChar path[4096] = "";
  if (kavrel_visa_library(vi, sizeof path, path) < VI_SUCCESS) {
    text = path;
    return false;
  }
  ViChar manufacturer[256] = "";
  ViVersion implementation = 0, specification = 0;
  text = path;
  if (kavrel_visa_identity(vi, manufacturer, &implementation, &specification) >= VI_SUCCESS) {
    auto version = [](ViVersion v) {
      return std::to_string(v >> 20) + "." + std::to_string((v >> 8) & 0xFFF) + "." + std::to_string(v & 0xFF);
    };
    text += std::string(" (") + manufacturer + ", version " + version(implementation) + ", VISA " +
            version(specification) + ")";
  }
  return true;
}

Connection::Connection() = default;

Connection::~Connection() {
  if (vi_ != VI_NULL) kavrel_close(vi_);
  if (server_) server_->stop();
}

bool Connection::start(const std::string& resource, const SimSettings& sim, Failure& failure) {
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
  return true;
}

bool Connection::open(bool reset, Failure& failure) {
  ViStatus status = kavrel_init(resource_.data(), VI_TRUE, reset ? VI_TRUE : VI_FALSE, &vi_);
  if (status < VI_SUCCESS) {
    vi_ = VI_NULL;
    failure = {"cannot open " + resource_, status};
    if (std::string why; !visaLibrary(VI_NULL, why)) failure.what += ": no VISA library can be used (" + why + ")";
    return false;
  }
  return true;
}

}  // namespace kavrel::cli
