// A driver session to the VISA stand-in's scripted instrument, for the
// benchmarks that make real calls. The stand-in logs every message it
// receives; restarting it now and then, outside the timed part, keeps that
// log small however many iterations a benchmark runs.
#ifndef KAVREL_BENCH_SCRIPTED_H
#define KAVREL_BENCH_SCRIPTED_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string_view>

#include "driver/kavrel.h"
#include "testbed/visa/standin.h"

namespace kavrel::bench {

class ScriptedSession {
 public:
  // Opens a session to a model 4101 without options; on failure the
  // benchmark is skipped with the reason.
  explicit ScriptedSession(benchmark::State& state) : state_(state) { open(); }
  ~ScriptedSession() { close(); }
  ScriptedSession(const ScriptedSession&) = delete;
  ScriptedSession& operator=(const ScriptedSession&) = delete;

  bool ok() const { return vi_ != VI_NULL; }
  ViSession vi() const { return vi_; }

  // Call once an iteration: every `period` iterations the instrument starts
  // afresh, with the clock stopped.
  void tick(std::int64_t period = 4096) {
    if (++calls_ % period != 0) return;
    state_.PauseTiming();
    close();
    open();
    state_.ResumeTiming();
  }

  static void reply(std::string_view text) { standin_reply(text.data(), text.size()); }

 private:
  void open() {
    standin_reset();
    reply("OVR,4101,100001,1.00\n");
    reply("0\n");
    ViSession vi = VI_NULL;
    if (kavrel_init(const_cast<ViRsrc>("GPIB0::7::INSTR"), VI_FALSE, VI_FALSE, &vi) < VI_SUCCESS ||
        standin_write_count() == 0) {
      // No session, or one that did not reach the stand-in (another VISA found first).
      if (vi != VI_NULL) kavrel_close(vi);
      state_.SkipWithError("no session to the VISA stand-in");
      return;
    }
    vi_ = vi;
  }
  void close() {
    if (vi_ != VI_NULL) kavrel_close(vi_);
    vi_ = VI_NULL;
    standin_reset();
  }

  benchmark::State& state_;
  ViSession vi_ = VI_NULL;
  std::int64_t calls_ = 0;
};

}  // namespace kavrel::bench

#endif
