#include "testbed/sim/instrument.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

struct ModelRow {
  int model;
  double maxFrequency;
};
constexpr std::array<ModelRow, 5> kModels = {{
    {4100, 20e9}, {4101, 8e9}, {4102, 2e9}, {4103, 26.5e9}, {4104, 26e9},
}};

struct ParsedCommand {
  bool common = false;
  std::string commonName;
  std::vector<scpi::NodePattern> nodes;
  const Command* command = nullptr;
};

const std::vector<ParsedCommand>& commandTable() {
  static const std::vector<ParsedCommand> table = [] {
    std::vector<ParsedCommand> out;
    for (auto family : {commandsSystem(), commandsSource(), commandsDisplay(), commandsScalar(),
                        commandsPowerMeter(), commandsFaultLocation(), commandsReflection(),
                        commandsCalibration()}) {
      for (const Command& cmd : family) {
        ParsedCommand p;
        p.command = &cmd;
        std::string_view pattern = cmd.pattern;
        if (!pattern.empty() && pattern[0] == '*') {
          p.common = true;
          p.commonName = std::string(pattern.substr(1));
        } else {
          if (!pattern.empty() && pattern[0] == ':') pattern.remove_prefix(1);
          while (!pattern.empty()) {
            std::size_t colon = pattern.find(':');
            std::string_view node = pattern.substr(0, colon);
            p.nodes.push_back(scpi::nodePatternParse(node));
            pattern = colon == std::string_view::npos ? std::string_view{} : pattern.substr(colon + 1);
          }
        }
        out.push_back(std::move(p));
      }
    }
    return out;
  }();
  return table;
}

// Finds the command of a unit. A bad numeric suffix on a node that matches gives badSuffix.
const Command* commandFind(const scpi::Unit& unit, std::array<int, 8>& suffixes, bool& badSuffix) {
  badSuffix = false;
  for (const ParsedCommand& p : commandTable()) {
    if (p.common != unit.common) continue;
    if (p.common) {
      if (!unit.nodes.empty() && unit.nodes[0] == p.commonName) return p.command;
      continue;
    }
    if (p.nodes.size() != unit.nodes.size() || p.nodes.size() > suffixes.size()) continue;
    std::array<int, 8> captured{};
    bool ok = true;
    bool suffixProblem = false;
    for (std::size_t i = 0; i < p.nodes.size() && ok; ++i) {
      auto s = scpi::nodeMatch(p.nodes[i], unit.nodes[i]);
      if (!s) ok = false;
      else if (*s < 0) suffixProblem = true;
      else captured[i] = *s;
    }
    if (!ok) continue;
    if (suffixProblem) {
      badSuffix = true;
      continue;
    }
    suffixes = captured;
    return p.command;
  }
  return nullptr;
}

bool keywordEquals(std::string_view pattern, std::string_view upperText) {
  std::size_t shortLen = 0;
  while (shortLen < pattern.size() && !(pattern[shortLen] >= 'a' && pattern[shortLen] <= 'z')) ++shortLen;
  if (upperText == pattern.substr(0, shortLen)) return true;
  if (upperText.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upperText[i]) return false;
  }
  return true;
}

}  // namespace

double modelMaxFrequency(int model) {
  for (const auto& row : kModels)
    if (row.model == model) return row.maxFrequency;
  return 0.0;
}

double optionsMinLevel(std::int32_t options) {
  if (options & 0x20) return -90.0;
  if (options & 0x200) return -110.0;
  return -70.0;
}

std::string keywordShort(std::string_view pattern) {
  std::size_t n = 0;
  while (n < pattern.size() && !(pattern[n] >= 'a' && pattern[n] <= 'z')) ++n;
  return std::string(pattern.substr(0, n));
}

// ---- status ------------------------------------------------------------------------

void statusPushError(SessionStatus& status, int code) {
  status.esr |= scpi::errorEsrBit(code);
  if (status.errors.size() < kErrorQueueSize) {
    status.errors.push_back(code);
  } else if (status.errors.back() != scpi::err::queueOverflow) {
    status.errors.back() = scpi::err::queueOverflow;  // the newest entry reports the loss
  }
}

