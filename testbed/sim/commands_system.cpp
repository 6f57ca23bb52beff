// IEEE 488.2 common commands and the :SYSTem subsystem.
#include <array>
#include <cmath>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

struct AppParamRange {
  double lo, hi;
  bool zeroOrOne;
};
constexpr std::array<AppParamRange, 6> kAppParams = {{
    {-99.99, 99.99, false}, {0.0, 1.0, false}, {-20.0, 99.99, false}, {-99.99, 99.99, false},
    {0.0, 1.0, true}, {0.0, 1.0, true},
}};
constexpr std::size_t kAppNameMax = 64;

void registerByte(Context& c, std::uint8_t& reg, std::uint8_t mask) {
  if (auto v = c.oneInt(0, 255)) reg = static_cast<std::uint8_t>(*v & mask);
}

void errorNext(Context& c) {
  if (!c.none()) return;
  auto& errors = c.status().errors;
  int code = 0;
  if (!errors.empty()) {
    code = errors.front();
    errors.pop_front();
  }
  c.reply(scpi::formatInt(code) + "," + scpi::formatString(scpi::errorText(code)));
}

constexpr Command kCommands[] = {
    {"*IDN", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       const Identity& id = c.identity();
       c.reply(std::string(kManufacturer) + "," + scpi::formatInt(id.model) + "," + id.serial + "," + id.firmware);
     }},
    {"*OPT", nullptr, [](Context& c) { if (c.none()) c.replyInt(c.identity().options); }},
    {"*RST", [](Context& c) { if (c.none()) c.instrument().resetSettings(); }, nullptr},
    {"*TST", nullptr, [](Context& c) { if (c.none()) c.replyInt(0); }},
    {"*CLS",
     [](Context& c) {
       if (!c.none()) return;
       c.status().esr = 0;
       c.status().errors.clear();
       c.status().srqArmed = true;
     },
     nullptr},
    {"*ESE", [](Context& c) { registerByte(c, c.status().ese, 0xFF); },
     [](Context& c) { if (c.none()) c.replyInt(c.status().ese); }},
    {"*SRE", [](Context& c) { registerByte(c, c.status().sre, 0xBF); },
     [](Context& c) { if (c.none()) c.replyInt(c.status().sre); }},
    {"*ESR", nullptr,
     [](Context& c) {
       if (!c.none()) return;
       c.replyInt(c.status().esr);
       c.status().esr = 0;
     }},
    {"*STB", nullptr, [](Context& c) { if (c.none()) c.replyInt(statusByteOf(c.status())); }},
    {"*OPC", [](Context& c) { if (c.none()) c.status().esr |= 0x01; },
     [](Context& c) { if (c.none()) c.replyInt(1); }},
    {"*WAI", [](Context& c) { (void)c.none(); }, nullptr},
    {"*TRG", [](Context& c) { (void)c.none(); }, nullptr},
    {":SYSTem:ERRor", nullptr, errorNext},
    {":SYSTem:ERRor:NEXT", nullptr, errorNext},
    {":SYSTem:ERRor:COUNt", nullptr,
     [](Context& c) { if (c.none()) c.replyInt(static_cast<long long>(c.status().errors.size())); }},
    {":SYSTem:VERSion", nullptr, [](Context& c) { if (c.none()) c.reply("1999.0"); }},
    {":SYSTem:MODE", [](Context& c) { if (auto v = c.oneKeyword(kSystemModes)) c.state().systemMode = *v; },
     [](Context& c) { if (c.none()) c.replyKeyword(kSystemModes, c.state().systemMode); }},
    {":SYSTem:DISPlay:FMODe",
     [](Context& c) {
       if (!c.count(1, 1)) return;
       const scpi::Param& p = c.unit().params[0];
       int mode = -1;
       if (p.kind == scpi::Param::Kind::number && (p.number == 5831.0 || p.number == 5832.0))
         mode = static_cast<int>(p.number);
       else if (p.kind == scpi::Param::Kind::character && p.text == "USER")
         mode = 0;
       else if (p.kind == scpi::Param::Kind::character && (p.text == "5831" || p.text == "5832"))
         mode = p.text == "5831" ? 5831 : 5832;
       if (mode < 0) {
         c.fail(p.kind == scpi::Param::Kind::number || p.kind == scpi::Param::Kind::character
                    ? scpi::err::illegalValue
                    : scpi::err::dataType);
         return;
       }
       c.channel().fmode = mode;
     },
     [](Context& c) {
       if (c.none()) c.reply(c.channel().fmode == 0 ? "USER" : scpi::formatInt(c.channel().fmode));
     }},
    {":SYSTem:DISPlay:FOFFset", [](Context& c) { if (auto v = c.oneReal(-200e9, 200e9)) c.channel().fOffset = *v; },
     [](Context& c) { if (c.none()) c.replyReal(c.channel().fOffset); }},
    {":SYSTem:DISPlay:FSCale", [](Context& c) { if (auto v = c.oneReal(0.01, 30.0)) c.channel().fScale = *v; },
     [](Context& c) { if (c.none()) c.replyReal(c.channel().fScale); }},
    {":SYSTem:DISPlay:POFFset", [](Context& c) { if (auto v = c.oneReal(-99.99, 99.99)) c.channel().pOffset = *v; },
     [](Context& c) { if (c.none()) c.replyReal(c.channel().pOffset); }},
    {":SYSTem:APPLication:LOAD",
     [](Context& c) {
       if (!c.count(1, 1)) return;
       auto name = c.text(0, kAppNameMax);
       if (!name) return;
       if (name->empty()) {
         c.fail(scpi::err::illegalValue);
         return;
       }
       c.state().app.loaded = *name;
       c.state().app.running = 0;
     },
     [](Context& c) { if (c.none()) c.reply(scpi::formatString(c.state().app.loaded)); }},
    {":SYSTem:APPLication:RUN",
     [](Context& c) {
       auto n = c.oneInt(1, 2);
       if (!n) return;
       if (c.state().app.loaded.empty()) {
         c.fail(scpi::err::settingsConflict);
         return;
       }
       c.state().app.running = *n;
     },
     [](Context& c) { if (c.none()) c.replyInt(c.state().app.running); }},
    {":SYSTem:APPLication:PARameter",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = c.integer(0, 1, 8);
       if (!n) return;
       if (*n > 6) {  // 7 and 8 are the application's read-only results
         c.fail(scpi::err::illegalValue);
         return;
       }
       const AppParamRange& r = kAppParams[static_cast<std::size_t>(*n - 1)];
       auto v = c.real(1, r.lo, r.hi);
       if (!v) return;
       if (r.zeroOrOne && *v != 0.0 && *v != 1.0) {
         c.fail(scpi::err::illegalValue);
         return;
       }
       c.state().app.params[static_cast<std::size_t>(*n - 1)] = *v;
     },
     [](Context& c) {
       auto n = c.oneInt(1, 8);
       if (!n) return;
       AppState& app = c.state().app;
       if (*n == 8) c.replyReal(app.running);                         // run state
       else if (*n == 7) c.replyReal(app.loaded.empty() ? 0.0 : 1.0);  // an application is loaded
       else c.replyReal(app.params[static_cast<std::size_t>(*n - 1)]);
     }},
    {":SYSTem:SETTings:MAX", nullptr, [](Context& c) { if (c.none()) c.replyInt(kSettingsStores); }},
};

}  // namespace

std::span<const Command> commandsSystem() { return kCommands; }

}  // namespace kavrel::sim
