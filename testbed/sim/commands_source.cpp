// The :SOURce subsystem: modes, sweeps, list, levelling, outputs, DC output, source calibration.
#include <algorithm>

#include "testbed/sim/engine.h"

namespace kavrel::sim {

namespace {

constexpr double kMinFrequency = 10e6;
constexpr double kMaxLevel = 20.0;
constexpr double kMaxVolt = 15.0;
constexpr double kMaxCurr = 0.15;
constexpr std::size_t kMaxSegments = 12;

SourceState& src(Context& c) { return c.state().source; }

// The frequency sweep's start, stop, centre or span.
template <Edge E>
void frequencySet(Context& c) {
  rangeSet(c, src(c).start, src(c).stop, {kMinFrequency, c.limits().maxFrequency}, E);
}
template <Edge E>
void frequencyGet(Context& c) { rangeReply(c, src(c).start, src(c).stop, E); }

void replyStore(Context& c, const Store& store) { c.replyDefiniteBlock(store.bytes); }

std::optional<int> sourceCalNumber(Context& c) { return c.integer(0, 1, kSourceCals); }

constexpr Bounds kVolts{-kMaxVolt, kMaxVolt};
constexpr Bounds kAmps{-kMaxCurr, kMaxCurr};

constexpr Command kCommands[] = {
    keywordCommand<src, &SourceState::mode, kSourceModes>(":SOURce:MODE"),
    {":SOURce:FREQuency",
     [](Context& c) { if (auto v = c.oneReal(kMinFrequency, c.limits().maxFrequency)) src(c).cw = *v; },
     [](Context& c) { if (c.none()) c.replyReal(src(c).cw); }},
    {":SOURce:FREQuency:CW",
     [](Context& c) { if (auto v = c.oneReal(kMinFrequency, c.limits().maxFrequency)) src(c).cw = *v; },
     [](Context& c) { if (c.none()) c.replyReal(src(c).cw); }},
    {":SOURce:FREQuency:STARt", frequencySet<Edge::start>, frequencyGet<Edge::start>},
    {":SOURce:FREQuency:STOP", frequencySet<Edge::stop>, frequencyGet<Edge::stop>},
    {":SOURce:FREQuency:CENTer", frequencySet<Edge::centre>, frequencyGet<Edge::centre>},
    {":SOURce:FREQuency:SPAN", frequencySet<Edge::span>, frequencyGet<Edge::span>},
    keywordCommand<src, &SourceState::freqStandard, kFreqStandards>(":SOURce:FREQuency:STANdard"),
    {":SOURce:POWer",
     [](Context& c) { if (auto v = c.oneReal(c.limits().minLevel, kMaxLevel)) src(c).level = *v; },
     [](Context& c) { if (c.none()) c.replyReal(src(c).level); }},
    {":SOURce:POWer:LEVel",
     [](Context& c) { if (auto v = c.oneReal(c.limits().minLevel, kMaxLevel)) src(c).level = *v; },
     [](Context& c) { if (c.none()) c.replyReal(src(c).level); }},
    {":SOURce:POWer:STARt",
     [](Context& c) { rangeSet(c, src(c).powStart, src(c).powStop, {c.limits().minLevel, kMaxLevel}, Edge::start); },
     [](Context& c) { if (c.none()) c.replyReal(src(c).powStart); }},
    {":SOURce:POWer:STOP",
     [](Context& c) { rangeSet(c, src(c).powStart, src(c).powStop, {c.limits().minLevel, kMaxLevel}, Edge::stop); },
     [](Context& c) { if (c.none()) c.replyReal(src(c).powStop); }},
    {":SOURce:VIO:VOLTage:STARt",
     [](Context& c) { rangeSet(c, src(c).voltStart, src(c).voltStop, {-kMaxVolt, kMaxVolt}, Edge::start); },
     [](Context& c) { if (c.none()) c.replyReal(src(c).voltStart); }},
    {":SOURce:VIO:VOLTage:STOP",
     [](Context& c) { rangeSet(c, src(c).voltStart, src(c).voltStop, {-kMaxVolt, kMaxVolt}, Edge::stop); },
     [](Context& c) { if (c.none()) c.replyReal(src(c).voltStop); }},
    {":SOURce:VIO:CURRent:STARt",
     [](Context& c) { rangeSet(c, src(c).currStart, src(c).currStop, {-kMaxCurr, kMaxCurr}, Edge::start); },
     [](Context& c) { if (c.none()) c.replyReal(src(c).currStart); }},
    {":SOURce:VIO:CURRent:STOP",
     [](Context& c) { rangeSet(c, src(c).currStart, src(c).currStop, {-kMaxCurr, kMaxCurr}, Edge::stop); },
     [](Context& c) { if (c.none()) c.replyReal(src(c).currStop); }},
    realCommand<src, &SourceState::dcVolt, kVolts>(":SOURce:VIO:VOLTage:CONStant"),
    realCommand<src, &SourceState::dcCurr, kAmps>(":SOURce:VIO:CURRent:CONStant"),
    keywordCommand<src, &SourceState::dcMode, kDcModes>(":SOURce:VIO:MODE"),
    {":SOURce:VIO:VPGS",
     [](Context& c) {
       auto v = c.oneReal(0.5, 1.0);
       if (!v) return;
       if (*v != 0.5 && *v != 1.0) {
         c.fail(scpi::err::illegalValue);
         return;
       }
       src(c).voltsPerGhz = *v;
     },
     [](Context& c) { if (c.none()) c.replyReal(src(c).voltsPerGhz); }},
    {":SOURce:LLISt:RESet", [](Context& c) { if (c.none()) src(c).list.clear(); }, nullptr},
    {":SOURce:LLISt:SEGMent",
     [](Context& c) {
       if (!c.count(3, 3)) return;
       double maxF = c.limits().maxFrequency;
       auto start = c.real(0, kMinFrequency, maxF);
       if (!start) return;
       auto stop = c.real(1, kMinFrequency, maxF);
       if (!stop) return;
       auto points = c.integer(2, 1, 800);
       if (!points) return;
       if (*start > *stop) {
         c.fail(scpi::err::illegalValue);
         return;
       }
       if (src(c).list.size() >= kMaxSegments) {
         c.fail(scpi::err::tooMuchData);
         return;
       }
       src(c).list.push_back({*start, *stop, *points});
     },
     [](Context& c) {
       auto n = c.oneInt(1, static_cast<int>(kMaxSegments));
       if (!n) return;
       if (static_cast<std::size_t>(*n) > src(c).list.size()) {
         c.fail(scpi::err::outOfRange);
         return;
       }
       const ListSegment& s = src(c).list[static_cast<std::size_t>(*n - 1)];
       c.reply(scpi::formatReal(s.start) + "," + scpi::formatReal(s.stop) + "," + scpi::formatInt(s.points));
     }},
    {":SOURce:LLISt:SEGMent:COUNt", nullptr,
     [](Context& c) { if (c.none()) c.replyInt(static_cast<long long>(src(c).list.size())); }},
    {":SOURce:SWEep:POINts", [](Context& c) { if (auto v = c.oneInt(2, 800)) src(c).points = *v; },
     [](Context& c) { if (c.none()) c.replyInt(src(c).points); }},
    boolCommand<src, &SourceState::autoTime>(":SOURce:SWEep:AUTO"),
    {":SOURce:SWEep:TIME",
     [](Context& c) {
       if (auto v = c.oneReal(0.04, 500.0)) {
         src(c).sweepTime = *v;
         src(c).autoTime = false;
       }
     },
     [](Context& c) { if (c.none()) c.replyReal(src(c).sweepTime); }},
    keywordCommand<src, &SourceState::levelling, kLevelling>(":SOURce:LEVel"),
    boolCommand<src, &SourceState::blanking>(":SOURce:BLANking"),
    keywordCommand<src, &SourceState::selection, kSourceSelections>(":SOURce:SELect"),
    keywordCommand<src, &SourceState::cwFilter, kCwFilters>(":SOURce:CWFilter"),
    keywordCommand<src, &SourceState::bandwidth, kSourceBandwidths>(":SOURce:SBANdwidth"),
    boolCommand<src, &SourceState::rf>(":SOURce:RF"),
    {":SOURce:CALibration:MAX", nullptr, [](Context& c) { if (c.none()) c.replyInt(kSourceCals); }},
    {":SOURce:CALibration:SELect", [](Context& c) { if (auto v = c.oneInt(0, kSourceCals)) src(c).calSelected = *v; },
     [](Context& c) { if (c.none()) c.replyInt(src(c).calSelected); }},
    {":SOURce:CALibration:PPST", nullptr, [](Context& c) { if (c.none()) replyStore(c, c.state().sourcePpst); }},
    {":SOURce:CALibration:FST", nullptr, [](Context& c) { if (c.none()) replyStore(c, c.state().sourceFst); }},
    {":SOURce:CALibration:UPST",
     [](Context& c) {
       if (!c.count(2, 2)) return;
       auto n = sourceCalNumber(c);
       if (!n) return;
       auto bytes = c.block(1);
       if (!bytes) return;
       c.state().sourceUpst[static_cast<std::size_t>(*n - 1)].bytes = std::move(*bytes);
     },
     [](Context& c) {
       if (!c.count(1, 1)) return;
       if (auto n = sourceCalNumber(c)) replyStore(c, c.state().sourceUpst[static_cast<std::size_t>(*n - 1)]);
     }},
};

}  // namespace

std::span<const Command> commandsSource() { return kCommands; }

}  // namespace kavrel::sim
