// What a test engineer reads off a trace first: extremes and the pass band.
#ifndef KAVREL_TOOLS_ANALYSIS_H
#define KAVREL_TOOLS_ANALYSIS_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kavrel/plot.h"

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

// VSWR of a reflection with the given return loss in dB (positive); infinite
// for a total reflection.
double vswrFromReturnLoss(double returnLoss);

// Faults along a cable: the inner points where the return loss has a local
// minimum (a reflection peak) at or below `threshold` dB, in trace order.
std::vector<std::size_t> findFaults(const std::vector<double>& returnLoss, double threshold);

// Limit lines from text: segments "upper|lower START STOP VALUE" separated by
// ';', the x values in `xUnit` and the values in `yUnit` (SI prefixes allowed
// on x). False with `error` when the text does not describe any segment.
bool parseLimits(std::string_view text, const std::string& xUnit, const std::string& yUnit,
                 std::vector<LimitSegment>& segments, std::string& error);

struct LimitVerdict {
  std::size_t tested = 0;    // points inside some segment's range
  std::size_t failed = 0;    // of those, points beyond a line
  std::optional<std::size_t> worst;  // the point furthest beyond (or closest to) a line
  double margin = 0;         // its distance to the line; negative beyond it
};
LimitVerdict testLimits(const std::vector<double>& x, const std::vector<double>& y,
                        const std::vector<LimitSegment>& segments);

// "5.012 GHz", "120 MHz", "37.5 m": a value in engineering form with unit.
std::string engineering(double value, const std::string& unit, int digits = 4);

}  // namespace kavrel::cli

#endif
