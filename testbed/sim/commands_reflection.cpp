// Reflection analysis (:REFLection): measurement, detector, averaging, format,
// delay, medium, time domain with gate and window, display zoom and scaling,
// trace memories and the trace.
#include <algorithm>
#include <limits>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

State& st(Context& c) { return c.state(); }
MeasState& ms(Context& c) { return c.meas(); }

// Gate positions: seconds with the time domain on, metres with it off.
double gateLimit(Context& c) { return ms(c).tdom ? 1.0 : 3.0e8; }

// X-axis limits of the display by domain, display and unit.
std::pair<double, double> zoomLimits(Context& c) {
  const MeasState& m = ms(c);
  if (!m.tdom) return {2.5e8, c.limits().maxFrequency};
  if (m.domainDisplay == 0) return {-1.0, 1.0};
  if (m.domainUnit == 1) return {-3.0e8, 3.0e8};
  return {-983570000.0, 983570000.0};
}

template <Edge E>
void zoomSet(Context& c) { rangeSet(c, ms(c).zoomStart, ms(c).zoomStop, zoomLimits(c), E); }
template <Edge E>
void gateSet(Context& c) { rangeSet(c, ms(c).gateStart, ms(c).gateStop, {-gateLimit(c), gateLimit(c)}, E); }

template <Edge E>
void zoomGet(Context& c) { rangeReply(c, ms(c).zoomStart, ms(c).zoomStop, E); }
template <Edge E>
void gateGet(Context& c) { rangeReply(c, ms(c).gateStart, ms(c).gateStop, E); }

void measureDefine(Context& c, int def) {
  if (def == 0) {
    if (!c.none()) return;
  } else {
    auto n = c.oneInt(1, kReflMemories);
    if (!n) return;
    ms(c).reflOperand = *n;
  }
  ms(c).reflDef = def;
  ms(c).reflShownMem = 0;
}

void showMemory(Context& c) {
  if (auto n = c.oneInt(1, kReflMemories)) ms(c).reflShownMem = *n;
}

constexpr double kHuge = std::numeric_limits<double>::max();

constexpr Bounds kPhaseOffsets{-360.0, 360.0};
constexpr Bounds kImpedances{1.0, 10000.0};
constexpr Bounds kVelocities{0.1, 1.0};
constexpr Bounds kDielectricConstants{1.0, 1000.0};
constexpr Bounds kRcoValues{0.0, 1000.0};
constexpr Bounds kAnyReal{-kHuge, kHuge};

