// Channels and measurements (:CHANnel, :MEASure) and the markers (:MARKer).
#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

constexpr double kMinFrequency = 10e6;
constexpr std::size_t kMaxLimitSegments = 12;
constexpr double kNotFound = std::numeric_limits<double>::quiet_NaN();

State& st(Context& c) { return c.state(); }
MeasState& ms(Context& c) { return c.meas(); }
MarkerState& mk(Context& c) { return c.state().markers; }

// Channel named by the header suffix (":CHAN2:MODE"), else the active one.
std::optional<std::size_t> channelOf(Context& c) {
  int n = c.suffix(0);
  if (n == 0) n = c.state().activeChannel;
  if (n < 1 || n > 2) {
    c.fail(scpi::err::headerSuffix);
    return std::nullopt;
  }
  return static_cast<std::size_t>(n - 1);
}

// Display range limits by channel mode; none in the other modes.
std::pair<double, double> dispLimits(Context& c) {
  switch (c.channel().mode) {
    case chanScalar: return {kMinFrequency, c.limits().maxFrequency};
    case chanFloc: return {0.0, 100.0};
    default: return {-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
  }
}

template <Edge E>
void dispSet(Context& c) { rangeSet(c, ms(c).dispStart, ms(c).dispStop, dispLimits(c), E); }
template <Edge E>
void dispGet(Context& c) { rangeReply(c, ms(c).dispStart, ms(c).dispStop, E); }

// ---- the trace the markers work on ------------------------------------------------

struct Trace {
  std::vector<double> x;
  std::vector<double> y;
  std::vector<double> y2;  // second reading (reflection formats with two values)
};

// Reflection value pair as the display format shows it.
std::pair<double, double> reflShown(int format, std::complex<double> s) {
  double mag = std::abs(s);
  double deg = std::arg(s) * 180.0 / std::numbers::pi;
  double rho = std::min(mag, 0.999);
  std::complex<double> z = 50.0 * (1.0 + s) / (1.0 - s);
  switch (format) {
    case rfLin: return {mag, 0.0};
    case rfPhase: return {deg, 0.0};
    case rfVswr: return {(1.0 + rho) / (1.0 - rho), 0.0};
    case rfRe: return {s.real(), 0.0};
    case rfIm: return {s.imag(), 0.0};
    case rfImp: return {z.real(), z.imag()};
    case rfPlin: return {mag, deg};
    case rfPlog: return {20.0 * std::log10(std::max(mag, 1e-9)), deg};
    case rfReim:
    case rfSmith: return {s.real(), s.imag()};
    case rfInvs: {
      std::complex<double> y = std::abs(s) > 1e-12 ? 1.0 / s : std::complex<double>(0.0, 0.0);
      return {y.real(), y.imag()};
    }
    default: return {20.0 * std::log10(std::max(mag, 1e-9)), 0.0};
  }
}

bool reflTwoValues(int format) {
  return format == rfImp || format == rfPlin || format == rfPlog || format == rfReim || format == rfSmith ||
         format == rfInvs;
}

// A fixed generator for marker traces, so that marker readings repeat.
Trace activeTrace(Context& c) {
  Trace t;
  dut::Rng rng(c.instrument().seed ^ 0x6D61726B6572ull);
  ChannelState& ch = c.channel();
  MeasState& m = c.meas();
  switch (ch.mode) {
    case chanScalar: {
      auto points = dut::sweepPoints(st(c).source);
      auto values = dut::scalarTrace(st(c), m, c.limits(), rng);
      for (std::size_t i = 0; i < points.size() && i < values.size(); ++i) {
        t.x.push_back(points[i].x);
        t.y.push_back(values[i]);
      }
      break;
    }
    case chanFloc: {
      t.x = dut::flocDistances(ch);
      auto values = dut::flocTrace(ch, m, rng);
      t.y.assign(values.begin(), values.end());
      t.x.resize(t.y.size());
      break;
    }
    case chanRefl: {
      auto points = dut::sweepPoints(st(c).source);
      auto values = dut::reflTrace(st(c), m, c.limits(), rng);
      for (std::size_t i = 0; i < points.size() && 2 * i + 1 < values.size(); ++i) {
        auto [a, b] = reflShown(m.reflFormat, {values[2 * i], values[2 * i + 1]});
        t.x.push_back(m.tdom ? static_cast<double>(i) : points[i].x);
        t.y.push_back(a);
        t.y2.push_back(b);
      }
      break;
    }
    default: break;
  }
  return t;
}

std::size_t nearestIndex(const Trace& t, double x) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < t.x.size(); ++i)
    if (std::abs(t.x[i] - x) < std::abs(t.x[best] - x)) best = i;
  return best;
}

