// Reflection calibration (:REFLection:CALibration, :REFLection:ZERO): the
// procedure, the calibration stores and their descriptions, and the kits.
#include <array>
#include <chrono>
#include <ctime>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

constexpr double kMaxKitFrequency = 999999000000.0;
constexpr std::size_t kTextMax = 20;

State& st(Context& c) { return c.state(); }
CalProcedure& cal(Context& c) { return c.state().cal; }
KitState& kit(Context& c) { return c.state().kits[static_cast<std::size_t>(c.state().kitSelected - 1)]; }

// Standards each calibration type needs before it can be processed.
struct Needs {
  std::array<bool, 6> standards;  // FLO OPEN OSH SHOR SLO TPOR
  bool bothOffsetShorts;
};
constexpr std::array<Needs, 5> kNeeds = {{
    {{true, true, false, true, false, false}, false},   // CSOF: short, open, fixed load
    {{false, true, false, true, true, false}, false},   // CSOS: short, open, sliding load
    {{true, false, true, true, false, false}, false},   // WSOL: short, offset short, load
    {{true, false, true, false, false, false}, true},   // WS12: both offset shorts, load
    {{false, false, true, true, true, false}, false},   // WSOS: short, offset short, sliding load
}};

bool calComplete(const CalProcedure& p) {
  const Needs& n = kNeeds[static_cast<std::size_t>(p.type)];
  for (std::size_t i = 0; i < n.standards.size(); ++i)
    if (n.standards[i] && !p.measured[i]) return false;
  return !n.bothOffsetShorts || (p.offsetShorts[0] && p.offsetShorts[1]);
}

// A kit definition changed: its store follows.
void kitChanged(Context& c) {
  std::size_t k = static_cast<std::size_t>(c.state().kitSelected - 1);
  c.state().kitStores[k].bytes = kitSerialize(c.state().kits[k]);
}

void calMeasure(Context& c, int standard) {
  std::optional<int> number = 1;
  if (standard == stdOsh) number = c.oneInt(1, 2);
  else if (standard == stdSlo) number = c.oneInt(1, 8);
  else if (!c.none()) return;
  if (!number) return;
  if (!cal(c).active) {  // no calibration in progress
    c.fail(scpi::err::settingsConflict);
    return;
  }
  cal(c).measured[static_cast<std::size_t>(standard)] = true;
  if (standard == stdOsh) cal(c).offsetShorts[static_cast<std::size_t>(*number - 1)] = true;
}

void calProcess(Context& c) {
  if (!c.count(2, 2)) return;
  auto n = c.integer(0, 1, kReflCalStores);
  auto title = n ? c.text(1, kTextMax) : std::nullopt;
  if (!title) return;
  CalProcedure& p = cal(c);
  if (!p.active || !calComplete(p)) {
    c.fail(scpi::err::settingsConflict);
    return;
  }
  CalDescription d;
  d.cable = st(c).calCable ? 1 : 0;
  d.connector = st(c).kits[static_cast<std::size_t>(p.kit - 1)].connector;
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  const auto today = std::chrono::floor<std::chrono::days>(now);
  const std::chrono::year_month_day date(today);
  const std::chrono::hh_mm_ss clock(now - today);
  d.date = {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day()))};
  d.time = {static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
            static_cast<int>(clock.seconds().count())};
  d.sex = p.type <= 1 ? p.sex : 0;
  d.title = *title;
  d.type = p.type;
  // Error terms: directivity, source match and tracking as value pairs per point.
  std::vector<float> terms;
  for (const auto& point : dut::sweepPoints(st(c).source)) {
    (void)point;
    for (int k = 0; k < 6; ++k) terms.push_back(static_cast<float>((k == 4 ? 1.0 : 0.0) + 1e-3 * c.rng().gaussian()));
  }
  std::size_t index = static_cast<std::size_t>(*n - 1);
  st(c).calDescriptions[index] = d;
  st(c).reflCals[index].bytes = calSerialize(d, dut::floatsToBytes(terms));
  st(c).calInUse = *n;
  st(c).calValid = true;
  p.active = false;
}

