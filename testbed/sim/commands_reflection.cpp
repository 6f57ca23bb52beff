// Reflection analysis (:REFLection): measurement, detector, averaging, format,
// delay, medium, time domain with gate and window, display zoom and scaling,
// trace memories and the trace.
#include <algorithm>
#include <limits>

#include "engine.h"

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

// Start, stop, centre and span of a pair of positions within limits.
enum class Edge { start, stop, centre, span };
void rangeSet(Context& c, double& start, double& stop, std::pair<double, double> limits, Edge edge) {
  auto [lo, hi] = limits;
  auto v = c.oneReal(edge == Edge::span ? 0.0 : lo, edge == Edge::span ? hi - lo : hi);
  if (!v) return;
  switch (edge) {
    case Edge::start:
      start = *v;
      stop = std::max(stop, start);
      break;
    case Edge::stop:
      stop = *v;
      start = std::min(start, stop);
      break;
    case Edge::centre: {
      double half = std::min({(stop - start) / 2.0, *v - lo, hi - *v});
      start = *v - half;
      stop = *v + half;
      break;
    }
    case Edge::span: {
      double centre = (start + stop) / 2.0;
      double half = std::min({*v / 2.0, centre - lo, hi - centre});
      start = centre - half;
      stop = centre + half;
      break;
    }
  }
}

template <Edge E>
void zoomSet(Context& c) { rangeSet(c, ms(c).zoomStart, ms(c).zoomStop, zoomLimits(c), E); }
template <Edge E>
void gateSet(Context& c) { rangeSet(c, ms(c).gateStart, ms(c).gateStop, {-gateLimit(c), gateLimit(c)}, E); }

void replyStart(Context& c, double start, double) { c.replyReal(start); }
void replyStop(Context& c, double, double stop) { c.replyReal(stop); }
void replyCentre(Context& c, double start, double stop) { c.replyReal((start + stop) / 2.0); }
void replySpan(Context& c, double start, double stop) { c.replyReal(stop - start); }

template <void (*Reply)(Context&, double, double)>
void zoomGet(Context& c) { if (c.none()) Reply(c, ms(c).zoomStart, ms(c).zoomStop); }
template <void (*Reply)(Context&, double, double)>
void gateGet(Context& c) { if (c.none()) Reply(c, ms(c).gateStart, ms(c).gateStop); }

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
    realCommand<ms, &MeasState::phaseOffset, -360.0, 360.0>(":REFLection:POFFset"),
    realCommand<st, &State::impedance, 1.0, 10000.0>(":REFLection:CIMPedance"),
    keywordCommand<st, &State::reflMedium, kReflMedia>(":REFLection:MEDium"),
    realCommand<st, &State::reflRvel, 0.1, 1.0>(":REFLection:RVELocity"),
    realCommand<st, &State::reflDcon, 1.0, 1000.0>(":REFLection:DCONstant"),
    {":REFLection:WGCutoff", [](Context& c) { if (auto v = c.oneReal(0.0, c.limits().maxFrequency)) st(c).reflWgc = *v; },
     [](Context& c) { if (c.none()) c.replyReal(st(c).reflWgc); }},
    boolCommand<ms, &MeasState::tdom>(":REFLection:TDOMain"),
    boolCommand<ms, &MeasState::tdom>(":REFLection:TDOMain:STATe"),
    keywordCommand<ms, &MeasState::transform, kTransforms>(":REFLection:TDOMain:TRANsform"),
    keywordCommand<ms, &MeasState::response, kResponses>(":REFLection:TDOMain:RESPonse"),
    keywordCommand<ms, &MeasState::extrapolation, kExtrapolations>(":REFLection:TDOMain:EMODe"),
    realCommand<ms, &MeasState::rco, 0.0, 1000.0>(":REFLection:TDOMain:RCO"),
    keywordCommand<ms, &MeasState::windowShape, kWindowShapes>(":REFLection:TDOMain:WINDow:SHAPe"),
    intCommand<ms, &MeasState::windowUser, 0, 13>(":REFLection:TDOMain:WINDow:USER"),
    keywordCommand<ms, &MeasState::domainDisplay, kDomainDisplays>(":REFLection:TDOMain:DISPlay"),
    keywordCommand<ms, &MeasState::domainUnit, kDistanceUnits>(":REFLection:TDOMain:UNIT"),
    boolCommand<ms, &MeasState::gateOn>(":REFLection:TDOMain:GATe:STATe"),
    {":REFLection:TDOMain:GATe:STARt", gateSet<Edge::start>, gateGet<replyStart>},
    {":REFLection:TDOMain:GATe:STOP", gateSet<Edge::stop>, gateGet<replyStop>},
    {":REFLection:TDOMain:GATe:CENTer", gateSet<Edge::centre>, gateGet<replyCentre>},
    {":REFLection:TDOMain:GATe:SPAN", gateSet<Edge::span>, gateGet<replySpan>},
    keywordCommand<ms, &MeasState::gateType, kGateTypes>(":REFLection:TDOMain:GATe:TYPE"),
    boolCommand<ms, &MeasState::gateCoupled>(":REFLection:TDOMain:GATe:COUPling"),
    keywordCommand<ms, &MeasState::gateShape, kGateShapes>(":REFLection:TDOMain:GATe:SHAPe"),
    {":REFLection:DISPlay:STARt", zoomSet<Edge::start>, zoomGet<replyStart>},
    {":REFLection:DISPlay:STOP", zoomSet<Edge::stop>, zoomGet<replyStop>},
    {":REFLection:DISPlay:CENTer", zoomSet<Edge::centre>, zoomGet<replyCentre>},
    {":REFLection:DISPlay:SPAN", zoomSet<Edge::span>, zoomGet<replySpan>},
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
    realCommand<ms, &MeasState::reflRlev, -kHuge, kHuge>(":REFLection:SCALe:RLEVel"),
    {":REFLection:DATA:BINary", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       ++st(c).sweepCount;
       c.replyIndefiniteBlock(dut::floatsToBytes(dut::reflTrace(st(c), ms(c), c.limits(), c.rng())));
     }},
};

}  // namespace

std::span<const Command> commandsReflection() { return kCommands; }

}  // namespace kavrel::sim
