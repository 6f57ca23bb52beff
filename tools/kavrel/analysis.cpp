#include "tools/kavrel/analysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "tools/kavrel/args.h"

namespace kavrel::cli {

std::optional<Extremes> findExtremes(const std::vector<double>& y) {
  std::optional<Extremes> found;
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (!std::isfinite(y[i])) continue;
    if (!found) {
      found = Extremes{i, i};
      continue;
    }
    if (y[i] < y[found->minIndex]) found->minIndex = i;
    if (y[i] > y[found->maxIndex]) found->maxIndex = i;
  }
  return found;
}

std::optional<Band> passBand(const std::vector<double>& x, const std::vector<double>& y, double drop) {
  if (x.size() != y.size()) return std::nullopt;
  auto extremes = findExtremes(y);
  if (!extremes) return std::nullopt;
  const std::size_t peak = extremes->maxIndex;
  const double threshold = y[peak] - drop;
  auto edge = [&](std::size_t inside, std::size_t outside) {
    double t = (y[inside] - threshold) / (y[inside] - y[outside]);
    return x[inside] + t * (x[outside] - x[inside]);
  };
  std::size_t lo = peak;
  while (lo > 0 && std::isfinite(y[lo - 1]) && y[lo - 1] >= threshold) --lo;
  std::size_t hi = peak;
  while (hi + 1 < y.size() && std::isfinite(y[hi + 1]) && y[hi + 1] >= threshold) ++hi;
  if (lo == 0 || hi + 1 == y.size() || !std::isfinite(y[lo - 1]) || !std::isfinite(y[hi + 1])) return std::nullopt;
  return Band{edge(lo, lo - 1), edge(hi, hi + 1)};
}

double vswrFromReturnLoss(double returnLoss) {
  const double gamma = std::pow(10.0, -returnLoss / 20.0);
  if (!(gamma < 1.0)) return std::numeric_limits<double>::infinity();
  return (1.0 + gamma) / (1.0 - gamma);
}

std::vector<std::size_t> findFaults(const std::vector<double>& returnLoss, double threshold) {
  std::vector<std::size_t> faults;
  const std::size_t n = returnLoss.size();
  // A peak rises on both sides: the ends of the trace cannot show one.
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double v = returnLoss[i];
    if (!std::isfinite(v) || v > threshold) continue;
    // A plateau counts once, at its first point.
    const bool belowLeft = !(returnLoss[i - 1] <= v);
    const bool notAboveRight = !(returnLoss[i + 1] < v);
    if (belowLeft && notAboveRight) faults.push_back(i);
  }
  return faults;
}

bool parseLimits(std::string_view text, const std::string& xUnit, const std::string& yUnit,
                 std::vector<LimitSegment>& segments, std::string& error) {
  segments.clear();
  while (!text.empty()) {
    std::string_view segment = text.substr(0, text.find(';'));
    text.remove_prefix(std::min(text.size(), segment.size() + 1));
    std::vector<std::string_view> words;
    while (!segment.empty()) {
      std::size_t skip = segment.find_first_not_of(" \t");
      if (skip == std::string_view::npos) break;
      segment.remove_prefix(skip);
      std::string_view word = segment.substr(0, segment.find_first_of(" \t"));
      words.push_back(word);
      segment.remove_prefix(word.size());
    }
    if (words.empty()) continue;
    const std::string shown(words.size() == 4 ? words[0] : words.front());
    if (words.size() != 4 || (words[0] != "upper" && words[0] != "lower")) {
      error = "each limit is 'upper|lower START STOP VALUE', separated by ';'";
      return false;
    }
    auto low = parseQuantity(words[1], xUnit), high = parseQuantity(words[2], xUnit), value = parseQuantity(words[3], yUnit);
    if (!low || !high || !value || *low > *high) {
      error = "limit '" + shown + " " + std::string(words[1]) + " " + std::string(words[2]) + " " + std::string(words[3]) +
              "': START and STOP in " + xUnit + " (START not above STOP), VALUE in " + yUnit;
      return false;
    }
    segments.push_back({words[0] == "upper", *low, *high, *value});
  }
  if (segments.empty()) {
    error = "no limit given";
    return false;
  }
  return true;
}

LimitVerdict testLimits(const std::vector<double>& x, const std::vector<double>& y,
                        const std::vector<LimitSegment>& segments) {
  LimitVerdict verdict;
  const std::size_t n = std::min(x.size(), y.size());
  for (std::size_t i = 0; i < n; ++i) {
    bool inside = false, failed = false;
    for (const LimitSegment& limit : segments) {
      if (x[i] < limit.xLow || x[i] > limit.xHigh) continue;
      inside = true;
      // A point that is not a number is not within any limit.
      const double margin = std::isfinite(y[i]) ? (limit.upper ? limit.y - y[i] : y[i] - limit.y)
                                                : -std::numeric_limits<double>::infinity();
      if (margin < 0) failed = true;
      if (!verdict.worst || margin < verdict.margin) {
        verdict.worst = i;
        verdict.margin = margin;
      }
    }
    verdict.tested += inside;
    verdict.failed += failed;
  }
  return verdict;
}

std::string engineering(double value, const std::string& unit, int digits) {
  struct Prefix {
    double factor;
    const char* name;
  };
  static constexpr Prefix kPrefixes[] = {{1e12, "T"}, {1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""},
                                         {1e-3, "m"}, {1e-6, "u"}, {1e-9, "n"}, {1e-12, "p"}};
  double magnitude = std::fabs(value);
  const Prefix* chosen = &kPrefixes[4];
  if (magnitude != 0 && (unit == "Hz" || unit == "s" || unit == "W"))
    for (const Prefix& prefix : kPrefixes)
      if (magnitude >= prefix.factor * 0.9995) {
        chosen = &prefix;
        break;
      }
  double scaled = value / chosen->factor;
  // Significant digits: fewer decimals for larger numbers.
  int decimals = digits - 1 - (std::fabs(scaled) >= 1 ? static_cast<int>(std::floor(std::log10(std::fabs(scaled)))) : 0);
  if (decimals < 0) decimals = 0;
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, scaled, std::chars_format::fixed, decimals);
  std::string text = ec == std::errc() ? std::string(buf, end) : std::string("?");
  std::string suffix = std::string(chosen->name) + unit;
  return suffix.empty() ? text : text + " " + suffix;
}

}  // namespace kavrel::cli