// Value at x, linearly interpolated, and clamped to the trace's ends.
double valueAt(const Trace& t, const std::vector<double>& y, double x) {
  if (y.empty()) return kNotFound;
  if (y.size() == 1) return y[0];
  bool rising = t.x.back() >= t.x.front();
  for (std::size_t i = 1; i < t.x.size(); ++i) {
    double x0 = t.x[i - 1], x1 = t.x[i];
    bool inside = rising ? (x >= x0 && x <= x1) : (x <= x0 && x >= x1);
    if (inside) return x1 == x0 ? y[i] : y[i - 1] + (y[i] - y[i - 1]) * (x - x0) / (x1 - x0);
  }
  bool beforeStart = rising ? x < t.x.front() : x > t.x.front();
  return beforeStart ? y.front() : y.back();
}

Marker& activeMarker(Context& c) { return mk(c).markers[static_cast<std::size_t>(mk(c).active - 1)]; }

// The active marker's position, after tracking moved it.
double markerPosition(Context& c, const Trace& t) {
  Marker& m = activeMarker(c);
  if (!t.y.empty() && (mk(c).tracking == 1 || mk(c).tracking == 2)) {
    auto it = mk(c).tracking == 2 ? std::max_element(t.y.begin(), t.y.end()) : std::min_element(t.y.begin(), t.y.end());
    m.position = t.x[static_cast<std::size_t>(it - t.y.begin())];
  }
  return m.position;
}

void markerMoveTo(Context& c, double x) {
  Marker& m = activeMarker(c);
  m.position = x;
  m.on = true;
  mk(c).activeOn = true;
}

// Peak to the left (step -1) or right (+1) of the marker that rises 3 dB above the dip before it.
void markerNextPeak(Context& c, int step) {
  Trace t = activeTrace(c);
  if (t.y.size() < 3) {
    c.fail(scpi::err::settingsConflict);
    return;
  }
  auto start = static_cast<long>(nearestIndex(t, markerPosition(c, t)));
  double low = t.y[static_cast<std::size_t>(start)];
  for (long i = start + step; i > 0 && i + 1 < static_cast<long>(t.y.size()); i += step) {
    auto k = static_cast<std::size_t>(i);
    low = std::min(low, t.y[k]);
    if (t.y[k] >= t.y[k - 1] && t.y[k] >= t.y[k + 1] && t.y[k] - low >= 3.0) {
      markerMoveTo(c, t.x[k]);
      return;
    }
  }
  mk(c).lastSearchFound = false;
}

// From the marker towards one side, the first crossing of the search target.
void markerSearchValue(Context& c) {
  Trace t = activeTrace(c);
  mk(c).lastSearchFound = false;
  if (t.y.size() < 2) return;
  long step = mk(c).searchDir == 0 ? -1 : 1;
  long i = static_cast<long>(nearestIndex(t, markerPosition(c, t)));
  double target = mk(c).searchTarget;
  for (long k = i + step; k >= 0 && k < static_cast<long>(t.y.size()); k += step) {
    double a = t.y[static_cast<std::size_t>(k - step)], b = t.y[static_cast<std::size_t>(k)];
    if ((a - target) * (b - target) <= 0.0 && a != b) {
      double xa = t.x[static_cast<std::size_t>(k - step)], xb = t.x[static_cast<std::size_t>(k)];
      markerMoveTo(c, xa + (xb - xa) * (target - a) / (b - a));
      mk(c).lastSearchFound = true;
      return;
    }
    if (b == target) {
      markerMoveTo(c, t.x[static_cast<std::size_t>(k)]);
      mk(c).lastSearchFound = true;
      return;
    }
  }
}

