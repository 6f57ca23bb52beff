// The family's models and the limits more than one function (or the kavrel
// program) checks against, as constexpr data on the VISA types alone.
// Limits that only one function uses stay beside it.
#ifndef KAVREL_CORE_LIMITS_H
#define KAVREL_CORE_LIMITS_H

#include <array>

#include "driver/kavrel_visatype.h"

namespace kavrel {

// ---- models ----------------------------------------------------------------

struct Model {
  ViInt32 number;         // second field of the "*IDN?" reply
  ViReal64 maxFrequency;  // Hz
};
// 4103 reaches 26.5 GHz and 4104 26 GHz, not the other way round.
inline constexpr std::array<Model, 5> kModels{{
    {4100, 20e9},
    {4101, 8e9},
    {4102, 2e9},
    {4103, 26.5e9},
    {4104, 26e9},
}};

// The model of that number, or nullptr for one outside the family.
constexpr const Model* findModel(ViInt32 number) {
  for (const Model& model : kModels)
    if (model.number == number) return &model;
  return nullptr;
}

// Lowest source level from the option word, dBm; the first matching bit wins.
constexpr ViReal64 minLevelFor(ViInt32 options) {
  if (options & 0x20) return -90.0;
  if (options & 0x200) return -110.0;
  return -70.0;
}

// ---- source ----------------------------------------------------------------

inline constexpr ViReal64 kMinFrequency = 10e6;  // Hz; the highest comes from the model
inline constexpr ViReal64 kMaxLevel = 20.0;      // dBm; the lowest comes from the options
inline constexpr ViReal64 kMaxVoltage = 15.0;    // V, both signs
inline constexpr ViReal64 kMaxCurrent = 0.15;    // A, both signs
inline constexpr ViInt32 kMaxListSegments = 12;  // list-sweep segments the instrument holds
inline constexpr ViInt32 kMinPoints = 2;         // sweep points, also of a scalar trace
inline constexpr ViInt32 kMaxPoints = 800;
inline constexpr ViReal64 kMinSweepTime = 0.04;   // s
inline constexpr ViReal64 kMaxSweepTime = 500.0;  // s

// ---- what the measurement families share -----------------------------------

inline constexpr ViInt32 kMaxAverages = 1000;
inline constexpr ViReal64 kMinAperture = 0.01;  // smoothing aperture
inline constexpr ViReal64 kMaxAperture = 20.0;
inline constexpr ViInt32 kMaxReferencePosition = 10;

// Manual scale limits of a display format.
struct ScaleLimits {
  ViReal64 minPerDivision, maxPerDivision;
  ViReal64 minReference, maxReference;
};
inline constexpr ScaleLimits kLogScale{0.01, 20.0, -200.0, 200.0};
inline constexpr ScaleLimits kWattScale{1e-11, 200.0, 1e-11, 1000.0};
inline constexpr ScaleLimits kVswrScale{0.01, 10.0, 1.0, 100.0};
inline constexpr ScaleLimits kVoltScale{1e-8, 20.0, -100.0, 100.0};

// ---- fault location --------------------------------------------------------

inline constexpr ViInt32 kMinFaultPoints = 51;
inline constexpr ViInt32 kMaxFaultPoints = 1024;

// ---- texts -----------------------------------------------------------------

inline constexpr ViInt32 kTextMax = 20;       // titles, kit identities, serial numbers
inline constexpr ViInt32 kFileNameMax = 128;  // host file names

}  // namespace kavrel

#endif
