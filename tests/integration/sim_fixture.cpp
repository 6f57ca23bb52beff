#include "tests/integration/sim_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string_view>

namespace kavrel::integration {

void PrintTo(const InstrumentError& error, std::ostream* out) { *out << error.code << ",\"" << error.text << '"'; }

std::string transportName(const ::testing::TestParamInfo<Transport>& info) {
  switch (info.param) {
    case Transport::hislip: return "Hislip";
    case Transport::vxi11: return "Vxi11";
    case Transport::socket: return "Socket";
  }
  return "Unknown";
}

void PrintTo(Transport transport, std::ostream* out) { *out << transportName({transport, 0}); }

SimInstrument::SimInstrument(int model, int options, std::string firmware, Transport transport)
    : transport_(transport) {
  sim::Options o;
  o.model = model;
  o.options = options;
  o.firmware = std::move(firmware);
  o.hislipPort = 0;  // ephemeral: tests never collide on a port
  o.rawPort = 0;
  o.vxi11Port = 0;
  o.portmapPort = 0;  // the simulator's own portmapper: no system rpcbind needed
  server_ = std::make_unique<sim::Server>(std::move(o));
}

bool SimInstrument::start(std::string& error) { return server_->start(&error); }

std::string SimInstrument::resource() const {
  if (transport_ == Transport::socket) return "TCPIP::127.0.0.1::" + std::to_string(server_->rawPort()) + "::SOCKET";
  if (transport_ == Transport::vxi11) return "TCPIP::127.0.0.1::inst0," + std::to_string(server_->portmapPort()) + "::INSTR";
  return "TCPIP::127.0.0.1::hislip0," + std::to_string(server_->hislipPort()) + "::INSTR";
}

ViStatus SimInstrument::init(ViBoolean idQuery, ViBoolean reset, ViSession& out) const {
  std::string name = resource();
  out = VI_NULL;
  return kavrel_init(name.data(), idQuery, reset, &out);
}

void SimTest::SetUp() {
  sessionsBefore_ = standin_open_sessions();
  sim_ = std::make_unique<SimInstrument>(model(), options(), firmware(), transport());
  std::string error;
  ASSERT_TRUE(sim_->start(error)) << error;
  ASSERT_EQ(VI_SUCCESS, init(VI_TRUE, VI_TRUE, vi_));
}

void SimTest::TearDown() {
  for (ViSession vi : opened_) kavrel_close(vi);
  opened_.clear();
  vi_ = VI_NULL;
  EXPECT_EQ(sessionsBefore_, standin_open_sessions()) << "a VISA session stayed open";
  sim_.reset();
}

ViStatus SimTest::init(ViBoolean idQuery, ViBoolean reset, ViSession& out) {
  ViStatus status = sim_->init(idQuery, reset, out);
  if (status >= VI_SUCCESS) opened_.push_back(out);
  return status;
}

ViStatus SimTest::close(ViSession vi) {
  std::erase(opened_, vi);
  if (vi == vi_) vi_ = VI_NULL;
  return kavrel_close(vi);
}

ViSession SimTest::openAnother() {
  ViSession vi = VI_NULL;
  EXPECT_EQ(VI_SUCCESS, init(VI_TRUE, VI_FALSE, vi));
  return vi;
}

std::vector<InstrumentError> instrumentErrors(ViSession vi) {
  std::vector<InstrumentError> errors;
  // The queue holds a bounded number of entries; more reads than that means it never empties.
  for (int i = 0; i < 64; ++i) {
    ViInt32 code = 0;
    ViChar text[256] = {};
    ViStatus status = kavrel_error_query(vi, &code, text);
    if (status < VI_SUCCESS) {
      ADD_FAILURE() << "kavrel_error_query returned " << status;
      break;
    }
    if (code == 0) break;
    errors.push_back({code, text});
  }
  return errors;
}

namespace {

// The instrument's answer to a query on `vi`, without its line feed.
std::string answer(ViSession vi, const char* query) {
  if (kavrel_writeInstrData(vi, viString(query)) < VI_SUCCESS) return "(the query could not be written)";
  ViChar reply[512] = {};
  ViInt32 count = 0;
  if (kavrel_readInstrData(vi, sizeof reply, reply, &count) < VI_SUCCESS) return "(no answer)";
  std::string text(reply, static_cast<std::size_t>(count));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

std::vector<std::string> answers(const std::string& text) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == ';')
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  return parts;
}

bool number(const std::string& text, double& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool sameAnswers(const std::string& expected, const std::string& got) {
  std::vector<std::string> want = answers(expected), have = answers(got);
  if (want.size() != have.size()) return false;
  for (std::size_t i = 0; i < want.size(); ++i) {
    double a = 0, b = 0;
    bool same = number(want[i], a) && number(have[i], b) ? std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a))
                                                         : want[i] == have[i];
    if (!same) return false;
  }
  return true;
}

}  // namespace

void SimTest::expectAccepted(const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    EXPECT_EQ(VI_SUCCESS, step.call(vi_));
    EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
    if (step.readBack == nullptr) continue;
    std::string got = answer(vi_, step.readBack);
    EXPECT_TRUE(sameAnswers(step.expected, got)) << step.readBack << " answers " << got << ", not " << step.expected;
  }
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kavrel-integration-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kavrel::integration