void markerExtreme(Context& c, bool maximum) {
  if (!c.none()) return;
  Trace t = activeTrace(c);
  if (t.y.empty()) {
    c.fail(scpi::err::settingsConflict);
    return;
  }
  auto it = maximum ? std::max_element(t.y.begin(), t.y.end()) : std::min_element(t.y.begin(), t.y.end());
  markerMoveTo(c, t.x[static_cast<std::size_t>(it - t.y.begin())]);
}

// Bandwidth around the reference: edges where the trace falls to reference + target.
void markerBandwidth(Context& c) {
  if (!c.none()) return;
  Trace t = activeTrace(c);
  auto notFound = [&] {
    c.reply(scpi::formatReal(kNotFound) + "," + scpi::formatReal(kNotFound) + "," + scpi::formatReal(kNotFound));
  };
  if (t.y.size() < 3) return notFound();
  std::size_t ref = mk(c).bandFrom == 1
                        ? static_cast<std::size_t>(std::max_element(t.y.begin(), t.y.end()) - t.y.begin())
                        : nearestIndex(t, markerPosition(c, t));
  double level = t.y[ref] + mk(c).bandTarget;
  auto edge = [&](long step) -> std::optional<double> {
    for (long k = static_cast<long>(ref) + step; k >= 0 && k < static_cast<long>(t.y.size()); k += step) {
      double a = t.y[static_cast<std::size_t>(k - step)], b = t.y[static_cast<std::size_t>(k)];
      if ((a - level) * (b - level) <= 0.0 && a != b) {
        double xa = t.x[static_cast<std::size_t>(k - step)], xb = t.x[static_cast<std::size_t>(k)];
        return xa + (xb - xa) * (level - a) / (b - a);
      }
    }
    return std::nullopt;
  };
  auto low = edge(-1);
  auto high = edge(1);
  if (!low || !high) return notFound();
  double bw = std::abs(*high - *low);
  double centre = (*high + *low) / 2.0;
  c.reply(scpi::formatReal(bw) + "," + scpi::formatReal(centre) + "," + scpi::formatReal(bw > 0 ? centre / bw : 0.0));
}

std::optional<std::size_t> markerNumber(Context& c) {
  auto n = c.integer(0, 1, 8);
  if (!n) return std::nullopt;
  return static_cast<std::size_t>(*n - 1);
}

constexpr Bounds kApertures{0.01, 20.0};
constexpr Bounds kPositions{-1e15, 1e15};
constexpr Bounds kBandTargets{-99.99, 99.99};
constexpr Bounds kPeakToPeakLimits{0.0, 99.99};

