// Detector inputs (:INPut) and the power-meter readout (:ROUTe).
#include <algorithm>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

constexpr double kMaxCorrectionFrequency = 999999000000.0;

State& st(Context& c) { return c.state(); }
MeasState& ms(Context& c) { return c.meas(); }

// The input named by the first parameter.
std::optional<std::size_t> inputOf(Context& c) {
  auto v = c.keyword(0, kInputs);
  if (!v) return std::nullopt;
  return static_cast<std::size_t>(*v);
}

// "<input>,<value>" commands and "<input>" queries on one field of an input.
template <auto Field>
void inputBoolSet(Context& c) {
  if (!c.count(2, 2)) return;
  auto in = inputOf(c);
  auto v = in ? c.boolean(1) : std::nullopt;
  if (v) c.state().inputs[*in].*Field = *v;
}
template <auto Field>
void inputBoolGet(Context& c) {
  if (!c.count(1, 1)) return;
  if (auto in = inputOf(c)) c.replyBool(c.state().inputs[*in].*Field);
}
template <auto Field>
constexpr Command inputBoolCommand(std::string_view pattern) {
  return {pattern, inputBoolSet<Field>, inputBoolGet<Field>};
}

// One reading of the active measurement; max/min hold follows it.
double readingTake(Context& c) {
  MeasState& m = ms(c);
  ++st(c).sweepCount;
  double shown = dut::readoutShown(m, dut::readoutLevel(st(c), m, c.limits(), c.rng()));
  if (m.peakHold) {
    if (!m.peakValid) {
      m.peakMax = m.peakMin = shown;
      m.peakValid = true;
    }
    m.peakMax = std::max(m.peakMax, shown);
    m.peakMin = std::min(m.peakMin, shown);
  }
  return shown;
}

void peakReset(MeasState& m) { m.peakValid = false; }

void readoutDefine(Context& c, int def, std::size_t inputs) {
  if (!c.count(inputs, inputs)) return;
  std::array<int, 2> in{ms(c).routIn1, ms(c).routIn2};
  for (std::size_t i = 0; i < inputs; ++i) {
    auto v = c.keyword(i, kInputs);
    if (!v) return;
    in[i] = *v;
  }
  ms(c).routDef = def;
  ms(c).routIn1 = in[0];
  ms(c).routIn2 = in[1];
  peakReset(ms(c));
}

std::pair<double, double> limitRange(Context& c) {
  if (ms(c).routDef == 3) return {0.0, kMaxCorrectionFrequency};
  return {-999.999, 999.999};
}

constexpr Bounds kCalFactors{0.01, 200.0};
constexpr Bounds kLinearityFactors{0.1, 15.0};
constexpr Bounds kCorrectionFrequencies{0.0, kMaxCorrectionFrequency};
constexpr Bounds kCounterResolutions{1.0, 100000000.0};
constexpr Bounds kDutyCycles{0.001, 100.0};

