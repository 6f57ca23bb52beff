#include "testbed/sim/dut.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kavrel::sim::dut {

namespace {

constexpr double kLight = 299792458.0;
constexpr double kNoiseFloorDbm = -75.0;
constexpr double kOpenInputDbm = -90.0;
constexpr int kFilterOrder = 5;

double dbToPower(double db) { return std::pow(10.0, db / 10.0); }
double powerToDb(double p) { return 10.0 * std::log10(std::max(p, 1e-30)); }

// Filter offset from the centre, in half bandwidths (0 at the centre, +-1 at the 3 dB edges).
double filterDetuning(double frequency, const Limits& limits) {
  double f0 = filterCentre(limits);
  double f = std::max(frequency, 1.0);
  return (f / f0 - f0 / f) * f0 / filterBandwidth(limits);
}

// True power reaching an input at one sweep point, dBm.
double inputPower(int input, const SweepPoint& p, const Limits& limits) {
  switch (input) {
    case 0: return p.level - 0.5;
    case 1: return p.level + filterS21dB(p.frequency, limits);
    case 2: return p.level - 6.0 + 20.0 * std::log10(std::max(std::abs(filterS11(p.frequency, limits)), 1e-6));
    default: return kOpenInputDbm;
  }
}

// What a detector reports for a true power: the noise floor adds, seeded noise scatters.
double detect(double dbm, double sigma, Rng& rng) {
  return powerToDb(dbToPower(dbm) + dbToPower(kNoiseFloorDbm)) + sigma * rng.gaussian();
}

double averagingFactor(bool on, int n) { return on && n > 1 ? 1.0 / std::sqrt(static_cast<double>(n)) : 1.0; }

float scalarFormatted(int format, int def, double value) {
  if (def == 2) return static_cast<float>(value);  // counter: Hz in every format
  switch (format) {
    case fmtWatt: return static_cast<float>(def == 0 ? dbToPower(value) / 1000.0 : dbToPower(value));
    case fmtVswr: {
      double rho = std::min(std::pow(10.0, value / 20.0), 0.999);
      return static_cast<float>((1.0 + rho) / (1.0 - rho));
    }
    case fmtVolt: return static_cast<float>(def == 0 ? std::sqrt(dbToPower(value) / 1000.0 * 50.0) : std::pow(10.0, value / 20.0));
    default: return static_cast<float>(value);
  }
}

void smoothInPlace(std::vector<double>& values, double aperturePercent) {
  std::size_t n = values.size();
  auto half = static_cast<std::size_t>(std::llround(aperturePercent / 100.0 * static_cast<double>(n) / 2.0));
  if (half == 0 || n < 3) return;
  std::vector<double> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t lo = i >= half ? i - half : 0;
    std::size_t hi = std::min(n - 1, i + half);
    double sum = 0.0;
    for (std::size_t k = lo; k <= hi; ++k) sum += values[k];
    out[i] = sum / static_cast<double>(hi - lo + 1);
  }
  values.swap(out);
}

struct Discontinuity {
  double distance;  // metres from the test port
  double returnLoss;  // dB
};
constexpr std::array<Discontinuity, 4> kCableFaults = {{{0.0, -30.0}, {4.5, -26.0}, {11.0, -18.0}, {23.0, -6.0}}};
constexpr double kFeet = 0.3048;

}  // namespace

