// What a test engineer reads off a trace first: extremes and the pass band.
#ifndef KAVREL_TOOLS_ANALYSIS_H
#define KAVREL_TOOLS_ANALYSIS_H

#include <optional>
#include <string>
#include <vector>

namespace kavrel::cli {

struct Extremes {
  std::size_t minIndex = 0, maxIndex = 0;
};
// Indexes of the smallest and largest finite values; nullopt when there are none.
std::optional<Extremes> findExtremes(const std::vector<double>& y);

struct Band {
  double low, high;  // x at the band edges, interpolated linearly
};
// The contiguous band around the maximum where y stays within `drop` dB of
// it; nullopt when the band reaches either end of the trace (no edge seen).
std::optional<Band> passBand(const std::vector<double>& x, const std::vector<double>& y, double drop);

// "5.012 GHz", "120 MHz", "37.5 m": a value in engineering form with unit.
std::string engineering(double value, const std::string& unit, int digits = 4);

}  // namespace kavrel::cli

#endif
