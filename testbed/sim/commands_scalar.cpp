// Scalar analysis (:SCALar): measurement, averaging, scaling, format, path
// calibration, trace memories and the trace itself.
#include <algorithm>
#include <array>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

struct ScaleLimits {
  double divLo, divHi, levelLo, levelHi;
};
// Manual scale limits by display format (LOG, WATT, VSWR, VOLT).
constexpr std::array<ScaleLimits, 4> kScaleLimits = {{
    {0.01, 20.0, -200.0, 200.0},
    {1e-11, 200.0, 1e-11, 1000.0},
    {0.01, 10.0, 1.0, 100.0},
    {1e-8, 20.0, -100.0, 100.0},
}};

MeasState& ms(Context& c) { return c.meas(); }

const ScaleLimits& scaleLimits(Context& c) {
  return kScaleLimits[static_cast<std::size_t>(std::clamp(ms(c).scalFormat, 0, 3))];
}

std::optional<std::size_t> memoryNumber(Context& c, std::size_t param) {
  auto n = c.integer(param, 1, kScalarMemories);
  if (!n) return std::nullopt;
  return static_cast<std::size_t>(*n - 1);
}

// A path calibration step records the path's loss into calibration n (1..4).
void pathCalStep(Context& c, double offset) {
  auto n = c.oneInt(1, kPathCals);
  if (!n) return;
  auto loss = dut::pathLoss(c.state().source);
  for (float& v : loss) v += static_cast<float>(offset);
  c.state().pathCals[static_cast<std::size_t>(*n - 1)].bytes = dut::floatsToBytes(loss);
}

// The active measurement's trace in dB, as a memory keeps it.
std::vector<float> traceForMemory(Context& c) {
  MeasState m = ms(c);
  m.scalFormat = fmtLog;
  m.mopOn = false;
  m.shownMem = 0;
  return dut::scalarTrace(c.state(), m, c.limits(), c.rng());
}

void showMemory(Context& c) {
  if (!c.count(1, 1)) return;
  if (auto n = memoryNumber(c, 0)) ms(c).shownMem = static_cast<int>(*n + 1);
}

