// The simulated device under test and the detectors that measure it: a
// band-pass filter between the source and input B (input A sees the source,
// input C the filter's reflection, input D is open), a cable with a few
// discontinuities for fault location, and seeded detector noise.
#ifndef KAVREL_SIM_DUT_H
#define KAVREL_SIM_DUT_H

#include <complex>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "testbed/sim/state.h"

namespace kavrel::sim::dut {

// Deterministic generator: the same seed gives the same noise on every platform.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  double uniform();   // [0, 1)
  double gaussian();  // mean 0, deviation 1
 private:
  std::uint64_t state_;
};

// Centre and 3 dB bandwidth of the filter for a model's frequency range.
double filterCentre(const Limits& limits);
double filterBandwidth(const Limits& limits);
// Transmission through the filter, dB (about -1 dB in the pass band, steep skirts, -80 dB floor).
double filterS21dB(double frequency, const Limits& limits);
// Complex reflection at the filter's input.
std::complex<double> filterS11(double frequency, const Limits& limits);

// The source's x axis and what it puts out at each point.
struct SweepPoint {
  double x = 0.0;          // the axis value (Hz, dBm, V or A)
  double frequency = 0.0;  // RF frequency, Hz
  double level = 0.0;      // RF level, dBm
};
std::vector<SweepPoint> sweepPoints(const SourceState& source);

// Scalar trace of one measurement, in its format, one value per sweep point.
std::vector<float> scalarTrace(const State& state, const MeasState& meas, const Limits& limits, Rng& rng);
// Path loss recorded by a path calibration step, dB per sweep point.
std::vector<float> pathLoss(const SourceState& source);
// Fault-location trace of a channel (one value per fault-location point) and its distance axis.
std::vector<float> flocTrace(const ChannelState& channel, const MeasState& meas, Rng& rng);
std::vector<double> flocDistances(const ChannelState& channel);
// Reflection trace: (real, imaginary) per sweep point, or per time/distance point with the time domain on.
std::vector<float> reflTrace(const State& state, const MeasState& meas, const Limits& limits, Rng& rng);
// One power-meter reading of a measurement: the level before relative mode and
// format (dBm for power, dB for a ratio, W for a difference, Hz for the counter),
// and that level as the readout shows it.
double readoutLevel(const State& state, const MeasState& meas, const Limits& limits, Rng& rng);
double readoutShown(const MeasState& meas, double level);

// Big-endian IEEE single-precision bytes of the values, and back (a trailing partial value is dropped).
std::string floatsToBytes(const std::vector<float>& values);
std::vector<float> bytesToFloats(std::string_view bytes);

}  // namespace kavrel::sim::dut

#endif
