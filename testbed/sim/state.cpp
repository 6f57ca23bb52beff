#include "testbed/sim/state.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>

#include "testbed/sim/dut.h"
#include "testbed/sim/scpi.h"

namespace kavrel::sim {

namespace {

// Calls f(key, value) for each "KEY=value" line up to the first line without '=' after the header.
template <typename F>
void forEachField(std::string_view bytes, F f) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(pos, end - pos);
    pos = end + 1;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq);
    std::string_view value = line.substr(eq + 1);
    if (key == "TERMS") break;  // binary data follows
    f(key, value);
  }
}

bool readReal(std::string_view text, double& out) {
  double v = 0.0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool readInt(std::string_view text, int& out) {
  int v = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || ptr != text.data() + text.size()) return false;
  out = v;
  return true;
}

// Comma-separated numbers into out; false unless exactly out.size() of them.
template <typename T, std::size_t N>
bool readList(std::string_view text, std::array<T, N>& out) {
  std::array<T, N> values{};
  std::size_t i = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find(',', pos);
    if (end == std::string_view::npos) end = text.size();
    if (i >= N) return false;
    bool ok = false;
    if constexpr (std::is_same_v<T, int>) ok = readInt(text.substr(pos, end - pos), values[i]);
    else ok = readReal(text.substr(pos, end - pos), values[i]);
    if (!ok) return false;
    ++i;
    pos = end + 1;
  }
  if (i != N) return false;
  out = values;
  return true;
}

template <std::size_t N>
int keywordIndex(const std::array<std::string_view, N>& table, std::string_view text, int fallback) {
  for (std::size_t i = 0; i < N; ++i) {
    std::string_view pattern = table[i];
    std::size_t shortLen = 0;
    while (shortLen < pattern.size() && !(pattern[shortLen] >= 'a' && pattern[shortLen] <= 'z')) ++shortLen;
    if (text == pattern.substr(0, shortLen)) return static_cast<int>(i);
  }
  return fallback;
}

std::string shortForm(std::string_view pattern) {
  std::size_t n = 0;
  while (n < pattern.size() && !(pattern[n] >= 'a' && pattern[n] <= 'z')) ++n;
  return std::string(pattern.substr(0, n));
}

std::string joinReals(const double* values, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) out += ',';
    out += scpi::formatReal(values[i]);
  }
  return out;
}

// A sensor correction table: frequency and calibration factor per line.
std::string sensorTable(int number) {
  std::string out = "SENSOR " + scpi::formatInt(number) + "\n";
  for (int i = 0; i <= 10; ++i) {
    double f = 10e6 + i * 2.599e9;
    double factor = 100.0 - 0.4 * i - 0.1 * number;
    out += scpi::formatReal(f) + "," + scpi::formatReal(std::round(factor * 10.0) / 10.0) + "\n";
  }
  return out;
}

}  // namespace

std::string kitSerialize(const KitState& kit) {
  std::string out = "KIT\n";
  out += "CONN=" + shortForm(kConnectors[static_cast<std::size_t>(kit.connector)]) + "\n";
  out += "IDEN=" + kit.identity + "\n";
  out += "SEX=" + shortForm(kSexes[static_cast<std::size_t>(kit.sex)]) + "\n";
  for (std::size_t i = 0; i < kKitStandards.size(); ++i)
    out += "SER:" + std::string(kKitStandards[i]) + "=" + kit.serials[i] + "\n";
  out += "SHOR:OLEN=" + scpi::formatReal(kit.shortOlen) + "\n";
  out += "OPEN:OLEN=" + scpi::formatReal(kit.openOlen) + "\n";
  out += "OPEN:FCO=" + joinReals(kit.fco.data(), kit.fco.size()) + "\n";
  out += "FIX:OLEN=" + scpi::formatReal(kit.fixOlen) + "\n";
  out += "FIX:BFR=" + scpi::formatReal(kit.fixBfr) + "\n";
  out += "SLID:BFR=" + scpi::formatReal(kit.slidBfr) + "\n";
  out += "LOAD:OLEN=" + scpi::formatReal(kit.loadOlen) + "\n";
  out += "WGC=" + scpi::formatReal(kit.wgc) + "\n";
  for (std::size_t i = 0; i < 2; ++i) {
    std::string name = i == 0 ? "OFF1" : "OFF2";
    out += name + ":OLEN=" + scpi::formatReal(kit.offOlen[i]) + "\n";
    out += name + ":MINF=" + scpi::formatReal(kit.offMin[i]) + "\n";
    out += name + ":MAXF=" + scpi::formatReal(kit.offMax[i]) + "\n";
  }
  return out;
}

