#include "tools/kavrel/plot.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kavrel::cli {

namespace {

constexpr double kWidth = 960, kHeight = 600;
constexpr double kLeft = 90, kRight = 30, kTop = 70, kBottom = 70;
constexpr const char* kColours[] = {"#1f5fa8", "#c0392b", "#2e8b57", "#8e44ad"};

std::string number(double value, int digits) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, digits);
  return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

std::string coordinate(double value) { return number(value, 1); }

}  // namespace

std::vector<double> niceTicks(double low, double high, int target) {
  std::vector<double> ticks;
  if (!std::isfinite(low) || !std::isfinite(high) || target < 2) return ticks;
  if (high < low) std::swap(low, high);
  if (high == low) {
    double pad = low == 0 ? 1 : std::fabs(low) * 0.1;
    low -= pad;
    high += pad;
  }
  double raw = (high - low) / (target - 1);
  double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  double step = magnitude;
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    step = factor * magnitude;
    if (step >= raw) break;
  }
  double first = std::floor(low / step) * step;
  double last = std::ceil(high / step) * step;
  for (int i = 0; first + i * step <= last + step * 1e-9 && i < 1000; ++i) {
    double tick = first + i * step;
    if (std::fabs(tick) < step * 1e-9) tick = 0;  // no "-0"
    ticks.push_back(tick);
  }
  return ticks;
}

std::string tickLabel(double value, double step) {
  int digits = 0;
  if (step > 0 && step < 1) digits = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  digits = std::clamp(digits, 0, 9);
  return number(value, digits);
}

Scale axisScale(const Axis& axis, double maxAbs) {
  if (axis.unit != "Hz" && axis.unit != "s") return {1.0, axis.unit};
  struct Prefix {
    double factor;
    const char* name;
  };
  static constexpr Prefix kPrefixes[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1, ""}, {1e-3, "m"}, {1e-6, "u"}, {1e-9, "n"}};
  for (const Prefix& prefix : kPrefixes)
    if (maxAbs >= prefix.factor) return {prefix.factor, prefix.name + axis.unit};
  return {1.0, axis.unit};
}

std::string xmlEscape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
    }
  }
  return out;
}

