// Fault location (:FLOCation): medium, range, points, unit, averaging, window,
// scaling, format, calibration and the trace.
#include <algorithm>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

constexpr double kMinFrequency = 10e6;

FlocState& fl(Context& c) { return c.channel().floc; }
MeasState& ms(Context& c) { return c.meas(); }

// Manual scale limits: LOG format, else VSWR.
std::pair<double, double> divisionLimits(Context& c) {
  return ms(c).flocFormat == 1 ? std::pair{0.01, 20.0} : std::pair{0.01, 10.0};
}
std::pair<double, double> levelLimits(Context& c) {
  return ms(c).flocFormat == 1 ? std::pair{-200.0, 200.0} : std::pair{1.0, 100.0};
}

template <Edge E>
void frequencySet(Context& c) { rangeSet(c, fl(c).start, fl(c).stop, {kMinFrequency, c.limits().maxFrequency}, E); }
template <Edge E>
void frequencyGet(Context& c) { rangeReply(c, fl(c).start, fl(c).stop, E); }

constexpr Bounds kVelocities{0.1, 1.0};
constexpr Bounds kDistanceRanges{0.0, 25000.0};

constexpr Command kCommands[] = {
    {":FLOCation:MEDium", [](Context& c) { if (auto v = c.oneKeyword(kFlocMedia)) fl(c).coax = *v == 0; },
     [](Context& c) { if (c.none()) c.replyKeyword(kFlocMedia, fl(c).coax ? 0 : 1); }},
    realCommand<fl, &FlocState::rvel, kVelocities>(":FLOCation:RVELocity"),
    {":FLOCation:WGCutoff", [](Context& c) { if (auto v = c.oneReal(kMinFrequency, c.limits().maxFrequency)) fl(c).wgc = *v; },
     [](Context& c) { if (c.none()) c.replyReal(fl(c).wgc); }},
    {":FLOCation:ATTenuation",
     [](Context& c) {
       // dB per 100 m, or the same per 100 ft
       if (auto v = c.oneReal(0.0, fl(c).metres ? 100.0 : 30.48)) fl(c).att = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(fl(c).att); }},
    boolCommand<fl, &FlocState::rangeEntry>(":FLOCation:RANGe:ENTRy"),
    realCommand<fl, &FlocState::rangeValue, kDistanceRanges>(":FLOCation:RANGe:VALue"),
    {":FLOCation:FREQuency:CENTer",
     [](Context& c) { if (auto v = c.oneReal(kMinFrequency, c.limits().maxFrequency)) fl(c).centre = *v; },
     [](Context& c) { if (c.none()) c.replyReal(fl(c).centre); }},
    {":FLOCation:FREQuency:STARt", frequencySet<Edge::start>, frequencyGet<Edge::start>},
    {":FLOCation:FREQuency:STOP", frequencySet<Edge::stop>, frequencyGet<Edge::stop>},
    intCommand<fl, &FlocState::points, 51, 1024>(":FLOCation:POINts"),
    {":FLOCation:UNIT", [](Context& c) { if (auto v = c.oneKeyword(kDistanceUnits)) fl(c).metres = *v == 1; },
     [](Context& c) { if (c.none()) c.replyKeyword(kDistanceUnits, fl(c).metres ? 1 : 0); }},
    boolCommand<fl, &FlocState::avg>(":FLOCation:AVERage"),
    intCommand<fl, &FlocState::avgN, 1, 1000>(":FLOCation:AVERage:NUMBer"),
    {":FLOCation:AVERage:RESTart", [](Context& c) { (void)c.none(); }, nullptr},
    keywordCommand<fl, &FlocState::window, kFlocWindows>(":FLOCation:WINDow"),
    boolCommand<fl, &FlocState::mask>(":FLOCation:MCORrection"),
    boolCommand<fl, &FlocState::enhance>(":FLOCation:ENHancement"),
    keywordCommand<ms, &MeasState::flocAuto, kAutoScale>(":FLOCation:SCALe:AUTO"),
    {":FLOCation:SCALe:DIVision",
     [](Context& c) {
       auto [lo, hi] = divisionLimits(c);
       if (auto v = c.oneReal(lo, hi)) ms(c).flocDiv = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).flocDiv); }},
    intCommand<ms, &MeasState::flocPos, 0, 10>(":FLOCation:SCALe:POSition"),
    {":FLOCation:SCALe:RLEVel",
     [](Context& c) {
       auto [lo, hi] = levelLimits(c);
       if (auto v = c.oneReal(lo, hi)) ms(c).flocRlev = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).flocRlev); }},
    keywordCommand<ms, &MeasState::flocFormat, kFlocFormats>(":FLOCation:FORMat"),
    {":FLOCation:CALibration:SAVE",
     [](Context& c) {
       if (!c.none()) return;
       // The calibration of the present set-up: the response of the bare port at each point.
       std::vector<float> terms(static_cast<std::size_t>(fl(c).points) * 2, 0.0f);
       for (std::size_t i = 0; i < terms.size(); i += 2) terms[i] = static_cast<float>(1e-3 * c.rng().gaussian());
       c.state().flocCal.bytes = dut::floatsToBytes(terms);
     },
     nullptr},
    {":FLOCation:CALibration:RESTore", [](Context& c) { (void)c.none(); }, nullptr},
    {":FLOCation:CALibration:STORe",
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto bytes = c.block(0)) c.state().flocCal.bytes = std::move(*bytes);
     },
     [](Context& c) { if (c.none()) c.replyDefiniteBlock(c.state().flocCal.bytes); }},
    {":FLOCation:DATA:BINary", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       ++c.state().sweepCount;
       c.replyTrace(TraceKind::faultLocation, [](Context& c) { return dut::flocTrace(c.channel(), ms(c), c.rng()); });
     }},
};

}  // namespace

std::span<const Command> commandsFaultLocation() { return kCommands; }

}  // namespace kavrel::sim