// The store number a description query names.
std::optional<std::size_t> storeOf(Context& c) {
  auto n = c.oneInt(1, kReflCalStores);
  if (!n) return std::nullopt;
  return static_cast<std::size_t>(*n - 1);
}

template <typename F>
void describe(Context& c, F reply) {
  if (auto n = storeOf(c)) reply(c.state().calDescriptions[*n]);
}

// Serial number of one kit standard: "<standard> "<text>"".
template <std::size_t Standard>
constexpr Command serialCommand(std::string_view pattern) {
  return {pattern,
          [](Context& c) {
            if (!c.count(1, 1)) return;
            if (auto s = c.text(0, kTextMax)) {
              kit(c).serials[Standard] = *s;
              kitChanged(c);
            }
          },
          [](Context& c) { if (c.none()) c.reply(scpi::formatString(kit(c).serials[Standard])); }};
}

// A real field of the selected kit.
template <auto Field, const Bounds& B>
constexpr Command kitRealCommand(std::string_view pattern) {
  return {pattern,
          [](Context& c) {
            if (auto v = c.oneReal(B.lo, B.hi)) {
              kit(c).*Field = *v;
              kitChanged(c);
            }
          },
          [](Context& c) { if (c.none()) c.replyReal(kit(c).*Field); }};
}

// A field of one of the two offset shorts of the selected kit.
template <std::array<double, 2> KitState::*Field, std::size_t Which, const Bounds& B>
constexpr Command offsetCommand(std::string_view pattern) {
  return {pattern,
          [](Context& c) {
            if (auto v = c.oneReal(B.lo, B.hi)) {
              (kit(c).*Field)[Which] = *v;
              kitChanged(c);
            }
          },
          [](Context& c) { if (c.none()) c.replyReal((kit(c).*Field)[Which]); }};
}

constexpr Bounds kOffsetLengths{0.0, 1e8};
constexpr Bounds kKitFrequencies{0.0, kMaxKitFrequency};

