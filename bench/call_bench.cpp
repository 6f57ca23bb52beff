// Whole setting calls against the stand-in's scripted instrument, beside the
// same VISA traffic made directly: the difference is the driver's own work
// (record fetch, argument checks, building the line, the binding's calls).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/scripted.h"
#include "visa_binding/visa_api.h"

namespace {

using kavrel::bench::ScriptedSession;

// `call` once an iteration on a session to the stand-in; the first call that
// does not succeed stops the benchmark with `what` as the reason.
template <class Call>
void runCalls(benchmark::State& state, const char* what, Call call) {
  ScriptedSession session(state);
  if (!session.ok()) return;
  for (auto _ : state) {
    if (call(session.vi()) != VI_SUCCESS) {
      state.SkipWithError(what);
      break;
    }
    session.tick();
  }
}

// kavrel_srcContWave: one line, then the status check's two "*ESR?" queries.
void BM_CallContWave(benchmark::State& state) {
  runCalls(state, "kavrel_srcContWave failed", [](ViSession vi) { return kavrel_srcContWave(vi, 1.5e9, -10.25); });
}
BENCHMARK(BM_CallContWave);

// The same bytes and queries straight to the stand-in, without the driver.
void BM_VisaContWave(benchmark::State& state) {
  const std::string text = ":SOUR:MODE CW;:SOUR:FREQ 1500000000.000000;POW:LEV -10.25";
  runCalls(state, "VISA call failed", [&text](ViSession vi) {
    ViInt32 esr = 0;
    ViStatus status =
        viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), VI_NULL);
    if (status == VI_SUCCESS) status = viQueryf(vi, "*ESR?", "%ld", &esr);
    if (status == VI_SUCCESS) status = viQueryf(vi, "*ESR?", "%ld", &esr);
    return status;
  });
}
BENCHMARK(BM_VisaContWave);

// A selection, a line and the status check: kavrel_scalPower.
void BM_CallScalPower(benchmark::State& state) {
  runCalls(state, "kavrel_scalPower failed", [](ViSession vi) { return kavrel_scalPower(vi, VI_TRUE, VI_FALSE, 2); });
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
