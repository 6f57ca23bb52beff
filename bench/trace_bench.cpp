// Widening float32 trace blocks to the caller's doubles, as the trace readers
// do: the loop alone on a prepared block, and kavrel::queryFloatBlock against
// the stand-in followed by the same loop.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench/scripted.h"
#include "driver/core/block.h"

namespace {

using namespace kavrel;

std::vector<float> ramp(std::size_t count) {
  std::vector<float> values(count);
  for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<float>(i) * 0.25f - 100.0f;
  return values;
}

FloatBlock preparedBlock(ViInt32 count) {
  FloatBlock block;
  std::vector<float> values = ramp(static_cast<std::size_t>(count));
  for (ViInt32 i = 0; i < count; ++i) block.values[static_cast<std::size_t>(i)] = values[static_cast<std::size_t>(i)];
  block.count = count;
  return block;
}

// "#0" and big-endian float32 values, as the instrument sends a trace.
std::string blockReply(ViInt32 count) {
  std::string text = "#0";
  for (float value : ramp(static_cast<std::size_t>(count))) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 24; shift >= 0; shift -= 8) text.push_back(static_cast<char>((bits >> shift) & 0xFF));
  }
  return text;
}

// The scalar and fault-location readers: one double per value.
void widen(const FloatBlock& block, ViReal64* out) {
  for (ViInt32 i = 0; i < block.count; ++i) out[i] = block.values[static_cast<std::size_t>(i)];
}

// The reflection reader: values in pairs, split into two series.
void widenPairs(const FloatBlock& block, ViReal64* first, ViReal64* second) {
  const ViInt32 pairs = block.count / 2;
  for (ViInt32 i = 0; i < pairs; ++i) {
    first[i] = block.values[static_cast<std::size_t>(2 * i)];
    second[i] = block.values[static_cast<std::size_t>(2 * i + 1)];
  }
}

void BM_WidenBlock(benchmark::State& state) {
  const FloatBlock block = preparedBlock(static_cast<ViInt32>(state.range(0)));
  std::vector<ViReal64> out(kBlockCapacity);
  for (auto _ : state) {
    widen(block, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WidenBlock)->Arg(800)->Arg(1600);

void BM_WidenPairs(benchmark::State& state) {
  const FloatBlock block = preparedBlock(static_cast<ViInt32>(state.range(0)));
  std::vector<ViReal64> first(kBlockCapacity / 2), second(kBlockCapacity / 2);
  for (auto _ : state) {
    widenPairs(block, first.data(), second.data());
    benchmark::DoNotOptimize(first.data());
    benchmark::DoNotOptimize(second.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WidenPairs)->Arg(1600);

// The block query through the stand-in (its formatted read decodes the
// big-endian values), then the widening loop. The reply is queued with the
// clock stopped.
void BM_QueryAndWidenBlock(benchmark::State& state) {
  const auto count = static_cast<ViInt32>(state.range(0));
  const std::string reply = blockReply(count);
  bench::ScriptedSession session(state);
  if (!session.ok()) return;
  FloatBlock block;
  std::vector<ViReal64> out(kBlockCapacity);
  for (auto _ : state) {
    state.PauseTiming();
    session.reply(reply);
    state.ResumeTiming();
    if (queryFloatBlock(session.vi(), ":SCAL:DATA:BIN?", count, block) < VI_SUCCESS || block.count != count) {
      state.SkipWithError("block query failed");
      break;
    }
    widen(block, out.data());
    benchmark::DoNotOptimize(out.data());
    session.tick();
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_QueryAndWidenBlock)->Arg(800)->Arg(1600);

}  // namespace