constexpr Command kCommands[] = {
    // ---- inputs ----
    {":INPut:DCONfig", [](Context& c) { if (auto v = c.oneKeyword(kDetectorUse)) st(c).detectorsScalar = *v == 1; },
     [](Context& c) { if (c.none()) c.replyKeyword(kDetectorUse, st(c).detectorsScalar ? 1 : 0); }},
    {":INPut:OFFSet",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto in = inputOf(c);
       auto v = in ? c.real(1, -99.99, 99.99) : std::nullopt;
       if (v) st(c).inputs[*in].offset = *v;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto in = inputOf(c)) c.replyReal(st(c).inputs[*in].offset);
     }},
    {":INPut:SCALar:AUTO",
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto in = inputOf(c)) st(c).inputs[*in].autoDet = true;
     },
     nullptr},
    {":INPut:SCALar:DETector",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto in = inputOf(c);
       auto n = in ? c.integer(1, 1, 16) : std::nullopt;
       if (!n) return;
       st(c).inputs[*in].autoDet = false;
       st(c).inputs[*in].detNumber = *n;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto in = inputOf(c)) c.replyInt(st(c).inputs[*in].autoDet ? 0 : st(c).inputs[*in].detNumber);
     }},
    inputBoolCommand<&InputState::tempCorr>(":INPut:SCALar:TCORrection"),
    inputBoolCommand<&InputState::flatCorr>(":INPut:FCORrection"),
    {":INPut:FCORrection:FREQuency:FROM",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto in = inputOf(c);
       auto v = in ? c.keyword(1, kFreqSources) : std::nullopt;
       if (v) st(c).inputs[*in].flatFrom = *v;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       auto in = inputOf(c);
       if (!in) return;
       int from = st(c).inputs[*in].flatFrom;
       c.reply(from < 0 ? "NONE" : keywordShort(kFreqSources[static_cast<std::size_t>(from)]));
     }},
    {":INPut:FCORrection:FREQuency",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto in = inputOf(c);
       auto v = in ? c.real(1, 0.0, kMaxCorrectionFrequency) : std::nullopt;
       if (v) st(c).inputs[*in].flatFreq = *v;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto in = inputOf(c)) c.replyReal(st(c).inputs[*in].flatFreq);
     }},
    realCommand<st, &State::cfacValue, kCalFactors>(":INPut:CFACtor:VALue"),
    realCommand<st, &State::lfacValue, kLinearityFactors>(":INPut:LFACtor:VALue"),
    intCommand<st, &State::cfacStore, 1, kSensorStores>(":INPut:CFACtor:STORe:NUMBer"),
    keywordCommand<st, &State::cfacFrom, kFreqSources>(":INPut:CFACtor:FREQuency:FROM"),
    realCommand<st, &State::cfacFreq, kCorrectionFrequencies>(":INPut:CFACtor:FREQuency"),
    {":INPut:CFACtor:STORe:MAX", nullptr, [](Context& c) { if (c.none()) c.replyInt(kSensorStores); }},
    {":INPut:CFACtor:STORe:DATA", nullptr,
     [](Context& c) {
       if (auto n = c.oneInt(1, kSensorStores))
         c.replyDefiniteBlock(st(c).sensorStores[static_cast<std::size_t>(*n - 1)].bytes);
     }},
    {":INPut:CFACtor:STORe",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = c.integer(0, 1, kSensorStores);
       auto bytes = n ? c.block(1) : std::nullopt;
       if (bytes) st(c).sensorStores[static_cast<std::size_t>(*n - 1)].bytes = std::move(*bytes);
     },
     nullptr},
    boolCommand<st, &State::acDetect>(":INPut:ACDetection"),
    boolCommand<st, &State::autoZero>(":INPut:ZERO:AUTO"),
    {":INPut:ZERO:DETector", [](Context& c) { (void)c.none(); }, nullptr},
    {":INPut:ZERO:SENSor", [](Context& c) { (void)c.none(); }, nullptr},
    boolCommand<st, &State::powerRef>(":INPut:REFerence"),
    {":INPut:CALibration", [](Context& c) { (void)c.none(); }, nullptr},
    {":INPut:CALibration:DETector", [](Context& c) { if (c.count(1, 1)) (void)inputOf(c); }, nullptr},
    // ---- readout ----
    {":ROUTe", nullptr, [](Context& c) { if (c.none()) c.replyReal(readingTake(c)); }},
    {":ROUTe:MEASure:POWer", [](Context& c) { readoutDefine(c, 0, 1); }, nullptr},
    {":ROUTe:MEASure:RATio", [](Context& c) { readoutDefine(c, 1, 2); }, nullptr},
    {":ROUTe:MEASure:DIFFerence", [](Context& c) { readoutDefine(c, 2, 2); }, nullptr},
    {":ROUTe:MEASure:FREQuency", [](Context& c) { readoutDefine(c, 3, 0); }, nullptr},
    {":ROUTe:MEASure:DEFinition", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       const MeasState& m = ms(c);
       std::string in1(kInputs[static_cast<std::size_t>(m.routIn1)]);
       std::string in2(kInputs[static_cast<std::size_t>(m.routIn2)]);
       switch (m.routDef) {
         case 0: c.reply("POW " + in1); break;
         case 1: c.reply("RAT " + in1 + "," + in2); break;
         case 2: c.reply("DIFF " + in1 + "," + in2); break;
         default: c.reply("FREQ"); break;
       }
     }},
    boolCommand<ms, &MeasState::relOn>(":ROUTe:RELative:STATe"),
    {":ROUTe:RELative:SAVE",
     [](Context& c) {
       if (!c.none()) return;
       ms(c).relRef = dut::readoutLevel(st(c), ms(c), c.limits(), c.rng());
     },
     nullptr},
    inputBoolCommand<&InputState::routAvg>(":ROUTe:AVERage"),
    inputBoolCommand<&InputState::routAvgAuto>(":ROUTe:AVERage:AUTO"),
    {":ROUTe:AVERage:NUMBer",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto in = inputOf(c);
       auto n = in ? c.integer(1, 1, 1000) : std::nullopt;
       if (n) st(c).inputs[*in].routAvgN = *n;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto in = inputOf(c)) c.replyInt(st(c).inputs[*in].routAvgN);
     }},
    {":ROUTe:AVERage:RESTart", [](Context& c) { if (c.count(1, 1)) (void)inputOf(c); }, nullptr},
    {":ROUTe:RESolution:PMETer",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto in = inputOf(c);
       auto v = in ? c.keyword(1, kResolutions) : std::nullopt;
       if (v) st(c).inputs[*in].routRes = *v;
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto in = inputOf(c)) c.replyKeyword(kResolutions, st(c).inputs[*in].routRes);
     }},
    realCommand<ms, &MeasState::countRes, kCounterResolutions>(":ROUTe:RESolution:COUNter"),
    boolCommand<ms, &MeasState::dcycOn>(":ROUTe:DCYCle"),
    realCommand<ms, &MeasState::dcyc, kDutyCycles>(":ROUTe:DCYCle:VALue"),
    boolCommand<ms, &MeasState::routLimOn>(":ROUTe:LIMit"),
    {":ROUTe:LIMit:MAX",
     [](Context& c) {
       auto [lo, hi] = limitRange(c);
       if (auto v = c.oneReal(lo, hi)) ms(c).routLimMax = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).routLimMax); }},
    {":ROUTe:LIMit:MIN",
     [](Context& c) {
       auto [lo, hi] = limitRange(c);
       if (auto v = c.oneReal(lo, hi)) ms(c).routLimMin = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(ms(c).routLimMin); }},
    {":ROUTe:PEAK",
     [](Context& c) {
       if (auto v = c.oneBool()) {
         ms(c).peakHold = *v;
         peakReset(ms(c));
       }
     },
     [](Context& c) { if (c.none()) c.replyBool(ms(c).peakHold); }},
    {":ROUTe:PEAK:RESet", [](Context& c) { if (c.none()) peakReset(ms(c)); }, nullptr},
    {":ROUTe:PEAK:MAX", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       double now = readingTake(c);
       c.replyReal(ms(c).peakHold ? ms(c).peakMax : now);
     }},
    {":ROUTe:PEAK:MIN", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       double now = readingTake(c);
       c.replyReal(ms(c).peakHold ? ms(c).peakMin : now);
     }},
    {":ROUTe:PIR",
     [](Context& c) {
       if (!c.none()) return;
       for (auto& ch : st(c).channels)
         for (auto& m : ch.meas) peakReset(m);
     },
     nullptr},
    keywordCommand<ms, &MeasState::routFormat, kReadoutFormats>(":ROUTe:FORMat"),
};

}  // namespace

std::span<const Command> commandsPowerMeter() { return kCommands; }

}  // namespace kavrel::sim