std::uint64_t Rng::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Rng::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Rng::gaussian() {
  double u1 = uniform();
  double u2 = uniform();
  if (u1 < 1e-300) u1 = 1e-300;
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

double filterCentre(const Limits& limits) { return limits.maxFrequency / 2.0; }
double filterBandwidth(const Limits& limits) { return limits.maxFrequency / 10.0; }

double filterS21dB(double frequency, const Limits& limits) {
  double x = filterDetuning(frequency, limits);
  double db = -1.0 - 10.0 * std::log10(1.0 + std::pow(x * x, kFilterOrder));
  return std::max(db, -80.0);
}

std::complex<double> filterS11(double frequency, const Limits& limits) {
  double x = filterDetuning(frequency, limits);
  double x2n = std::pow(x * x, kFilterOrder);
  double magnitude = std::sqrt(std::max(x2n / (1.0 + x2n), dbToPower(-26.0)));
  double phase = -kFilterOrder * std::atan(x) - 2.0 * std::numbers::pi * frequency * 1e-9;
  return std::polar(magnitude, phase);
}

std::vector<SweepPoint> sweepPoints(const SourceState& s) {
  int n = std::max(s.points, 2);
  std::vector<SweepPoint> out(static_cast<std::size_t>(n));
  auto lerp = [n](double a, double b, int i) { return a + (b - a) * i / (n - 1); };
  std::vector<double> listFrequencies;
  if (s.mode == modeList) {
    for (const auto& seg : s.list) {
      int p = std::max(seg.points, 1);
      for (int i = 0; i < p; ++i)
        listFrequencies.push_back(p == 1 ? seg.start : seg.start + (seg.stop - seg.start) * i / (p - 1));
    }
  }
  for (int i = 0; i < n; ++i) {
    SweepPoint& p = out[static_cast<std::size_t>(i)];
    p.frequency = s.cw;
    p.level = s.level;
    switch (s.mode) {
      case modeCw: p.x = lerp(0.0, s.autoTime ? 0.05 : s.sweepTime, i); break;
      case modePow:
        p.level = lerp(s.powStart, s.powStop, i);
        p.x = p.level;
        break;
      case modeVolt: p.x = lerp(s.voltStart, s.voltStop, i); break;
      case modeCurr: p.x = lerp(s.currStart, s.currStop, i); break;
      case modeLowp: p.frequency = s.stop * (i + 1) / n; p.x = p.frequency; break;
      case modeList:
        if (!listFrequencies.empty()) {
          std::size_t k = static_cast<std::size_t>(i) * (listFrequencies.size() - 1) / static_cast<std::size_t>(n - 1);
          p.frequency = listFrequencies[k];
          p.x = p.frequency;
          break;
        }
        [[fallthrough]];
      default:
        p.frequency = lerp(s.start, s.stop, i);
        p.x = p.frequency;
        break;
    }
  }
  return out;
}

std::vector<float> pathLoss(const SourceState& source) {
  std::vector<float> out;
  for (const auto& p : sweepPoints(source))
    out.push_back(static_cast<float>(-0.3 - 0.4 * std::sqrt(std::max(p.frequency, 0.0) / 1e9)));
  return out;
}

std::vector<float> scalarTrace(const State& state, const MeasState& meas, const Limits& limits, Rng& rng) {
  auto points = sweepPoints(state.source);
  std::size_t n = points.size();
  std::vector<double> values(n);
  double sigma = 0.03 * averagingFactor(meas.scalAvg, meas.scalAvgN);
  auto memoryValues = [&](int number) {
    if (number < 1 || number > kScalarMemories) return std::vector<float>{};
    return bytesToFloats(state.scalarMemories[static_cast<std::size_t>(number - 1)].bytes);
  };
  if (meas.shownMem > 0) {
    auto mem = memoryValues(meas.shownMem);
    for (std::size_t i = 0; i < n; ++i) values[i] = i < mem.size() ? mem[i] : 0.0;
  } else {
    std::vector<float> loss;
    if (state.pathCalOn && state.pathCalSel >= 1 && state.pathCalSel <= kPathCals)
      loss = bytesToFloats(state.pathCals[static_cast<std::size_t>(state.pathCalSel - 1)].bytes);
    for (std::size_t i = 0; i < n; ++i) {
      const SweepPoint& p = points[i];
      if (meas.scalDef == 2) {
        values[i] = std::round(p.frequency + 10.0 * rng.gaussian());
        continue;
      }
      double a = detect(inputPower(meas.scalIn1, p, limits), sigma, rng) +
                 state.inputs[static_cast<std::size_t>(meas.scalIn1)].offset;
      if (meas.scalDef == 1) {
        double b = detect(inputPower(meas.scalIn2, p, limits), sigma, rng) +
                   state.inputs[static_cast<std::size_t>(meas.scalIn2)].offset;
        a -= b;
      }
      if (loss.size() == n) a -= loss[i];
      values[i] = a;
    }
    if (meas.smooth && meas.scalDef != 2) smoothInPlace(values, meas.smoothAper);
  }
  if (meas.mopOn) {
    auto mem = memoryValues(meas.mopMem);
    if (mem.size() >= n)
      for (std::size_t i = 0; i < n; ++i) values[i] -= mem[i];
  }
  std::vector<float> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = scalarFormatted(meas.scalFormat, meas.scalDef, values[i]);
  return out;
}

std::vector<double> flocDistances(const ChannelState& channel) {
  const FlocState& f = channel.floc;
  int n = std::max(f.points, 2);
  double velocity = f.coax ? f.rvel : 1.0;
  if (!f.coax) {
    double fc = f.rangeEntry ? f.centre : (f.start + f.stop) / 2.0;
    double ratio = fc > 0.0 ? f.wgc / fc : 0.0;
    velocity = ratio < 0.995 ? std::sqrt(1.0 - ratio * ratio) : 0.1;
  }
  double maxMetres = 0.0;
  if (f.rangeEntry) {
    maxMetres = f.metres ? f.rangeValue : f.rangeValue * kFeet;
  } else {
    double span = std::max(std::abs(f.stop - f.start), 1e6);
    maxMetres = (n - 1) * kLight * velocity / (2.0 * span);
  }
  std::vector<double> out(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    double metres = maxMetres * i / (n - 1);
    out[static_cast<std::size_t>(i)] = f.metres ? metres : metres / kFeet;
  }
  return out;
}

std::vector<float> flocTrace(const ChannelState& channel, const MeasState& meas, Rng& rng) {
  const FlocState& f = channel.floc;
  auto distances = flocDistances(channel);
  std::size_t n = distances.size();
  double step = n > 1 ? distances[1] - distances[0] : 1.0;
  if (!f.metres) step *= kFeet;
  constexpr std::array<double, 3> kWindowWidth = {1.2, 1.8, 2.6};
  double width = std::max(step * kWindowWidth[static_cast<std::size_t>(std::clamp(f.window, 0, 2))], 1e-6);
  double attPerMetre = f.metres ? f.att / 100.0 : f.att / (100.0 * kFeet);
  double noise = std::pow(10.0, -55.0 / 20.0) * averagingFactor(f.avg, f.avgN);
  std::vector<float> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    double metres = f.metres ? distances[i] : distances[i] * kFeet;
    double rho = 0.0;
    for (const auto& fault : kCableFaults) {
      double amplitude = std::pow(10.0, (fault.returnLoss - 2.0 * attPerMetre * fault.distance) / 20.0);
      double u = (metres - fault.distance) / width;
      rho += amplitude * std::exp(-0.5 * u * u);
    }
    rho += noise * std::abs(1.0 + 0.3 * rng.gaussian());
    rho = std::min(rho, 0.999);
    out[i] = meas.flocFormat == 1 ? static_cast<float>(20.0 * std::log10(rho))
                                  : static_cast<float>((1.0 + rho) / (1.0 - rho));
  }
  return out;
}

