// Option parsing, trace analysis and the SVG writer of the kavrel program.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tools/kavrel/analysis.h"
#include "tools/kavrel/args.h"
#include "tools/kavrel/plot.h"

namespace kavrel::cli {
namespace {

TEST(Quantities, PrefixesAndUnits) {
  struct Case {
    const char* text;
    const char* unit;
    std::optional<double> value;
  } cases[] = {
      {"2.5GHz", "Hz", 2.5e9}, {"2.5ghz", "Hz", std::nullopt}, {"500M", "Hz", 500e6}, {"500MHZ", "Hz", 500e6},
      {"1e9", "Hz", 1e9},      {"10k", "Hz", 10e3},            {"-10dBm", "dBm", -10}, {"-10", "dBm", -10},
      {"+3", "dBm", 3},        {"100m", "m", 100},             {"2km", "m", 2000},     {"0.5", "s", 0.5},
      {"500ms", "s", 0.5},     {"", "Hz", std::nullopt},       {"GHz", "Hz", std::nullopt},
      {"1,5", "Hz", std::nullopt}, {"nan", "Hz", std::nullopt}, {"inf", "Hz", std::nullopt}, {"1x", "Hz", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto value = parseQuantity(c.text, c.unit);
    ASSERT_EQ(c.value.has_value(), value.has_value());
    if (c.value) {
      EXPECT_DOUBLE_EQ(*c.value, *value);
    }
  }
}

TEST(Options, ParsedAgainstTheTable) {
  const OptionSpec table[] = {{"start", true, "FREQ  start"}, {"time-domain", false, "flag"}};
  struct Case {
    std::vector<const char*> argv;
    bool ok;
    std::string error;
  } cases[] = {
      {{"--start", "1G", "--time-domain", "file"}, true, ""},
      {{"--start=1G"}, true, ""},
      {{"--stop", "1G"}, false, "unknown option --stop"},
      {{"--start"}, false, "option --start needs a value"},
      {{"--time-domain=yes"}, false, "option --time-domain takes no value"},
      {{"--", "--start"}, true, ""},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const char* a : c.argv) argv.push_back(const_cast<char*>(a));
    std::string error;
    auto args = parseArgs(argv, table, error);
    EXPECT_EQ(c.ok, args.has_value());
    EXPECT_EQ(c.error, error);
  }
  std::vector<char*> argv{const_cast<char*>("--start"), const_cast<char*>("1G"), const_cast<char*>("x")};
  std::string error;
  auto args = parseArgs(argv, table, error);
  ASSERT_TRUE(args);
  EXPECT_EQ("1G", args->get("start").value());
  EXPECT_FALSE(args->has("time-domain"));
  EXPECT_EQ(std::vector<std::string>{"x"}, args->positional);
}

TEST(Analysis, ExtremesAndPassBand) {
  std::vector<double> x{1, 2, 3, 4, 5, 6, 7};
  std::vector<double> y{-40, -20, -2, 0, -1, -10, -40};
  auto extremes = findExtremes(y);
  ASSERT_TRUE(extremes);
  EXPECT_EQ(0u, extremes->minIndex);
  EXPECT_EQ(3u, extremes->maxIndex);
  auto band = passBand(x, y, 3.0);
  ASSERT_TRUE(band);
  EXPECT_NEAR(2 + 17.0 / 18.0, band->low, 1e-12);  // -3 dB between -20 at 2 and -2 at 3
  EXPECT_NEAR(5 + 2.0 / 9.0, band->high, 1e-12);   // between -1 at 5 and -10 at 6
  // A band that runs off the sweep has no edge to report.
  EXPECT_FALSE(passBand(x, {0, -1, -2, -1, -2, -1, 0}, 3.0));
  EXPECT_FALSE(findExtremes({std::nan(""), std::nan("")}));
  EXPECT_FALSE(passBand({}, {}, 3.0));
}

TEST(Analysis, EngineeringNotation) {
  EXPECT_EQ("5.000 GHz", engineering(5e9, "Hz"));
  EXPECT_EQ("120.0 MHz", engineering(120e6, "Hz"));
  EXPECT_EQ("10.00 MHz", engineering(10e6, "Hz"));
  EXPECT_EQ("26.50 GHz", engineering(26.5e9, "Hz"));
  EXPECT_EQ("37.50 m", engineering(37.5, "m"));
  EXPECT_EQ("-10.0 dBm", engineering(-10, "dBm", 3));
}

TEST(Plot, TicksAreRoundAndCoverTheRange) {
  struct Case {
    double low, high;
    std::vector<double> ticks;
  } cases[] = {
      {0.01, 8, {0, 2, 4, 6, 8}},
      {-62.3, -0.4, {-70, -60, -50, -40, -30, -20, -10, 0}},
      {4.5, 5.5, {4.4, 4.6, 4.8, 5.0, 5.2, 5.4, 5.6}},
      {3, 3, {2.7, 2.8, 2.9, 3.0, 3.1, 3.2, 3.3}},  // a flat trace gets a band around it
  };
  for (const Case& c : cases) {
    auto ticks = niceTicks(c.low, c.high, 8);
    ASSERT_EQ(c.ticks.size(), ticks.size()) << c.low;
    for (std::size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(c.ticks[i], ticks[i], 1e-9);
  }
  EXPECT_TRUE(niceTicks(std::nan(""), 1, 8).empty());
  EXPECT_EQ("2.5", tickLabel(2.5, 0.5));
  EXPECT_EQ("-10", tickLabel(-10, 10));
  EXPECT_EQ("0.25", tickLabel(0.25, 0.05));
}

TEST(Plot, SvgIsWellFormedWithTitlesAxesAndEscapedText) {
  Plot plot;
  plot.title = "Scalar <transmission> & more";
  plot.subtitle = "OVR,4101,100001,1.00";
  plot.x = {"Frequency", "Hz"};
  plot.y = {"Power", "dBm"};
  plot.x_values = {1e9, 2e9, 3e9};
  plot.series = {{"power", {-3, std::nan(""), -1}}};
  std::string svg = renderSvg(plot);
  EXPECT_EQ(0u, svg.find("<?xml"));
  EXPECT_NE(std::string::npos, svg.find("Scalar &lt;transmission&gt; &amp; more"));
  EXPECT_NE(std::string::npos, svg.find("Frequency (GHz)"));
  EXPECT_NE(std::string::npos, svg.find("Power (dBm)"));
  // The point that is not a number breaks the line: two moves, no line to it.
  auto path = svg.find("<path d=\"");
  ASSERT_NE(std::string::npos, path);
  std::string d = svg.substr(path + 9, svg.find('"', path + 9) - path - 9);
  EXPECT_EQ(0u, d.find('M'));
  EXPECT_EQ(std::string::npos, d.find('L'));
  EXPECT_NE(std::string::npos, d.find(" M"));
  // Every opened element is closed.
  std::size_t open = 0, closed = 0;
  for (std::size_t i = svg.find("<svg"); i != std::string::npos; i = svg.find("<svg", i + 1)) ++open;
  for (std::size_t i = svg.find("</svg>"); i != std::string::npos; i = svg.find("</svg>", i + 1)) ++closed;
  EXPECT_EQ(1u, open);
  EXPECT_EQ(1u, closed);
  EXPECT_EQ("x&quot;y", xmlEscape("x\"y\x01"));
}

TEST(Plot, AllMissingValuesStillDrawAnEmptyFrame) {
  Plot plot;
  plot.x = {"Frequency", "Hz"};
  plot.y = {"Power", "dBm"};
  plot.x_values = {1, 2};
  plot.series = {{"power", {std::nan(""), std::nan("")}}};
  EXPECT_FALSE(renderSvg(plot).empty());  // an empty frame still has its axes
}

}  // namespace
}  // namespace kavrel::cli
