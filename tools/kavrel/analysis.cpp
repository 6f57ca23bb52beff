#include "tools/kavrel/analysis.h"

#include <charconv>
#include <cmath>

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