std::vector<float> reflTrace(const State& state, const MeasState& meas, const Limits& limits, Rng& rng) {
  auto points = sweepPoints(state.source);
  std::size_t n = points.size();
  double noise = 1e-3 * averagingFactor(state.reflAvg, state.reflAvgN);
  std::vector<float> out(2 * n);
  if (meas.reflShownMem > 0 && meas.reflShownMem <= kReflMemories) {
    const auto& mem = state.reflMemories[static_cast<std::size_t>(meas.reflShownMem - 1)];
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = i < mem.size() ? mem[i] : 0.0f;
    return out;
  }
  if (meas.tdom) {
    // Time-domain response: the filter's input reflection and a reflection behind it.
    double t0 = meas.zoomStop > meas.zoomStart && meas.zoomStop <= 1.0 ? meas.zoomStart : 0.0;
    double t1 = meas.zoomStop > meas.zoomStart && meas.zoomStop <= 1.0 ? meas.zoomStop : 20e-9;
    constexpr std::array<std::pair<double, double>, 3> kEchoes = {{{1e-9, 0.3}, {4e-9, 0.1}, {7.5e-9, 0.04}}};
    double width = 0.15e-9 * (1.0 + 0.5 * std::clamp(meas.windowShape, 0, 3));
    double running = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      double t = t0 + (t1 - t0) * static_cast<double>(i) / static_cast<double>(n - 1);
      double v = 0.0;
      for (const auto& [at, amplitude] : kEchoes) {
        double u = (t - at) / width;
        v += amplitude * std::exp(-0.5 * u * u);
      }
      v += noise * rng.gaussian();
      running += v;
      double shown = meas.response == 0 ? running / static_cast<double>(n) * 10.0 : v;
      bool inside = t >= meas.gateStart && t <= meas.gateStop;
      if (meas.gateOn && ((meas.gateType == 1 && !inside) || (meas.gateType == 0 && inside))) shown = 0.0;
      out[2 * i] = static_cast<float>(shown);
      out[2 * i + 1] = 0.0f;
    }
    return out;
  }
  double tau = meas.delayLength ? meas.delay / kLight : meas.delay;
  std::complex<double> offset = std::polar(1.0, meas.phaseOffset * std::numbers::pi / 180.0);
  const std::vector<float>* operand = nullptr;
  if (meas.reflDef != 0 && meas.reflOperand >= 1 && meas.reflOperand <= kReflMemories) {
    const auto& mem = state.reflMemories[static_cast<std::size_t>(meas.reflOperand - 1)];
    if (mem.size() >= 2 * n) operand = &mem;
  }
  for (std::size_t i = 0; i < n; ++i) {
    double f = points[i].frequency;
    std::complex<double> s = filterS11(f, limits);
    s += std::complex<double>(noise * rng.gaussian(), noise * rng.gaussian());
    if (operand) {
      std::complex<double> m((*operand)[2 * i], (*operand)[2 * i + 1]);
      if (meas.reflDef == 1 && std::abs(m) > 1e-9) s /= m;
      if (meas.reflDef == 2) s -= m;
    }
    s *= std::polar(1.0, 2.0 * std::numbers::pi * f * tau) * offset;
    out[2 * i] = static_cast<float>(s.real());
    out[2 * i + 1] = static_cast<float>(s.imag());
  }
  return out;
}