std::uint8_t statusByteOf(const SessionStatus& status) {
  std::uint8_t stb = 0;
  if (!status.errors.empty()) stb |= 0x04;
  if (status.output) stb |= 0x10;
  if (status.esr & status.ese) stb |= 0x20;
  if (stb & status.sre & 0xBF) stb |= 0x40;
  return stb;
}

// ---- context ------------------------------------------------------------------------

const scpi::Param* Context::param(std::size_t i) {
  return i < unit_.params.size() ? &unit_.params[i] : nullptr;
}

bool Context::count(std::size_t min, std::size_t max) {
  if (unit_.params.size() < min) {
    fail(scpi::err::missingParameter);
    return false;
  }
  if (unit_.params.size() > max) {
    fail(scpi::err::parameterNotAllowed);
    return false;
  }
  return true;
}

std::optional<double> Context::real(std::size_t i, double lo, double hi) {
  const scpi::Param* p = param(i);
  if (!p) {
    fail(scpi::err::missingParameter);
    return std::nullopt;
  }
  double v = 0.0;
  if (p->kind == scpi::Param::Kind::number) {
    v = p->number;
  } else if (p->kind == scpi::Param::Kind::character && keywordEquals("MINimum", p->text)) {
    v = lo;
  } else if (p->kind == scpi::Param::Kind::character && keywordEquals("MAXimum", p->text)) {
    v = hi;
  } else {
    fail(scpi::err::dataType);
    return std::nullopt;
  }
  if (!(v >= lo && v <= hi)) {  // NaN fails too
    fail(scpi::err::outOfRange);
    return std::nullopt;
  }
  return v;
}

std::optional<int> Context::integer(std::size_t i, int lo, int hi) {
  auto v = real(i, static_cast<double>(lo) - 0.5, static_cast<double>(hi) + 0.4999999);
  if (!v) return std::nullopt;
  double r = std::round(*v);
  return static_cast<int>(std::clamp(r, static_cast<double>(lo), static_cast<double>(hi)));
}

std::optional<bool> Context::boolean(std::size_t i) {
  const scpi::Param* p = param(i);
  if (!p) {
    fail(scpi::err::missingParameter);
    return std::nullopt;
  }
  if (p->kind == scpi::Param::Kind::number) {
    if (!std::isfinite(p->number)) {
      fail(scpi::err::outOfRange);
      return std::nullopt;
    }
    return std::round(p->number) != 0.0;
  }
  if (p->kind == scpi::Param::Kind::character) {
    if (p->text == "ON") return true;
    if (p->text == "OFF") return false;
    fail(scpi::err::illegalValue);
    return std::nullopt;
  }
  fail(scpi::err::dataType);
  return std::nullopt;
}

std::optional<int> Context::keyword(std::size_t i, std::span<const std::string_view> table) {
  const scpi::Param* p = param(i);
  if (!p) {
    fail(scpi::err::missingParameter);
    return std::nullopt;
  }
  if (p->kind != scpi::Param::Kind::character) {
    fail(scpi::err::dataType);
    return std::nullopt;
  }
  for (std::size_t k = 0; k < table.size(); ++k)
    if (keywordEquals(table[k], p->text)) return static_cast<int>(k);
  fail(scpi::err::illegalValue);
  return std::nullopt;
}

std::optional<std::string> Context::text(std::size_t i, std::size_t maxLength) {
  const scpi::Param* p = param(i);
  if (!p) {
    fail(scpi::err::missingParameter);
    return std::nullopt;
  }
  if (p->kind != scpi::Param::Kind::string) {
    fail(scpi::err::dataType);
    return std::nullopt;
  }
  if (p->text.size() > maxLength) {
    fail(scpi::err::tooMuchData);
    return std::nullopt;
  }
  return p->text;
}

std::optional<std::string> Context::block(std::size_t i) {
  const scpi::Param* p = param(i);
  if (!p) {
    fail(scpi::err::missingParameter);
    return std::nullopt;
  }
  if (p->kind != scpi::Param::Kind::block) {
    fail(scpi::err::dataType);
    return std::nullopt;
  }
  return p->text;
}

void Context::fail(int code) {
  if (failed_) return;
  failed_ = true;
  statusPushError(status_, code);
}

void Context::reply(std::string text) { reply_ = std::move(text); }