constexpr Command kCommands[] = {
    {":REFLection:MEASure:S11", [](Context& c) { measureDefine(c, 0); }, nullptr},
    {":REFLection:MEASure:RATio", [](Context& c) { measureDefine(c, 1); }, nullptr},
    {":REFLection:MEASure:DIFFerence", [](Context& c) { measureDefine(c, 2); }, nullptr},
    {":REFLection:MEASure:DEFinition", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       const MeasState& m = ms(c);
       c.reply(m.reflDef == 0 ? std::string("S11")
                              : (m.reflDef == 1 ? "RAT " : "DIFF ") + scpi::formatInt(m.reflOperand));
     }},
    {":REFLection:MEASure:SAVe",
     [](Context& c) {
       auto n = c.oneInt(1, kReflMemories);
       if (!n) return;
       MeasState m = ms(c);
       m.reflShownMem = 0;
       st(c).reflMemories[static_cast<std::size_t>(*n - 1)] = dut::reflTrace(st(c), m, c.limits(), c.rng());
     },
     nullptr},
    {":REFLection:MEASure:MEMory", showMemory, [](Context& c) { if (c.none()) c.replyInt(ms(c).reflShownMem); }},
    {":REFLection:MEASure:MEMory:SETTings", showMemory, nullptr},
    boolCommand<ms, &MeasState::lcor>(":REFLection:DETector:LCORrection"),
    boolCommand<ms, &MeasState::tcon>(":REFLection:DETector:TCON"),
    boolCommand<st, &State::reflAvg>(":REFLection:AVERage"),
    intCommand<st, &State::reflAvgN, 1, 1000>(":REFLection:AVERage:NUMBer"),
    {":REFLection:AVERage:RESTart", [](Context& c) { (void)c.none(); }, nullptr},
    keywordCommand<ms, &MeasState::reflFormat, kReflFormats>(":REFLection:DISPlay:FORMat"),
    {":REFLection:DELay:TIME",
     [](Context& c) {
       if (auto v = c.oneReal(-1.0, 1.0)) {
         ms(c).delayLength = false;
         ms(c).delay = *v;
       }
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).delayLength ? ms(c).delay / 299792458.0 : ms(c).delay); }},
    {":REFLection:DELay:LENGth",
     [](Context& c) {
       if (auto v = c.oneReal(-3.0e8, 3.0e8)) {
         ms(c).delayLength = true;
         ms(c).delay = *v;
       }
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).delayLength ? ms(c).delay : ms(c).delay * 299792458.0); }},
    realCommand<ms, &MeasState::phaseOffset, kPhaseOffsets>(":REFLection:POFFset"),
    realCommand<st, &State::impedance, kImpedances>(":REFLection:CIMPedance"),
    keywordCommand<st, &State::reflMedium, kReflMedia>(":REFLection:MEDium"),
    realCommand<st, &State::reflRvel, kVelocities>(":REFLection:RVELocity"),
    realCommand<st, &State::reflDcon, kDielectricConstants>(":REFLection:DCONstant"),
    {":REFLection:WGCutoff", [](Context& c) { if (auto v = c.oneReal(0.0, c.limits().maxFrequency)) st(c).reflWgc = *v; },
     [](Context& c) { if (c.none()) c.replyReal(st(c).reflWgc); }},
    boolCommand<ms, &MeasState::tdom>(":REFLection:TDOMain"),
    boolCommand<ms, &MeasState::tdom>(":REFLection:TDOMain:STATe"),
    keywordCommand<ms, &MeasState::transform, kTransforms>(":REFLection:TDOMain:TRANsform"),
    keywordCommand<ms, &MeasState::response, kResponses>(":REFLection:TDOMain:RESPonse"),
    keywordCommand<ms, &MeasState::extrapolation, kExtrapolations>(":REFLection:TDOMain:EMODe"),
    realCommand<ms, &MeasState::rco, kRcoValues>(":REFLection:TDOMain:RCO"),
    keywordCommand<ms, &MeasState::windowShape, kWindowShapes>(":REFLection:TDOMain:WINDow:SHAPe"),
    intCommand<ms, &MeasState::windowUser, 0, 13>(":REFLection:TDOMain:WINDow:USER"),
    keywordCommand<ms, &MeasState::domainDisplay, kDomainDisplays>(":REFLection:TDOMain:DISPlay"),
    keywordCommand<ms, &MeasState::domainUnit, kDistanceUnits>(":REFLection:TDOMain:UNIT"),
    boolCommand<ms, &MeasState::gateOn>(":REFLection:TDOMain:GATe:STATe"),
    {":REFLection:TDOMain:GATe:STARt", gateSet<Edge::start>, gateGet<Edge::start>},
    {":REFLection:TDOMain:GATe:STOP", gateSet<Edge::stop>, gateGet<Edge::stop>},
    {":REFLection:TDOMain:GATe:CENTer", gateSet<Edge::centre>, gateGet<Edge::centre>},
    {":REFLection:TDOMain:GATe:SPAN", gateSet<Edge::span>, gateGet<Edge::span>},
    keywordCommand<ms, &MeasState::gateType, kGateTypes>(":REFLection:TDOMain:GATe:TYPE"),
    boolCommand<ms, &MeasState::gateCoupled>(":REFLection:TDOMain:GATe:COUPling"),
    keywordCommand<ms, &MeasState::gateShape, kGateShapes>(":REFLection:TDOMain:GATe:SHAPe"),
    {":REFLection:DISPlay:STARt", zoomSet<Edge::start>, zoomGet<Edge::start>},
    {":REFLection:DISPlay:STOP", zoomSet<Edge::stop>, zoomGet<Edge::stop>},
    {":REFLection:DISPlay:CENTer", zoomSet<Edge::centre>, zoomGet<Edge::centre>},
    {":REFLection:DISPlay:SPAN", zoomSet<Edge::span>, zoomGet<Edge::span>},
    {":REFLection:SCALe:AUT", [](Context& c) { if (c.none()) ms(c).reflAutoScale = true; }, nullptr},
    {":REFLection:SCALe:AUTO", [](Context& c) { if (c.none()) ms(c).reflAutoScale = true; }, nullptr},
    {":REFLection:SCALe:DIVision",
     [](Context& c) {
       if (auto v = c.oneReal(-kHuge, kHuge)) {
         ms(c).reflDiv = *v;
         ms(c).reflAutoScale = false;
       }
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).reflDiv); }},
    intCommand<ms, &MeasState::reflPos, 0, 10>(":REFLection:SCALe:POSition"),
    realCommand<ms, &MeasState::reflRlev, kAnyReal>(":REFLection:SCALe:RLEVel"),
    {":REFLection:DATA:BINary", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       ++st(c).sweepCount;
       c.replyTrace(TraceKind::reflection, [](Context& c) { return dut::reflTrace(st(c), ms(c), c.limits(), c.rng()); });
     }},
};

}  // namespace

std::span<const Command> commandsReflection() { return kCommands; }

}  // namespace kavrel::sim