constexpr Command kCommands[] = {
    // ---- procedure ----
    {":REFLection:CALibration:KIT",
     [](Context& c) {
       if (auto n = c.oneInt(1, kKits)) {
         st(c).kitSelected = *n;
         cal(c).kit = *n;
       }
     },
     [](Context& c) { if (c.none()) c.replyInt(st(c).kitSelected); }},
    {":REFLection:CALibration:TYPE",
     [](Context& c) {
       auto t = c.oneKeyword(kCalTypes);
       if (!t) return;
       CalProcedure& p = cal(c);
       p = CalProcedure{};
       p.active = true;  // a new calibration begins
       p.kit = st(c).kitSelected;
       p.type = *t;
       p.sex = kit(c).sex == 0 ? 1 : kit(c).sex;
       st(c).calValid = false;
     },
     [](Context& c) { if (c.none()) c.replyKeyword(kCalTypes, cal(c).type); }},
    {":REFLection:CALibration:SEX",
     [](Context& c) {
       auto s = c.oneKeyword(kSexes);
       if (!s) return;
       if (*s == 0) {
         c.fail(scpi::err::illegalValue);
         return;
       }
       cal(c).sex = *s;
     },
     [](Context& c) { if (c.none()) c.replyKeyword(kSexes, cal(c).sex); }},
    {":REFLection:CALibration:MEASure:FLO", [](Context& c) { calMeasure(c, stdFlo); }, nullptr},
    {":REFLection:CALibration:MEASure:OPEN", [](Context& c) { calMeasure(c, stdOpen); }, nullptr},
    {":REFLection:CALibration:MEASure:OSH", [](Context& c) { calMeasure(c, stdOsh); }, nullptr},
    {":REFLection:CALibration:MEASure:SHORt", [](Context& c) { calMeasure(c, stdShort); }, nullptr},
    {":REFLection:CALibration:MEASure:SLO", [](Context& c) { calMeasure(c, stdSlo); }, nullptr},
    {":REFLection:CALibration:MEASure:TPORt", [](Context& c) { calMeasure(c, stdTport); }, nullptr},
    {":REFLection:CALibration:PROCess", calProcess, nullptr},
    {":REFLection:CALibration:RESTore",
     [](Context& c) {
       if (auto n = c.oneInt(1, kReflCalStores)) {
         st(c).calInUse = *n;
         st(c).calValid = true;
       }
     },
     nullptr},
    {":REFLection:ZERO", [](Context& c) { (void)c.none(); }, nullptr},
    {":REFLection:CALibration:ABORt", [](Context& c) { if (c.none()) cal(c).active = false; }, nullptr},
    boolCommand<st, &State::calCable>(":REFLection:CALibration:CABLe"),
    {":REFLection:CALibration:VALid", nullptr, [](Context& c) { if (c.none()) c.replyBool(st(c).calValid); }},
    // ---- stores ----
    {":REFLection:CALibration:KIT:MAX", nullptr, [](Context& c) { if (c.none()) c.replyInt(kKits); }},
    {":REFLection:CALibration:DATA:MAX", nullptr, [](Context& c) { if (c.none()) c.replyInt(kReflCalStores); }},
    {":REFLection:CALibration:DATA:CABLe", nullptr,
     [](Context& c) { describe(c, [&](const CalDescription& d) { c.replyInt(d.cable); }); }},
    {":REFLection:CALibration:DATA:CONNector", nullptr,
     [](Context& c) { describe(c, [&](const CalDescription& d) { c.replyKeyword(kConnectors, d.connector); }); }},
    {":REFLection:CALibration:DATA:DATE", nullptr,
     [](Context& c) {
       describe(c, [&](const CalDescription& d) {
         c.reply(scpi::formatInt(d.date[0]) + "," + scpi::formatInt(d.date[1]) + "," + scpi::formatInt(d.date[2]));
       });
     }},
    {":REFLection:CALibration:DATA:TIME", nullptr,
     [](Context& c) {
       describe(c, [&](const CalDescription& d) {
         c.reply(scpi::formatInt(d.time[0]) + "," + scpi::formatInt(d.time[1]) + "," + scpi::formatInt(d.time[2]));
       });
     }},
    {":REFLection:CALibration:DATA:SEX", nullptr,
     [](Context& c) { describe(c, [&](const CalDescription& d) { c.replyKeyword(kSexes, d.sex); }); }},
    {":REFLection:CALibration:DATA:TITLe", nullptr,
     [](Context& c) { describe(c, [&](const CalDescription& d) { c.reply(scpi::formatString(d.title)); }); }},
    {":REFLection:CALibration:DATA:TYPE", nullptr,
     [](Context& c) { describe(c, [&](const CalDescription& d) { c.replyKeyword(kCalTypes, d.type); }); }},
    {":REFLection:CALibration:DATA:STORe",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = c.integer(0, 1, kReflCalStores);
       auto bytes = n ? c.block(1) : std::nullopt;
       if (!bytes) return;
       std::size_t index = static_cast<std::size_t>(*n - 1);
       calParse(*bytes, st(c).calDescriptions[index]);
       st(c).reflCals[index].bytes = std::move(*bytes);
     },
     [](Context& c) {
       if (auto n = storeOf(c)) c.replyDefiniteBlock(st(c).reflCals[*n].bytes);
     }},
    {":REFLection:CALibration:KIT:STORe",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = c.integer(0, 1, kKits);
       auto bytes = n ? c.block(1) : std::nullopt;
       if (!bytes) return;
       std::size_t index = static_cast<std::size_t>(*n - 1);
       kitParse(*bytes, st(c).kits[index]);
       st(c).kitStores[index].bytes = std::move(*bytes);
     },
     [](Context& c) {
       if (auto n = c.oneInt(1, kKits)) c.replyDefiniteBlock(st(c).kitStores[static_cast<std::size_t>(*n - 1)].bytes);
     }},
    // ---- definitions of the selected kit ----
    {":REFLection:CALibration:KIT:CONNector",
     [](Context& c) {
       if (auto v = c.oneKeyword(kConnectors)) {
         kit(c).connector = *v;
         kitChanged(c);
       }
     },
     [](Context& c) { if (c.none()) c.replyKeyword(kConnectors, kit(c).connector); }},
    {":REFLection:CALibration:KIT:IDENtity",
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto s = c.text(0, kTextMax)) {
         kit(c).identity = *s;
         kitChanged(c);
       }
     },
     [](Context& c) { if (c.none()) c.reply(scpi::formatString(kit(c).identity)); }},
    {":REFLection:CALibration:KIT:SEX",
     [](Context& c) {
       if (auto v = c.oneKeyword(kSexes)) {
         kit(c).sex = *v;
         kitChanged(c);
       }
     },
     [](Context& c) { if (c.none()) c.replyKeyword(kSexes, kit(c).sex); }},
    serialCommand<0>(":REFLection:CALibration:KIT:SHORt"),
    serialCommand<1>(":REFLection:CALibration:KIT:OPEN"),
    serialCommand<2>(":REFLection:CALibration:KIT:FIX"),
    serialCommand<3>(":REFLection:CALibration:KIT:SLID"),
    serialCommand<4>(":REFLection:CALibration:KIT:OFF1"),
    serialCommand<5>(":REFLection:CALibration:KIT:OFF2"),
    serialCommand<6>(":REFLection:CALibration:KIT:LOAD"),
    kitRealCommand<&KitState::shortOlen, kOffsetLengths>(":REFLection:CALibration:KIT:SHORt:OLENgth"),
    kitRealCommand<&KitState::openOlen, kOffsetLengths>(":REFLection:CALibration:KIT:OPEN:OLENgth"),
    {":REFLection:CALibration:KIT:OPEN:FCO",
     [](Context& c) {
       if (!c.count(4, 4)) return;
       std::array<double, 4> fco{};
       for (std::size_t i = 0; i < 4; ++i) {
         auto v = c.real(i, -999999.0, 999999.0);
         if (!v) return;
         fco[i] = *v;
       }
       kit(c).fco = fco;
       kitChanged(c);
     },
     [](Context& c) {
       if (!c.none()) return;
       const auto& f = kit(c).fco;
       c.reply(scpi::formatReal(f[0]) + "," + scpi::formatReal(f[1]) + "," + scpi::formatReal(f[2]) + "," +
               scpi::formatReal(f[3]));
     }},
    kitRealCommand<&KitState::fixOlen, kOffsetLengths>(":REFLection:CALibration:KIT:FIX:OLENgth"),
    kitRealCommand<&KitState::fixBfr, kKitFrequencies>(":REFLection:CALibration:KIT:FIX:BFR"),
    kitRealCommand<&KitState::slidBfr, kKitFrequencies>(":REFLection:CALibration:KIT:SLID:BFR"),
    kitRealCommand<&KitState::loadOlen, kOffsetLengths>(":REFLection:CALibration:KIT:LOAD:OLENgth"),
    kitRealCommand<&KitState::wgc, kKitFrequencies>(":REFLection:CALibration:KIT:WGCutoff"),
    offsetCommand<&KitState::offOlen, 0, kOffsetLengths>(":REFLection:CALibration:KIT:OFF1:OLENgth"),
    offsetCommand<&KitState::offMin, 0, kKitFrequencies>(":REFLection:CALibration:KIT:OFF1:MINF"),
    offsetCommand<&KitState::offMax, 0, kKitFrequencies>(":REFLection:CALibration:KIT:OFF1:MAXF"),
    offsetCommand<&KitState::offOlen, 1, kOffsetLengths>(":REFLection:CALibration:KIT:OFF2:OLENgth"),
    offsetCommand<&KitState::offMin, 1, kKitFrequencies>(":REFLection:CALibration:KIT:OFF2:MINF"),
    offsetCommand<&KitState::offMax, 1, kKitFrequencies>(":REFLection:CALibration:KIT:OFF2:MAXF"),
};

}  // namespace

std::span<const Command> commandsCalibration() { return kCommands; }

}  // namespace kavrel::sim