void kitParse(std::string_view bytes, KitState& kit) {
  forEachField(bytes, [&](std::string_view key, std::string_view value) {
    if (key == "CONN") kit.connector = keywordIndex(kConnectors, value, kit.connector);
    else if (key == "IDEN") kit.identity.assign(value.substr(0, 20));
    else if (key == "SEX") kit.sex = keywordIndex(kSexes, value, kit.sex);
    else if (key == "SHOR:OLEN") readReal(value, kit.shortOlen);
    else if (key == "OPEN:OLEN") readReal(value, kit.openOlen);
    else if (key == "OPEN:FCO") readList(value, kit.fco);
    else if (key == "FIX:OLEN") readReal(value, kit.fixOlen);
    else if (key == "FIX:BFR") readReal(value, kit.fixBfr);
    else if (key == "SLID:BFR") readReal(value, kit.slidBfr);
    else if (key == "LOAD:OLEN") readReal(value, kit.loadOlen);
    else if (key == "WGC") readReal(value, kit.wgc);
    else if (key.substr(0, 4) == "SER:") {
      for (std::size_t i = 0; i < kKitStandards.size(); ++i)
        if (key.substr(4) == kKitStandards[i]) kit.serials[i].assign(value.substr(0, 20));
    } else if (key.size() > 5 && (key.substr(0, 5) == "OFF1:" || key.substr(0, 5) == "OFF2:")) {
      std::size_t i = key[3] == '1' ? 0 : 1;
      std::string_view field = key.substr(5);
      if (field == "OLEN") readReal(value, kit.offOlen[i]);
      else if (field == "MINF") readReal(value, kit.offMin[i]);
      else if (field == "MAXF") readReal(value, kit.offMax[i]);
    }
  });
}

std::string calSerialize(const CalDescription& cal, std::string_view terms) {
  std::string out = "CAL\n";
  out += "CABL=" + scpi::formatInt(cal.cable) + "\n";
  out += "CONN=" + shortForm(kConnectors[static_cast<std::size_t>(cal.connector)]) + "\n";
  out += "DATE=" + scpi::formatInt(cal.date[0]) + "," + scpi::formatInt(cal.date[1]) + "," +
         scpi::formatInt(cal.date[2]) + "\n";
  out += "TIME=" + scpi::formatInt(cal.time[0]) + "," + scpi::formatInt(cal.time[1]) + "," +
         scpi::formatInt(cal.time[2]) + "\n";
  out += "SEX=" + shortForm(kSexes[static_cast<std::size_t>(cal.sex)]) + "\n";
  out += "TITL=" + cal.title + "\n";
  out += "TYPE=" + shortForm(kCalTypes[static_cast<std::size_t>(cal.type)]) + "\n";
  out += "TERMS=" + scpi::formatInt(static_cast<long long>(terms.size())) + "\n";
  out.append(terms);
  return out;
}

void calParse(std::string_view bytes, CalDescription& cal) {
  forEachField(bytes, [&](std::string_view key, std::string_view value) {
    if (key == "CABL") {
      int v = 0;
      if (readInt(value, v)) cal.cable = v != 0 ? 1 : 0;
    } else if (key == "CONN") cal.connector = keywordIndex(kConnectors, value, cal.connector);
    else if (key == "DATE") readList(value, cal.date);
    else if (key == "TIME") readList(value, cal.time);
    else if (key == "SEX") cal.sex = keywordIndex(kSexes, value, cal.sex);
    else if (key == "TITL") cal.title.assign(value.substr(0, 20));
    else if (key == "TYPE") cal.type = keywordIndex(kCalTypes, value, cal.type);
  });
}