constexpr Command kCommands[] = {
    // ---- channels ----
    intCommand<st, &State::activeChannel, 1, 2>(":CHANnel:ACTive"),
    {":CHANnel#:MODE",
     [](Context& c) {
       auto ch = channelOf(c);
       if (!ch) return;
       if (auto v = c.oneKeyword(kChannelModes)) c.state().channels[*ch].mode = *v;
     },
     [](Context& c) {
       auto ch = channelOf(c);
       if (ch && c.none()) c.replyKeyword(kChannelModes, c.state().channels[*ch].mode);
     }},
    boolCommand<st, &State::coupled>(":CHANnel:COUPling"),
    intCommand<st, &State::channelsShown, 1, 2>(":CHANnel:NCH"),
    // ---- measurements of the active channel ----
    {":MEASure:ACTive", [](Context& c) { if (auto v = c.oneInt(1, 2)) c.channel().activeMeas = *v; },
     [](Context& c) { if (c.none()) c.replyInt(c.channel().activeMeas); }},
    {":MEASure:NME", [](Context& c) { if (auto v = c.oneInt(1, 2)) c.channel().measShown = *v; },
     [](Context& c) { if (c.none()) c.replyInt(c.channel().measShown); }},
    {":MEASure:DISPlay:STARt", dispSet<Edge::start>, dispGet<Edge::start>},
    {":MEASure:DISPlay:STOP", dispSet<Edge::stop>, dispGet<Edge::stop>},
    {":MEASure:DISPlay:CENTer", dispSet<Edge::centre>, dispGet<Edge::centre>},
    {":MEASure:DISPlay:SPAN", dispSet<Edge::span>, dispGet<Edge::span>},
    intCommand<ms, &MeasState::limSel, 1, 4>(":MEASure:LIMit:SELect"),
    boolCommand<ms, &MeasState::limOn>(":MEASure:LIMit:STATe"),
    {":MEASure:LIMit:RESet", [](Context& c) { if (c.none()) st(c).limitSpec.clear(); }, nullptr},
    {":MEASure:LIMit:SEGMent",
     [](Context& c) {
       if (!c.count(7, 7)) return;
       constexpr double big = 1e15;
       LimitSegment seg;
       auto a = c.real(0, -big, big);
       auto b = c.real(1, -big, big);
       auto type = c.keyword(2, kLimitSegmentTypes);
       if (!a || !b || !type) return;
       seg.values[0] = *a;
       seg.values[1] = *b;
       seg.type = *type;
       for (std::size_t i = 3; i < 7; ++i) {
         auto v = c.real(i, -big, big);
         if (!v) return;
         seg.values[i - 1] = *v;
       }
       if (st(c).limitSpec.size() >= kMaxLimitSegments) {
         c.fail(scpi::err::tooMuchData);
         return;
       }
       st(c).limitSpec.push_back(seg);
     },
     nullptr},
    {":MEASure:LIMit:SEGMent:COUNt", nullptr,
     [](Context& c) { if (c.none()) c.replyInt(static_cast<long long>(st(c).limitSpec.size())); }},
    boolCommand<ms, &MeasState::smooth>(":MEASure:SMOothing"),
    realCommand<ms, &MeasState::smoothAper, kApertures>(":MEASure:SMOothing:APERture"),
    // ---- markers ----
    {":MARKer",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = markerNumber(c);
       auto on = n ? c.boolean(1) : std::nullopt;
       if (!on) return;
       Marker& m = mk(c).markers[*n];
       if (*on && !m.on && m.position == 0.0) {
         Trace t = activeTrace(c);
         if (!t.x.empty()) m.position = t.x[t.x.size() / 2];
       }
       m.on = *on;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto n = markerNumber(c)) c.replyBool(mk(c).markers[*n].on);
     }},
    {":MARKer:POSition",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = markerNumber(c);
       auto x = n ? c.real(1, -1e15, 1e15) : std::nullopt;
       if (x) mk(c).markers[*n].position = *x;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto n = markerNumber(c)) c.replyReal(mk(c).markers[*n].position);
     }},
    boolCommand<mk, &MarkerState::activeOn>(":MARKer:ACTive"),
    {":MARKer:ACTive:ASSign",
     [](Context& c) {
       if (auto n = c.oneInt(1, 8)) {
         mk(c).active = *n;
         if (mk(c).activeOn) activeMarker(c).on = true;
       }
     },
     [](Context& c) { if (c.none()) c.replyInt(mk(c).active); }},
    {":MARKer:ACTive:POSition", [](Context& c) { if (auto v = c.oneReal(-1e15, 1e15)) activeMarker(c).position = *v; },
     [](Context& c) {
       if (!c.none()) return;
       Trace t = activeTrace(c);
       c.replyReal(markerPosition(c, t));
     }},
    {":MARKer:ACTive:DATA", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       Trace t = activeTrace(c);
       if (t.y.empty()) {  // a power-meter readout has no trace: not a number, and an error
         c.fail(scpi::err::settingsConflict);
         c.replyReal(kNotFound);
         return;
       }
       double x = markerPosition(c, t);
       double first = valueAt(t, t.y, x);
       if (c.channel().mode == chanRefl && reflTwoValues(c.meas().reflFormat)) {
         c.reply(scpi::formatReal(first) + "," + scpi::formatReal(valueAt(t, t.y2, x)));
       } else if (mk(c).deltaOn) {
         c.reply(scpi::formatReal(first) + "," + scpi::formatReal(first - valueAt(t, t.y, mk(c).deltaPos)));
       } else {
         c.replyReal(first);
       }
     }},
    boolCommand<mk, &MarkerState::deltaOn>(":MARKer:DELTa:STATe"),
    realCommand<mk, &MarkerState::deltaPos, kPositions>(":MARKer:DELTa:POSition"),
    keywordCommand<mk, &MarkerState::tracking, kTrackings>(":MARKer:TRACking"),
    keywordCommand<mk, &MarkerState::slope, kSlopes>(":MARKer:SLOPe"),
    realCommand<mk, &MarkerState::bandTarget, kBandTargets>(":MARKer:BANDwidth:TARGet"),
    boolCommand<mk, &MarkerState::bandCfdf>(":MARKer:BANDwidth:CFDF"),
    keywordCommand<mk, &MarkerState::bandFrom, kBandReferences>(":MARKer:BANDwidth:FROM"),
    {":MARKer:BANDwidth", nullptr, markerBandwidth},
    realCommand<mk, &MarkerState::pkpkLimit, kPeakToPeakLimits>(":MARKer:PKPK:LIMit:VALue"),
    boolCommand<mk, &MarkerState::pkpkLimitOn>(":MARKer:PKPK:LIMit:STATe"),
    {":MARKer:PKPK", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       Trace t = activeTrace(c);
       if (t.y.empty()) {
         c.reply("0,0");
         return;
       }
       auto [lo, hi] = std::minmax_element(t.y.begin(), t.y.end());
       double pkpk = *hi - *lo;
       bool found = !(mk(c).pkpkLimitOn && pkpk > mk(c).pkpkLimit);
       c.reply(std::string(found ? "1," : "0,") + scpi::formatReal(pkpk));
     }},
    boolCommand<mk, &MarkerState::coupled>(":MARKer:COUPling"),
    realCommand<mk, &MarkerState::searchTarget, kPositions>(":MARKer:SEARch:TARGet"),
    {":MARKer:SEARch:DIRection",
     [](Context& c) {
       auto v = c.oneKeyword(kSearchDirections);
       if (!v) return;
       mk(c).searchDir = *v;
       markerSearchValue(c);
     },
     [](Context& c) { if (c.none()) c.replyKeyword(kSearchDirections, mk(c).searchDir); }},
    {":MARKer:SEARch:RESult", nullptr, [](Context& c) { if (c.none()) c.replyBool(mk(c).lastSearchFound); }},
    {":MARKer:MAXimum", [](Context& c) { markerExtreme(c, true); }, nullptr},
    {":MARKer:MINimum", [](Context& c) { markerExtreme(c, false); }, nullptr},
    {":MARKer:LPEak", [](Context& c) { if (c.none()) markerNextPeak(c, -1); }, nullptr},
    {":MARKer:RPEak", [](Context& c) { if (c.none()) markerNextPeak(c, 1); }, nullptr},
};

}  // namespace

std::span<const Command> commandsDisplay() { return kCommands; }

}  // namespace kavrel::sim