void Context::replyKeyword(std::span<const std::string_view> table, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= table.size()) {
    fail(scpi::err::deviceError);
    return;
  }
  reply(keywordShort(table[static_cast<std::size_t>(index)]));
}

void Context::replyDefiniteBlock(std::string_view bytes) { reply(scpi::formatDefiniteBlock(bytes)); }

void Context::replyIndefiniteBlock(std::string_view bytes) {
  reply("#0" + std::string(bytes));
  indefinite_ = true;
}

void Context::replyTrace(TraceKind kind, std::vector<float> (*measure)(Context&)) {
  Instrument::Impl::CachedTrace& cached = instrument_.traces[static_cast<std::size_t>(kind)];
  if (!cached.reply || cached.generation != instrument_.settingsGeneration) {
    replyIndefiniteBlock(dut::floatsToBytes(measure(*this)));
    cached.reply = reply_;
    cached.generation = instrument_.settingsGeneration;
    return;
  }
  reply(*cached.reply);
  indefinite_ = true;
}

ChannelState& Context::channel() {
  State& s = state();
  return s.channels[static_cast<std::size_t>(std::clamp(s.activeChannel, 1, 2) - 1)];
}

MeasState& Context::meas() {
  ChannelState& ch = channel();
  return ch.meas[static_cast<std::size_t>(std::clamp(ch.activeMeas, 1, 2) - 1)];
}

void rangeSet(Context& c, double& start, double& stop, std::pair<double, double> limits, Edge edge) {
  auto [lo, hi] = limits;
  auto v = c.oneReal(edge == Edge::span ? 0.0 : lo, edge == Edge::span ? hi - lo : hi);
  if (!v) return;
  switch (edge) {
    case Edge::start:
      start = *v;
      stop = std::max(stop, start);
      break;
    case Edge::stop:
      stop = *v;
      start = std::min(start, stop);
      break;
    case Edge::centre: {
      double half = std::min({(stop - start) / 2.0, *v - lo, hi - *v});
      start = *v - half;
      stop = *v + half;
      break;
    }
    case Edge::span: {
      double centre = (start + stop) / 2.0;
      double half = std::min({*v / 2.0, centre - lo, hi - centre});
      start = centre - half;
      stop = centre + half;
      break;
    }
  }
}

void rangeReply(Context& c, double start, double stop, Edge edge) {
  if (!c.none()) return;
  switch (edge) {
    case Edge::start: c.replyReal(start); break;
    case Edge::stop: c.replyReal(stop); break;
    case Edge::centre: c.replyReal((start + stop) / 2.0); break;
    case Edge::span: c.replyReal(stop - start); break;
  }
}

// ---- execution -----------------------------------------------------------------------

void Instrument::Impl::execute(SessionStatus& status, std::string_view message) {
  scpi::MessageParser parser(message);
  scpi::Unit unit;
  std::string response;
  bool anyResponse = false;
  bool indefinite = false;
  while (parser.next(unit)) {
    Context c(*this, status, unit);
    std::array<int, 8> suffixes{};
    bool badSuffix = false;
    const Command* cmd = commandFind(unit, suffixes, badSuffix);
    if (!cmd) {
      c.fail(badSuffix ? scpi::err::headerSuffix : scpi::err::undefinedHeader);
      continue;
    }
    Handler h = unit.query ? cmd->query : cmd->set;
    if (!h) {
      c.fail(scpi::err::undefinedHeader);
      continue;
    }
    c.setSuffixes(suffixes);
    if (!unit.query) ++settingsGeneration;
    h(c);
    if (!c.replyText()) continue;
    if (indefinite) {  // nothing may follow an indefinite block in one response
      statusPushError(status, -440);
      continue;
    }
    if (anyResponse) {
      response.push_back(';');
      response += c.takeReply();
    } else {
      response = c.takeReply();
    }
    anyResponse = true;
    indefinite = c.replyIndefinite();
  }
  if (parser.error() != scpi::err::none) statusPushError(status, parser.error());
  if (anyResponse) {
    Response r;
    r.bytes = std::move(response);
    r.indefiniteBlock = indefinite;
    // Every response ends with a line feed sent with END, an indefinite
    // block too: IEEE 488.2 closes one with NL^END.
    r.bytes.push_back('\n');
    status.output = std::move(r);
  }
}

