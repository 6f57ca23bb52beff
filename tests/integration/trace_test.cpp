// Traces read through the driver have the configured length and the shape of
// what the simulator measures: a band-pass filter between the source and
// input B, centred in the model's range, and a cable with discontinuities.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "tests/integration/sim_fixture.h"

namespace kavrel::integration {
namespace {

constexpr ViReal64 kUnwritten = std::numeric_limits<ViReal64>::quiet_NaN();

bool allWritten(const std::vector<ViReal64>& values) {
  return std::all_of(values.begin(), values.end(), [](ViReal64 v) { return std::isfinite(v); });
}

// Index of the largest value.
std::size_t peakIndex(const std::vector<ViReal64>& values) {
  return static_cast<std::size_t>(std::distance(values.begin(), std::max_element(values.begin(), values.end())));
}

using SimTraces = SimTest;

// Input B behind the filter, swept over the 8 GHz model's whole range: the
// pass band (about -1 dB at 0 dBm) lies in the middle, the skirts at the
// detector's noise floor.
TEST_P(SimTraces, ScalarTraceIsTheFiltersPassBand) {
  ASSERT_EQ(VI_SUCCESS, kavrel_srcFreqSweep(vi_, VI_TRUE, 10e6, 8e9, 0.0));
  ASSERT_EQ(VI_SUCCESS, kavrel_scalPower(vi_, VI_FALSE, VI_FALSE, 1));
  for (ViInt32 points : {2, 51, 401, 800}) {
    SCOPED_TRACE(points);
    ASSERT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(vi_, points, 0.0));
    ViInt32 count = 0;
    std::vector<ViReal64> trace(static_cast<std::size_t>(points) + 1, kUnwritten);
    ASSERT_EQ(VI_SUCCESS, kavrel_scalReadData(vi_, &count, trace.data()));
    EXPECT_EQ(points, count);
    EXPECT_TRUE(std::isnan(trace.back())) << "written past the sweep";
    trace.pop_back();
    ASSERT_TRUE(allWritten(trace));
    if (points < 51) continue;  // too few points to show the filter

    const std::size_t peak = peakIndex(trace);
    const double middle = (points - 1) / 2.0;
    EXPECT_NEAR(middle, static_cast<double>(peak), points * 0.05);
    EXPECT_GT(trace[peak], -3.0);
    EXPECT_LT(trace.front(), trace[peak] - 40.0);
    EXPECT_LT(trace.back(), trace[peak] - 40.0);
  }
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// Distance-to-fault over 30 m of coaxial cable in metres, log format: a peak at
// each of the simulated discontinuities, with its return loss, and the noise
// floor between them.
TEST_P(SimTraces, FaultLocationPeaksAtTheDiscontinuities) {
  struct Discontinuity {
    double metres;
    double returnLoss;  // dB
  };
  constexpr Discontinuity kCable[] = {{0.0, -30.0}, {4.5, -26.0}, {11.0, -18.0}, {23.0, -6.0}};
  constexpr double kRange = 30.0;
  constexpr double kQuiet[] = {8.0, 17.0, 28.0};  // metres far from every discontinuity

  ASSERT_EQ(VI_SUCCESS, kavrel_chanMode(vi_, VI_TRUE, 2));
  ASSERT_EQ(VI_SUCCESS, kavrel_dispSetActMeas(vi_, VI_TRUE, VI_FALSE));
  ASSERT_EQ(VI_SUCCESS, kavrel_flocMedium(vi_, VI_TRUE, VI_TRUE, 10e6, 0.66, 0.0));
  ASSERT_EQ(VI_SUCCESS, kavrel_flocRange(vi_, VI_TRUE, VI_TRUE, kRange, 4e9, 10e6, 8e9));
  ASSERT_EQ(VI_SUCCESS, kavrel_flocDispUnit(vi_, VI_TRUE, VI_TRUE));
  ASSERT_EQ(VI_SUCCESS, kavrel_flocFormat(vi_, VI_TRUE, VI_FALSE, VI_TRUE));
  for (ViInt32 points : {51, 401, 1024}) {
    SCOPED_TRACE(points);
    ASSERT_EQ(VI_SUCCESS, kavrel_flocNumOfPoints(vi_, VI_TRUE, points));
    ViInt32 count = 0;
    std::vector<ViReal64> trace(static_cast<std::size_t>(points), kUnwritten);
    ASSERT_EQ(VI_SUCCESS, kavrel_flocReadData(vi_, &count, trace.data()));
    EXPECT_EQ(points, count);
    ASSERT_TRUE(allWritten(trace));

    const double metresPerPoint = kRange / (points - 1);
    auto indexAt = [&](double metres) { return static_cast<long>(std::lround(metres / metresPerPoint)); };
    // The largest value within a metre either side.
    auto peakNear = [&](double metres) {
      const long reach = std::max(1L, std::lround(1.0 / metresPerPoint));
      double best = -1e9;
      for (long i = std::max(0L, indexAt(metres) - reach); i <= std::min<long>(points - 1, indexAt(metres) + reach); ++i)
        best = std::max(best, trace[static_cast<std::size_t>(i)]);
      return best;
    };
    for (const Discontinuity& d : kCable) {
      SCOPED_TRACE(d.metres);
      EXPECT_NEAR(d.returnLoss, peakNear(d.metres), 3.0);
    }
    for (double metres : kQuiet) {
      SCOPED_TRACE(metres);
      EXPECT_LT(trace[static_cast<std::size_t>(indexAt(metres))], -40.0);
    }
    EXPECT_EQ(static_cast<std::size_t>(indexAt(23.0)), peakIndex(trace)) << "the strongest reflection";
  }
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// S11 of the filter, a pair of values per sweep point: matched in the pass
// band, total reflection far outside it.
TEST_P(SimTraces, ReflectionTraceIsOnePairPerPoint) {
  ASSERT_EQ(VI_SUCCESS, kavrel_srcFreqSweep(vi_, VI_TRUE, 10e6, 8e9, 0.0));
  ASSERT_EQ(VI_SUCCESS, kavrel_chanMode(vi_, VI_FALSE, 3));
  ASSERT_EQ(VI_SUCCESS, kavrel_reflS11(vi_, VI_FALSE, VI_FALSE));
  for (ViInt32 points : {2, 101, 800}) {
    SCOPED_TRACE(points);
    ASSERT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(vi_, points, 0.0));
    ViInt32 count = 0;
    std::vector<ViReal64> first(static_cast<std::size_t>(points) + 1, kUnwritten);
    std::vector<ViReal64> second(first);
    ASSERT_EQ(VI_SUCCESS, kavrel_reflReadData(vi_, &count, first.data(), second.data()));
    EXPECT_EQ(points, count);
    EXPECT_TRUE(std::isnan(first.back()) && std::isnan(second.back())) << "written past the sweep";
    first.pop_back();
    second.pop_back();
    ASSERT_TRUE(allWritten(first));
    ASSERT_TRUE(allWritten(second));

    std::vector<ViReal64> magnitude;
    for (std::size_t i = 0; i < first.size(); ++i) magnitude.push_back(std::abs(std::complex(first[i], second[i])));
    EXPECT_GT(magnitude.front(), 0.9);
    EXPECT_GT(magnitude.back(), 0.9);
    EXPECT_LT(*std::max_element(magnitude.begin(), magnitude.end()), 1.01);
    if (points < 101) continue;
    EXPECT_LT(magnitude[magnitude.size() / 2], 0.1) << "matched at the centre";
    EXPECT_TRUE(std::any_of(second.begin(), second.end(), [](ViReal64 v) { return std::abs(v) > 0.1; }))
        << "the second value of each pair is the imaginary part";
  }
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

// A trace whose values hold 0x0A bytes, shown from a scalar memory loaded
// with them: every value arrives, none ends the block early.
TEST_P(SimTraces, ValuesHoldingLineFeedBytesArriveWhole) {
  constexpr ViInt32 kPoints = 101;
  std::vector<float> values;
  std::string data;
  for (ViInt32 i = 0; i < kPoints; ++i) {
    const std::uint32_t bits = (i % 2 == 0 ? 0x410A0A00u : 0xC10A000Au) | static_cast<std::uint32_t>(i) << 8;
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
    for (int shift = 24; shift >= 0; shift -= 8) data.push_back(static_cast<char>((bits >> shift) & 0xFF));
  }
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string memory = dir.file("memory");
  std::ofstream(memory, std::ios::binary) << "#3" << data.size() << data << "\n";

  ASSERT_EQ(VI_SUCCESS, kavrel_srcSweepConfig(vi_, kPoints, 0.0));
  ASSERT_EQ(VI_SUCCESS, kavrel_scalTranData(vi_, VI_FALSE, 1, viString(memory)));
  ASSERT_EQ(VI_SUCCESS, kavrel_scalMem(vi_, VI_FALSE, VI_FALSE, 1, 1));
  ViInt32 count = 0;
  std::vector<ViReal64> trace(kPoints, kUnwritten);
  ASSERT_EQ(VI_SUCCESS, kavrel_scalReadData(vi_, &count, trace.data()));
  EXPECT_EQ(kPoints, count);
  for (std::size_t i = 0; i < values.size(); ++i) EXPECT_EQ(static_cast<ViReal64>(values[i]), trace[i]) << i;
  EXPECT_EQ(std::vector<InstrumentError>{}, drainErrors());
}

INSTANTIATE_TEST_SUITE_P(Transports, SimTraces, ::testing::ValuesIn(kTransports), transportName);

}  // namespace
}  // namespace kavrel::integration
