// Whole setting calls against the stand-in's scripted instrument, beside the
// same VISA traffic made directly: the difference is the driver's own work
// (record fetch, argument checks, building the line, the binding's calls).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/scripted.h"
#include "visa_binding/visa_api.h"

namespace {

using kavrel::bench::ScriptedSession;

// kavrel_srcContWave: one line, then the status check's two "*ESR?" queries.
void BM_CallContWave(benchmark::State& state) {
  ScriptedSession session(state);
  if (!session.ok()) return;
  for (auto _ : state) {
    if (kavrel_srcContWave(session.vi(), 1.5e9, -10.25) != VI_SUCCESS) {
      state.SkipWithError("kavrel_srcContWave failed");
      break;
    }
    session.tick();
  }
}
BENCHMARK(BM_CallContWave);

// The same bytes and queries straight to the stand-in, without the driver.
void BM_VisaContWave(benchmark::State& state) {
  ScriptedSession session(state);
  if (!session.ok()) return;
  const std::string text = ":SOUR:MODE CW;:SOUR:FREQ 1500000000.000000;POW:LEV -10.25";
  for (auto _ : state) {
    ViInt32 esr = 0;
    if (viWrite(session.vi(), reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()),
                VI_NULL) < VI_SUCCESS ||
        viQueryf(session.vi(), "*ESR?", "%ld", &esr) < VI_SUCCESS ||
        viQueryf(session.vi(), "*ESR?", "%ld", &esr) < VI_SUCCESS) {
      state.SkipWithError("VISA call failed");
      break;
    }
    session.tick();
  }
}
BENCHMARK(BM_VisaContWave);

// A selection, a line and the status check: kavrel_scalPower.
void BM_CallScalPower(benchmark::State& state) {
  ScriptedSession session(state);
  if (!session.ok()) return;
  for (auto _ : state) {
    if (kavrel_scalPower(session.vi(), VI_TRUE, VI_FALSE, 2) != VI_SUCCESS) {
      state.SkipWithError("kavrel_scalPower failed");
      break;
    }
    session.tick();
  }
}
BENCHMARK(BM_CallScalPower);

// An argument error: the driver alone, no VISA traffic at all.
void BM_CallRefused(benchmark::State& state) {
  ScriptedSession session(state);
  if (!session.ok()) return;
  for (auto _ : state) benchmark::DoNotOptimize(kavrel_srcRFOutput(session.vi(), 2));
}
BENCHMARK(BM_CallRefused);

}  // namespace