// ---- instrument ----------------------------------------------------------------------

Instrument::Instrument(Identity identity, std::uint64_t seed) : impl_(std::make_unique<Impl>()) {
  if (modelMaxFrequency(identity.model) == 0.0) identity.model = 4101;
  impl_->identity = std::move(identity);
  impl_->limits.maxFrequency = modelMaxFrequency(impl_->identity.model);
  impl_->limits.minLevel = optionsMinLevel(impl_->identity.options);
  impl_->seed = seed;
  impl_->rng = dut::Rng(seed);
  impl_->state = stateDefault(impl_->limits);
}

Instrument::~Instrument() = default;

const Identity& Instrument::identity() const { return impl_->identity; }
double Instrument::maxFrequency() const { return impl_->limits.maxFrequency; }
double Instrument::minLevel() const { return impl_->limits.minLevel; }

void Instrument::reset() {
  std::lock_guard lock(impl_->mutex);
  impl_->resetSettings();
}

void Instrument::Impl::resetSettings() {
  ++settingsGeneration;
  State fresh = stateDefault(limits);
  State& s = state;
  // Non-volatile: the stores, kits and calibration descriptions.
  fresh.kits = s.kits;
  fresh.calDescriptions = s.calDescriptions;
  fresh.scalarMemories = s.scalarMemories;
  fresh.pathCals = s.pathCals;
  fresh.sensorStores = s.sensorStores;
  fresh.flocCal = s.flocCal;
  fresh.reflCals = s.reflCals;
  fresh.kitStores = s.kitStores;
  fresh.sourcePpst = s.sourcePpst;
  fresh.sourceFst = s.sourceFst;
  fresh.sourceUpst = s.sourceUpst;
  fresh.sweepCount = s.sweepCount;
  s = std::move(fresh);
}

void Instrument::factoryDefaults() {
  std::lock_guard lock(impl_->mutex);
  impl_->state = stateDefault(impl_->limits);
  impl_->rng = dut::Rng(impl_->seed);
  ++impl_->settingsGeneration;
}

// ---- session -------------------------------------------------------------------------

struct Session::Status : SessionStatus {};

Session::Session(Instrument& instrument) : instrument_(*instrument.impl_), status_(std::make_unique<Status>()) {}

Session::~Session() = default;

void Session::execute(std::string_view message) {
  std::lock_guard lock(instrument_.mutex);
  if (status_->output) {
    status_->output.reset();
    statusPushError(*status_, scpi::err::queryInterrupted);
  }
  instrument_.execute(*status_, message);
}

bool Session::responsePending() const {
  std::lock_guard lock(instrument_.mutex);
  return status_->output.has_value();
}

std::optional<Response> Session::read() {
  std::lock_guard lock(instrument_.mutex);
  if (!status_->output) {
    statusPushError(*status_, scpi::err::queryUnterminated);
    return std::nullopt;
  }
  std::optional<Response> out = std::move(status_->output);
  status_->output.reset();
  return out;
}

std::string Session::query(std::string_view message) {
  execute(message);
  std::lock_guard lock(instrument_.mutex);
  if (!status_->output) return {};
  std::string bytes = std::move(status_->output->bytes);
  status_->output.reset();
  return bytes;
}

std::uint8_t Session::statusByte() const {
  std::lock_guard lock(instrument_.mutex);
  return statusByteOf(*status_);
}

void Session::deviceClear() {
  std::lock_guard lock(instrument_.mutex);
  status_->output.reset();
}

std::optional<std::uint8_t> Session::takeServiceRequest() {
  std::lock_guard lock(instrument_.mutex);
  std::uint8_t stb = statusByteOf(*status_);
  if (!(stb & 0x40) || !status_->srqArmed) return std::nullopt;
  status_->srqArmed = false;
  return stb;
}

void Session::rearmServiceRequest() {
  std::lock_guard lock(instrument_.mutex);
  status_->srqArmed = true;
}

void Session::logError(int code) {
  std::lock_guard lock(instrument_.mutex);
  statusPushError(*status_, code);
}

}  // namespace kavrel::sim