std::string renderSvg(const Plot& plot) {
  const double plotWidth = kWidth - kLeft - kRight, plotHeight = kHeight - kTop - kBottom;
  double xMin = 0, xMax = 1, yMin = 0, yMax = 1;
  if (!plot.x_values.empty()) {
    auto [lo, hi] = std::minmax_element(plot.x_values.begin(), plot.x_values.end());
    xMin = *lo;
    xMax = *hi;
  }
  bool anyY = false;
  auto widen = [&](double y) {
    if (!std::isfinite(y)) return;
    if (!anyY) yMin = yMax = y;
    yMin = std::min(yMin, y);
    yMax = std::max(yMax, y);
    anyY = true;
  };
  for (const Series& series : plot.series)
    for (double y : series.y) widen(y);
  if (anyY)
    for (const LimitSegment& limit : plot.limits) widen(limit.y);
  // Room above the trace for marker labels.
  if (anyY && !plot.markers.empty()) yMax += 0.06 * (yMax - yMin);
  Scale xScale = axisScale(plot.x, std::max(std::fabs(xMin), std::fabs(xMax)));
  std::vector<double> xTicks = niceTicks(xMin / xScale.factor, xMax / xScale.factor, 9);
  std::vector<double> yTicks = niceTicks(yMin, yMax, 8);
  if (xTicks.size() < 2 || yTicks.size() < 2) return {};
  const double xLow = xTicks.front() * xScale.factor, xHigh = xTicks.back() * xScale.factor;
  const double yLow = yTicks.front(), yHigh = yTicks.back();
  auto px = [&](double x) { return kLeft + (x - xLow) / (xHigh - xLow) * plotWidth; };
  auto py = [&](double y) { return kTop + (yHigh - y) / (yHigh - yLow) * plotHeight; };

  std::string svg;
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + coordinate(kWidth) + "\" height=\"" +
         coordinate(kHeight) + "\" viewBox=\"0 0 " + coordinate(kWidth) + " " + coordinate(kHeight) +
         "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += "<text x=\"" + coordinate(kWidth / 2) + "\" y=\"28\" font-size=\"18\" text-anchor=\"middle\">" +
         xmlEscape(plot.title) + "</text>\n";
  svg += "<text x=\"" + coordinate(kWidth / 2) + "\" y=\"50\" font-size=\"13\" fill=\"#444\" text-anchor=\"middle\">" +
         xmlEscape(plot.subtitle) + "</text>\n";

  // Grid and ticks.
  double xStep = xTicks[1] - xTicks[0], yStep = yTicks[1] - yTicks[0];
  for (double tick : xTicks) {
    double x = px(tick * xScale.factor);
    svg += "<line x1=\"" + coordinate(x) + "\" y1=\"" + coordinate(kTop) + "\" x2=\"" + coordinate(x) + "\" y2=\"" +
           coordinate(kTop + plotHeight) + "\" stroke=\"#ddd\"/>\n";
    svg += "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(kTop + plotHeight + 20) +
           "\" font-size=\"12\" text-anchor=\"middle\">" + tickLabel(tick, xStep) + "</text>\n";
  }
  for (double tick : yTicks) {
    double y = py(tick);
    svg += "<line x1=\"" + coordinate(kLeft) + "\" y1=\"" + coordinate(y) + "\" x2=\"" + coordinate(kLeft + plotWidth) +
           "\" y2=\"" + coordinate(y) + "\" stroke=\"#ddd\"/>\n";
    svg += "<text x=\"" + coordinate(kLeft - 8) + "\" y=\"" + coordinate(y + 4) +
           "\" font-size=\"12\" text-anchor=\"end\">" + tickLabel(tick, yStep) + "</text>\n";
  }
  svg += "<rect x=\"" + coordinate(kLeft) + "\" y=\"" + coordinate(kTop) + "\" width=\"" + coordinate(plotWidth) +
         "\" height=\"" + coordinate(plotHeight) + "\" fill=\"none\" stroke=\"black\"/>\n";
  svg += "<text x=\"" + coordinate(kLeft + plotWidth / 2) + "\" y=\"" + coordinate(kHeight - 20) +
         "\" font-size=\"14\" text-anchor=\"middle\">" + xmlEscape(plot.x.quantity + " (" + xScale.unit + ")") +
         "</text>\n";
  svg += "<text x=\"22\" y=\"" + coordinate(kTop + plotHeight / 2) + "\" font-size=\"14\" text-anchor=\"middle\" " +
         "transform=\"rotate(-90 22 " + coordinate(kTop + plotHeight / 2) + ")\">" +
         xmlEscape(plot.y.quantity + " (" + plot.y.unit + ")") + "</text>\n";

  // Traces; points that are not numbers break the line.
  for (std::size_t s = 0; s < plot.series.size(); ++s) {
    const Series& series = plot.series[s];
    std::string path;
    bool penDown = false;
    std::size_t n = std::min(series.y.size(), plot.x_values.size());
    for (std::size_t i = 0; i < n; ++i) {
      if (!std::isfinite(series.y[i])) {
        penDown = false;
        continue;
      }
      path += penDown ? " L" : (path.empty() ? "M" : " M");
      path += coordinate(px(plot.x_values[i])) + " " + coordinate(py(series.y[i]));
      penDown = true;
    }
    const char* colour = kColours[s % std::size(kColours)];
    svg += "<path d=\"" + path + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n";
    if (plot.series.size() > 1)
      svg += "<text x=\"" + coordinate(kLeft + plotWidth - 10) + "\" y=\"" + coordinate(kTop + 18 + 16.0 * s) +
             "\" font-size=\"12\" text-anchor=\"end\" fill=\"" + colour + "\">" + xmlEscape(series.label) + "</text>\n";
  }
  // Limit lines, clipped to the x range shown.
  for (const LimitSegment& limit : plot.limits) {
    double x1 = std::clamp(limit.xLow, xLow, xHigh), x2 = std::clamp(limit.xHigh, xLow, xHigh);
    if (!(x1 < x2) || !std::isfinite(limit.y)) continue;
    svg += "<line x1=\"" + coordinate(px(x1)) + "\" y1=\"" + coordinate(py(limit.y)) + "\" x2=\"" + coordinate(px(x2)) +
           "\" y2=\"" + coordinate(py(limit.y)) + "\" stroke=\"#d35400\" stroke-width=\"2\" stroke-dasharray=\"8 4\"/>\n";
    svg += "<text x=\"" + coordinate(px(x1) + 4) + "\" y=\"" + coordinate(py(limit.y) + (limit.upper ? -5 : 14)) +
           "\" font-size=\"11\" fill=\"#d35400\">" + (limit.upper ? "upper limit" : "lower limit") + "</text>\n";
  }
  // Markers: a ring on the trace and its label above it.
  for (const Marker& marker : plot.markers) {
    if (!std::isfinite(marker.x) || !std::isfinite(marker.y)) continue;
    const double x = px(marker.x), y = py(marker.y);
    svg += "<circle cx=\"" + coordinate(x) + "\" cy=\"" + coordinate(y) +
           "\" r=\"5\" fill=\"none\" stroke=\"#111\" stroke-width=\"1.5\"/>\n";
    static constexpr struct {
      double dx, dy;
      const char* anchor;
    } kPlaces[] = {{0, -9, "middle"}, {-8, 4, "end"}, {8, 4, "start"}, {0, 18, "middle"}};
    const auto& place = kPlaces[marker.side];
    svg += "<text x=\"" + coordinate(x + place.dx) + "\" y=\"" + coordinate(y + place.dy) +
           "\" font-size=\"11\" text-anchor=\"" + place.anchor + "\">" + xmlEscape(marker.label) + "</text>\n";
  }
  svg += "</svg>\n";
  return svg;
}

std::string convertToPng(const std::string& svgPath, const std::string& pngPath) {
  pid_t child = fork();
  if (child < 0) return "cannot start rsvg-convert";
  if (child == 0) {
    execlp("rsvg-convert", "rsvg-convert", "--format", "png", "--output", pngPath.c_str(), svgPath.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) < 0) return "rsvg-convert did not finish";
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
    return "PNG output needs rsvg-convert (Debian package librsvg2-bin)";
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "rsvg-convert failed";
  return {};
}

bool pngConverterFound() {
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "/usr/bin:/bin";
  while (true) {
    std::string_view dir = dirs.substr(0, dirs.find(':'));
    std::string candidate = (dir.empty() ? std::string(".") : std::string(dir)) + "/rsvg-convert";
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    if (dir.size() == dirs.size()) return false;
    dirs.remove_prefix(dir.size() + 1);
  }
}

}  // namespace kavrel::cli
