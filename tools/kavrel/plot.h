// Trace plots for reports: an SVG writer with titled, labelled axes and
// readable ticks, and PNG through rsvg-convert when one is asked for.
#ifndef KAVREL_TOOLS_PLOT_H
#define KAVREL_TOOLS_PLOT_H

#include <string>
#include <string_view>
#include <vector>

namespace kavrel::cli {

struct Series {
  std::string label;
  std::vector<double> y;
};

struct Axis {
  std::string quantity;  // "Frequency", "Distance", "Power"
  std::string unit;      // base unit: "Hz", "m", "dBm", "dB"; frequencies get a prefix (GHz, MHz)
};

// A labelled point on the trace: a peak, a band edge, a fault.
struct Marker {
  enum Side { above, left, right, below };
  double x, y;
  std::string label;
  Side side = above;  // where the label goes
};

// A limit line over part of the x axis: the trace must stay below an upper
// line and above a lower one.
struct LimitSegment {
  bool upper;
  double xLow, xHigh;
  double y;
};

struct Plot {
  std::string title;
  std::string subtitle;
  Axis x;
  Axis y;
  std::vector<double> x_values;
  std::vector<Series> series;
  std::vector<Marker> markers;
  std::vector<LimitSegment> limits;
};

// Tick positions: steps of 1, 2 or 5 times a power of ten covering [low, high],
// about `target` of them.
std::vector<double> niceTicks(double low, double high, int target);

// A tick label without needless digits ("2.5", "10", "-0.25").
std::string tickLabel(double value, double step);

// The scale for a frequency axis: factor and unit with prefix ("GHz", 1e9).
struct Scale {
  double factor;
  std::string unit;
};
Scale axisScale(const Axis& axis, double maxAbs);

std::string renderSvg(const Plot& plot);

// Escape text for XML character data and attribute values.
std::string xmlEscape(std::string_view text);

// Convert an SVG file to PNG with rsvg-convert (Debian package librsvg2-bin).
std::string convertToPng(const std::string& svgPath, const std::string& pngPath);
// Whether rsvg-convert is on the PATH, so a PNG can be asked for before measuring.
bool pngConverterFound();

}  // namespace kavrel::cli

#endif