State stateDefault(const Limits& limits) {
  State s;
  double maxF = limits.maxFrequency;
  s.source.cw = dut::filterCentre(limits);
  s.source.start = 10e6;
  s.source.stop = maxF;
  for (std::size_t c = 0; c < s.channels.size(); ++c) {
    ChannelState& ch = s.channels[c];
    ch.mode = c == 0 ? chanScalar : chanReadout;
    for (std::size_t m = 0; m < ch.meas.size(); ++m) {
      MeasState& meas = ch.meas[m];
      meas.scalDef = m == 0 ? 0 : 1;  // power on B; ratio B/A
      meas.scalIn1 = 1;
      meas.scalIn2 = 0;
      meas.dispStart = s.source.start;
      meas.dispStop = s.source.stop;
      meas.zoomStart = 2.5e8;
      meas.zoomStop = maxF;
    }
    ch.floc.start = 10e6;
    ch.floc.stop = std::min(1.5e9, maxF);
    ch.floc.centre = (ch.floc.start + ch.floc.stop) / 2.0;
    ch.floc.wgc = 0.0;
  }
  for (std::size_t k = 0; k < s.kits.size(); ++k) {
    KitState& kit = s.kits[k];
    kit.connector = static_cast<int>(k);  // C35, CN, C7, WG
    kit.identity = "KIT " + scpi::formatInt(static_cast<long long>(k + 1));
    kit.sex = k == 3 ? 0 : 1;
    for (std::size_t i = 0; i < kit.serials.size(); ++i)
      kit.serials[i] = "SN" + scpi::formatInt(static_cast<long long>(1000 * (k + 1) + i));
    kit.openOlen = 5e-3;
    kit.fco = {0.0, 0.0, 0.0, 0.0};
    kit.fixBfr = 50.0;
    kit.slidBfr = 50.0;
    kit.wgc = k == 3 ? 6.557e9 : 0.0;
    kit.offOlen = {2.5e-3, 7.5e-3};
    kit.offMin = {8e9, 8e9};
    kit.offMax = {12.4e9, 12.4e9};
    s.kitStores[k].bytes = kitSerialize(kit);
  }
  SourceState defaultSweep = s.source;
  auto terms = dut::floatsToBytes(std::vector<float>(static_cast<std::size_t>(defaultSweep.points) * 6, 0.0f));
  for (std::size_t i = 0; i < s.calDescriptions.size(); ++i) {
    CalDescription& d = s.calDescriptions[i];
    int kit = static_cast<int>(i % s.kits.size());
    d.connector = s.kits[static_cast<std::size_t>(kit)].connector;
    d.type = kit == 3 ? 2 : 0;
    d.sex = kit == 3 ? 0 : 1;
    d.date = {2024, 1, static_cast<int>(i + 1)};
    d.time = {12, 0, 0};
    d.title = "FACTORY " + scpi::formatInt(static_cast<long long>(i + 1));
    s.reflCals[i].bytes = calSerialize(d, terms);
  }
  // Scalar memories hold the filter's noise-free transmission; path calibrations the cable loss.
  std::vector<float> response;
  for (const auto& p : dut::sweepPoints(defaultSweep))
    response.push_back(static_cast<float>(p.level + dut::filterS21dB(p.frequency, limits)));
  for (auto& mem : s.scalarMemories) mem.bytes = dut::floatsToBytes(response);
  for (auto& cal : s.pathCals) cal.bytes = dut::floatsToBytes(dut::pathLoss(defaultSweep));
  for (std::size_t i = 0; i < s.sensorStores.size(); ++i)
    s.sensorStores[i].bytes = sensorTable(static_cast<int>(i + 1));
  s.flocCal.bytes = dut::floatsToBytes(std::vector<float>(static_cast<std::size_t>(s.channels[0].floc.points) * 2, 0.0f));
  std::vector<float> levels;
  for (int i = 0; i < 101; ++i) levels.push_back(static_cast<float>(0.05 * std::sin(i / 10.0)));
  s.sourcePpst.bytes = dut::floatsToBytes(levels);
  s.sourceFst.bytes = dut::floatsToBytes(std::vector<float>(levels.rbegin(), levels.rend()));
  for (auto& table : s.sourceUpst) table.bytes = dut::floatsToBytes(std::vector<float>(101, 0.0f));
  return s;
}

}  // namespace kavrel::sim