double readoutLevel(const State& state, const MeasState& meas, const Limits& limits, Rng& rng) {
  const SourceState& s = state.source;
  SweepPoint p;
  p.level = s.level;
  p.frequency = s.mode == modeCw || s.mode == modePow ? s.cw : (s.start + s.stop) / 2.0;
  if (meas.routDef == 3) return std::round(p.frequency / meas.countRes) * meas.countRes;
  auto level = [&](int input) {
    const InputState& in = state.inputs[static_cast<std::size_t>(input)];
    double sigma = 0.01 * averagingFactor(in.routAvg, in.routAvgN);
    return detect(inputPower(input, p, limits), sigma, rng) + in.offset;
  };
  double correction = meas.dcycOn && meas.dcyc > 0.0 ? 10.0 * std::log10(100.0 / meas.dcyc) : 0.0;
  double a = level(meas.routIn1) + correction;
  if (meas.routDef == 0) return a;
  double b = level(meas.routIn2) + correction;
  if (meas.routDef == 1) return a - b;
  return (dbToPower(a) - dbToPower(b)) / 1000.0;  // difference in watts
}

double readoutShown(const MeasState& meas, double level) {
  if (meas.routDef == 3) return level;
  if (meas.routDef == 2) {
    double watts = level;
    if (meas.relOn) watts -= meas.relRef;
    switch (meas.routFormat) {
      case routLog: return powerToDb(std::abs(watts) * 1000.0);
      case routPercent: return watts * 1000.0 * 100.0;
      case routVolt: return std::sqrt(std::abs(watts) * 50.0);
      default: return watts;
    }
  }
  double db = meas.relOn ? level - meas.relRef : level;
  bool power = meas.routDef == 0 && !meas.relOn;
  switch (meas.routFormat) {
    case routWatt: return power ? dbToPower(db) / 1000.0 : dbToPower(db);
    case routPercent: return 100.0 * dbToPower(db);
    case routVolt: return power ? std::sqrt(dbToPower(db) / 1000.0 * 50.0) : std::pow(10.0, db / 20.0);
    default: return db;
  }
}

std::string floatsToBytes(const std::vector<float>& values) {
  std::string out(values.size() * 4, '\0');
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &values[i], 4);
    out[4 * i] = static_cast<char>(bits >> 24);
    out[4 * i + 1] = static_cast<char>(bits >> 16);
    out[4 * i + 2] = static_cast<char>(bits >> 8);
    out[4 * i + 3] = static_cast<char>(bits);
  }
  return out;
}

std::vector<float> bytesToFloats(std::string_view bytes) {
  std::vector<float> out(bytes.size() / 4);
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::uint32_t bits = 0;
    for (std::size_t k = 0; k < 4; ++k) bits = (bits << 8) | static_cast<unsigned char>(bytes[4 * i + k]);
    std::memcpy(&out[i], &bits, 4);
  }
  return out;
}

}  // namespace kavrel::sim::dut
