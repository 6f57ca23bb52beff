// Building command lines with kavrel::line against a plain snprintf into a
// fixed buffer: a CW line, and the 12-segment list sweep that
// kavrel_srcCreateLinList sends.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "driver/core/text.h"

namespace {

using namespace kavrel;

constexpr ViReal64 kFrequency = 1.5e9;
constexpr ViReal64 kLevel = -10.25;
constexpr int kSegments = 12;

ViReal64 segmentStart(int i) { return 10e9 + i * 1e9; }
ViReal64 segmentStop(int i) { return (20 + i) * 1e9 + 5e8; }
ViInt32 segmentPoints(int i) { return 100 + i; }

std::string cwLine(ViReal64 frequency, ViReal64 level) {
  return line(":SOUR:MODE CW;:SOUR:FREQ ", real(frequency), ";POW:LEV ", fixed2(level));
}

int cwPrintf(char* out, std::size_t size, ViReal64 frequency, ViReal64 level) {
  return std::snprintf(out, size, ":SOUR:MODE CW;:SOUR:FREQ %f;POW:LEV %.2f", frequency, level);
}

std::string listLine() {
  Line list(":SOUR:LLIS:RES");
  for (int i = 0; i < kSegments; ++i)
    list.add(";SEGM ").add(real(segmentStart(i))).add(", ").add(real(segmentStop(i))).add(", ").add(segmentPoints(i));
  return list.str();
}

// The same list into a buffer large enough for it; a C driver's usual way.
int listPrintf(char* out, std::size_t size) {
  int n = std::snprintf(out, size, ":SOUR:LLIS:RES");
  for (int i = 0; i < kSegments && n >= 0 && static_cast<std::size_t>(n) < size; ++i)
    n += std::snprintf(out + n, size - static_cast<std::size_t>(n), ";SEGM %f, %f, %d", segmentStart(i), segmentStop(i),
                       static_cast<int>(segmentPoints(i)));
  return n;
}

// Both ways must build the same bytes, or the comparison means nothing.
bool sameBytes(benchmark::State& state, const std::string& built, const char* printed, int length) {
  if (length >= 0 && built == std::string(printed, static_cast<std::size_t>(length))) return true;
  state.SkipWithError("kavrel::line and snprintf disagree");
  return false;
}

void BM_LineCw(benchmark::State& state) {
  ViReal64 frequency = kFrequency, level = kLevel;
  for (auto _ : state) {
    benchmark::DoNotOptimize(frequency);
    benchmark::DoNotOptimize(level);
    std::string text = cwLine(frequency, level);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_LineCw);

void BM_SnprintfCw(benchmark::State& state) {
  char buffer[128];
  if (!sameBytes(state, cwLine(kFrequency, kLevel), buffer, cwPrintf(buffer, sizeof buffer, kFrequency, kLevel)))
    return;
  ViReal64 frequency = kFrequency, level = kLevel;
  for (auto _ : state) {
    benchmark::DoNotOptimize(frequency);
    benchmark::DoNotOptimize(level);
    int n = cwPrintf(buffer, sizeof buffer, frequency, level);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnprintfCw);

void BM_LineList12(benchmark::State& state) {
  for (auto _ : state) {
    std::string text = listLine();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["bytes"] = static_cast<double>(listLine().size());
}
BENCHMARK(BM_LineList12);

void BM_SnprintfList12(benchmark::State& state) {
  char buffer[2048];
  if (!sameBytes(state, listLine(), buffer, listPrintf(buffer, sizeof buffer))) return;
  for (auto _ : state) {
    int n = listPrintf(buffer, sizeof buffer);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnprintfList12);

}  // namespace
