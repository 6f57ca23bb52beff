// Option parsing, trace analysis, the SVG writer and the output files of
// the kavrel program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "tools/kavrel/analysis.h"
#include "tools/kavrel/args.h"
#include "tools/kavrel/output.h"
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
  const OptionSpec table[] = {{"start", true, "FREQ  start"}, {"time-domain", false, "flag"}, {"quiet", false, "q", 'q'}};
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
      {{"-q"}, true, ""},
      {{"-x"}, false, "unknown option -x"},
      {{"-5"}, true, ""},  // a negative number stays an argument
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

TEST(Analysis, FaultsAreInnerReflectionPeaksWithinTheThreshold) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<double> returnLoss;
    double threshold;
    std::vector<std::size_t> faults;
  } cases[] = {
      {{40, 20, 40, 10, 40}, 30, {1, 3}},
      {{40, 20, 40, 10, 40}, 15, {3}},
      {{40, 20, 40}, 20, {1}},           // the threshold is inclusive
      {{5, 40, 40, 5}, 30, {}},          // the ends show no peak
      {{40, 12, 12, 40}, 30, {1}},       // a plateau counts once
      {{40, nan, 12, 40}, 30, {2}},      // a missing point is no fault
      {{}, 30, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.faults, findFaults(c.returnLoss, c.threshold));
  EXPECT_NEAR(3.0, vswrFromReturnLoss(20 * std::log10(2.0)), 1e-12);  // |gamma| 0.5
  EXPECT_NEAR(1.0, vswrFromReturnLoss(400), 1e-12);
  EXPECT_TRUE(std::isinf(vswrFromReturnLoss(0)));
  EXPECT_TRUE(std::isinf(vswrFromReturnLoss(-0.5)));  // more reflected than sent
}

TEST(Analysis, LimitLines) {
  std::vector<LimitSegment> segments;
  std::string error;
  ASSERT_TRUE(parseLimits(" upper 1GHz 2GHz -10 ; lower 1.5G 2e9 -30dBm;", "Hz", "dBm", segments, error)) << error;
  ASSERT_EQ(2u, segments.size());
  EXPECT_TRUE(segments[0].upper);
  EXPECT_EQ(1e9, segments[0].xLow);
  EXPECT_EQ(-30, segments[1].y);
  for (const char* bad : {"", ";", "upper 1GHz 2GHz", "above 1GHz 2GHz -10", "upper 2GHz 1GHz -10", "upper 1GHz 2GHz x"})
    EXPECT_FALSE(parseLimits(bad, "Hz", "dBm", segments, error)) << bad;

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<LimitSegment> lines{{true, 2, 4, -10}, {false, 3, 5, -20}};
  struct Case {
    std::vector<double> y;  // at x = 1..6
    std::size_t tested, failed;
    std::size_t worst;
    double margin;
  } cases[] = {
      {{99, -10, -15, -20, -25, 99}, 4, 1, 5, -5},  // ranges and lines inclusive; x 1 and 6 untested
      {{0, -12, -12, -12, -12, 0}, 4, 0, 2, 2},
      {{0, -12, nan, -12, -12, 0}, 4, 1, 3, -std::numeric_limits<double>::infinity()},
  };
  const std::vector<double> x{1, 2, 3, 4, 5, 6};
  for (const Case& c : cases) {
    LimitVerdict verdict = testLimits(x, c.y, lines);
    EXPECT_EQ(c.tested, verdict.tested);
    EXPECT_EQ(c.failed, verdict.failed);
    ASSERT_TRUE(verdict.worst);
    EXPECT_EQ(c.worst - 1, *verdict.worst);
    EXPECT_EQ(c.margin, verdict.margin);
  }
}

class OutputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("kavrel_out_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  static std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
  }
  std::filesystem::path dir_;
};

TEST_F(OutputFiles, ReplacedWholeOrNotAtAll) {
  const std::string target = path("trace.csv");
  std::ofstream(target) << "old";
  ::chmod(target.c_str(), 0640);
  // A failure part-way: the old file stays, the temporary goes.
  std::string error = replaceFile(target, [](const std::string& temporary) {
    std::ofstream(temporary) << "partial";
    return std::string("connection lost");
  });
  EXPECT_EQ("connection lost", error);
  EXPECT_EQ("old", contents(target));
  EXPECT_EQ(1u, entries());
  EXPECT_EQ("", writeFileSafely(target, "new"));
  EXPECT_EQ("new", contents(target));
  struct stat st {};
  ASSERT_EQ(0, ::stat(target.c_str(), &st));
  EXPECT_EQ(0640u, st.st_mode & 0777);  // the file keeps its permissions
  // A link stays a link; the file it points to gets the bytes.
  std::filesystem::create_symlink("trace.csv", path("link.csv"));
  EXPECT_EQ("", writeFileSafely(path("link.csv"), "through the link"));
  EXPECT_TRUE(std::filesystem::is_symlink(path("link.csv")));
  EXPECT_EQ("through the link", contents(target));
  EXPECT_EQ(2u, entries());
}

TEST_F(OutputFiles, ChecksNameTheFileAndTheReason) {
  std::ofstream(path("empty.bin")).flush();
  std::ofstream(path("kit.bin")) << "kit";
  struct Case {
    std::string (*check)(const std::string&);
    std::string file;
    std::string reason;  // empty: accepted
  } cases[] = {
      {checkReadable, path("kit.bin"), ""},
      {checkReadable, path("none.bin"), "cannot read " + path("none.bin") + ": No such file or directory"},
      {checkReadable, path("empty.bin"), path("empty.bin") + " is empty"},
      {checkReadable, dir_.string(), dir_.string() + " is a folder, not a file"},
      {checkReadable, "", "the file name is empty"},
      {checkWritable, path("kit.bin"), ""},
      {checkWritable, path("new.csv"), ""},
      {checkWritable, path("no/new.csv"), "cannot write " + path("no/new.csv") + ": No such file or directory"},
      {checkWritable, path("kit.bin/new.csv"), "cannot write " + path("kit.bin/new.csv") + ": Not a directory"},
      {checkWritable, dir_.string(), dir_.string() + " is a folder"},
      {checkWritable, "", "the file name is empty"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.reason, c.check(c.file)) << c.file;
}

}  // namespace
}  // namespace kavrel::cli