constexpr Command kCommands[] = {
    {":SCALar:MEASure:POWer",
     [](Context& c) {
       if (auto v = c.oneKeyword(kInputs)) {
         ms(c).scalDef = 0;
         ms(c).scalIn1 = *v;
         ms(c).shownMem = 0;
       }
     },
     nullptr},
    {":SCALar:MEASure:RATio",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto a = c.keyword(0, kInputs);
       auto b = a ? c.keyword(1, kInputs) : std::nullopt;
       if (!b) return;
       if (*a == *b) {
         c.fail(scpi::err::illegalValue);
         return;
       }
       ms(c).scalDef = 1;
       ms(c).scalIn1 = *a;
       ms(c).scalIn2 = *b;
       ms(c).shownMem = 0;
     },
     nullptr},
    {":SCALar:MEASure:FREQuency",
     [](Context& c) {
       if (!c.none()) return;
       ms(c).scalDef = 2;
       ms(c).shownMem = 0;
     },
     nullptr},
    {":SCALar:MEASure:DEFinition", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       const MeasState& m = ms(c);
       std::string in1(kInputs[static_cast<std::size_t>(m.scalIn1)]);
       std::string in2(kInputs[static_cast<std::size_t>(m.scalIn2)]);
       c.reply(m.scalDef == 0 ? "POW " + in1 : m.scalDef == 1 ? "RAT " + in1 + "," + in2 : "FREQ");
     }},
    boolCommand<ms, &MeasState::scalAvg>(":SCALar:AVERage"),
    intCommand<ms, &MeasState::scalAvgN, 1, 1000>(":SCALar:AVERage:NUMBer"),
    {":SCALar:AVERage:RESTart", [](Context& c) { (void)c.none(); }, nullptr},
    keywordCommand<ms, &MeasState::scalAuto, kAutoScale>(":SCALar:SCALe:AUTO"),
    {":SCALar:SCALe:DIVision",
     [](Context& c) {
       const ScaleLimits& l = scaleLimits(c);
       if (auto v = c.oneReal(l.divLo, l.divHi)) ms(c).scalDiv = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).scalDiv); }},
    intCommand<ms, &MeasState::scalPos, 0, 10>(":SCALar:SCALe:POSition"),
    {":SCALar:SCALe:RLEVel",
     [](Context& c) {
       const ScaleLimits& l = scaleLimits(c);
       if (auto v = c.oneReal(l.levelLo, l.levelHi)) ms(c).scalRlev = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).scalRlev); }},
    keywordCommand<ms, &MeasState::scalFormat, kScalarFormats>(":SCALar:FORMat"),
    {":SCALar:PCALibration", [](Context& c) { if (auto v = c.oneBool()) c.state().pathCalOn = *v; },
     [](Context& c) { if (c.none()) c.replyBool(c.state().pathCalOn); }},
    {":SCALar:PCALibration:THRough", [](Context& c) { pathCalStep(c, 0.0); }, nullptr},
    {":SCALar:PCALibration:OPEN", [](Context& c) { pathCalStep(c, -0.05); }, nullptr},
    {":SCALar:PCALibration:OPEN:SEIL", [](Context& c) { pathCalStep(c, -0.05); }, nullptr},
    {":SCALar:PCALibration:OPEN:MERGe", [](Context& c) { pathCalStep(c, -0.04); }, nullptr},
    {":SCALar:PCALibration:OPEN:MERGe:SEIL", [](Context& c) { pathCalStep(c, -0.04); }, nullptr},
    {":SCALar:PCALibration:SHORt", [](Context& c) { pathCalStep(c, 0.05); }, nullptr},
    {":SCALar:PCALibration:SHORt:SEIL", [](Context& c) { pathCalStep(c, 0.05); }, nullptr},
    {":SCALar:PCALibration:SHORt:MERGe", [](Context& c) { pathCalStep(c, 0.04); }, nullptr},
    {":SCALar:PCALibration:SHORt:MERGe:SEIL", [](Context& c) { pathCalStep(c, 0.04); }, nullptr},
    {":SCALar:PCALibration:SELect", [](Context& c) { if (auto v = c.oneInt(1, kPathCals)) c.state().pathCalSel = *v; },
     [](Context& c) { if (c.none()) c.replyInt(c.state().pathCalSel); }},
    {":SCALar:PCALibration:STORe",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = c.integer(0, 1, kPathCals);
       auto bytes = n ? c.block(1) : std::nullopt;
       if (bytes) c.state().pathCals[static_cast<std::size_t>(*n - 1)].bytes = std::move(*bytes);
     },
     [](Context& c) {
       if (auto n = c.oneInt(1, kPathCals))
         c.replyDefiniteBlock(c.state().pathCals[static_cast<std::size_t>(*n - 1)].bytes);
     }},
    {":SCALar:MOP:SELect",
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto n = memoryNumber(c, 0)) ms(c).mopMem = static_cast<int>(*n + 1);
     },
     [](Context& c) { if (c.none()) c.replyInt(ms(c).mopMem); }},
    boolCommand<ms, &MeasState::mopOn>(":SCALar:MOP:STATe"),
    {":SCALar:SAVe",
     [](Context& c) {
       if (!c.count(1, 1)) return;
       auto n = memoryNumber(c, 0);
       if (n) c.state().scalarMemories[*n].bytes = dut::floatsToBytes(traceForMemory(c));
     },
     nullptr},
    {":SCALar:MEASure:MEMory", showMemory, [](Context& c) { if (c.none()) c.replyInt(ms(c).shownMem); }},
    {":SCALar:MEASure:MEMory:SETTings", showMemory, nullptr},
    {":SCALar:MEMory:MAX", nullptr, [](Context& c) { if (c.none()) c.replyInt(kScalarMemories); }},
    {":SCALar:MEMory:DATA",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = memoryNumber(c, 0);
       auto bytes = n ? c.block(1) : std::nullopt;
       if (bytes) c.state().scalarMemories[*n].bytes = std::move(*bytes);
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto n = memoryNumber(c, 0)) c.replyDefiniteBlock(c.state().scalarMemories[*n].bytes);
     }},
    {":SCALar:DATA:BINary", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       ++c.state().sweepCount;
       c.replyTrace(TraceKind::scalar, [](Context& c) { return dut::scalarTrace(c.state(), ms(c), c.limits(), c.rng()); });
     }},
};

}  // namespace

std::span<const Command> commandsScalar() { return kCommands; }

}  // namespace kavrel::sim
