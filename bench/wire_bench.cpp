// The driver and the VISA stand-in against the simulated instrument over
// loopback, each beside the floor it is measured against: the same bytes
// straight through the stand-in, the raw socket, memcpy and a byte swap,
// plain TCP. Every iteration runs both, in turns, so both see the same load
// on a shared machine; the counters give the median of each (ns) and their
// ratio. The simulator runs in this process, so times are wall-clock times.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sched.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "driver/kavrel.h"
#include "testbed/sim/server.h"
#include "testbed/visa/format.h"
#include "visa_binding/visa_api.h"

namespace {

// Keeps the calling thread, and every thread it starts meanwhile, on the
// process's first CPU. A handoff between a client and a simulator thread
// costs about 20 µs on one core and about 60 µs across cores when the other
// core sleeps; unpinned, each connection's threads land by chance, and a
// subject and its floor differ by that, not by their own work.
class OneCpu {
 public:
  OneCpu() {
    if (::sched_getaffinity(0, sizeof saved_, &saved_) != 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &saved_)) {
        CPU_SET(cpu, &one);
        break;
      }
    }
    pinned_ = ::sched_setaffinity(0, sizeof one, &one) == 0;
  }
  ~OneCpu() {
    if (pinned_) ::sched_setaffinity(0, sizeof saved_, &saved_);
  }
  OneCpu(const OneCpu&) = delete;
  OneCpu& operator=(const OneCpu&) = delete;

 private:
  cpu_set_t saved_{};
  bool pinned_ = false;
};

// A simulated instrument on ephemeral loopback ports, started on first use.
class Sim {
 public:
  explicit Sim(int replyDelayMs) : server_(options()) {
    std::string error;
    ok_ = server_.start(&error);
    if (replyDelayMs > 0) server_.setReplyDelay(std::chrono::milliseconds(replyDelayMs));
  }
  // Free to use every CPU: for throughput and sessions at once.
  static Sim& plain() {
    static Sim sim(0);
    return sim;
  }
  // Started from a thread kept on one CPU, so its threads stay there: for the
  // exchanges timed against each other, run under OneCpu too.
  static Sim& oneCpu() {
    OneCpu pin;
    static Sim sim(0);
    return sim;
  }
  // Holding every reply 1 ms, as a real instrument takes time to answer.
  static Sim& slow() {
    static Sim sim(1);
    return sim;
  }
  bool ok() const { return ok_; }
  std::string hislip() const {
    return "TCPIP0::127.0.0.1::hislip0," + std::to_string(server_.hislipPort()) + "::INSTR";
  }
  std::string socket() const { return "TCPIP0::127.0.0.1::" + std::to_string(server_.rawPort()) + "::SOCKET"; }

 private:
  static kavrel::sim::Options options() {
    kavrel::sim::Options o;
    o.hislipPort = 0;
    o.rawPort = 0;
    return o;
  }
  kavrel::sim::Server server_;
  bool ok_ = false;
};

ViStatus writeText(ViSession vi, std::string_view text) {
  return viWrite(vi, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()), VI_NULL);
}

// A stand-in session set up as kavrel_init sets up its own; closed with its manager.
class VisaSession {
 public:
  VisaSession(benchmark::State& state, const std::string& resource, bool termChar = false) {
    if (viOpenDefaultRM(&rm_) < VI_SUCCESS ||
        viOpen(rm_, const_cast<ViRsrc>(resource.c_str()), VI_NULL, VI_NULL, &vi_) < VI_SUCCESS) {
      state.SkipWithError("no session to the simulator");
      vi_ = VI_NULL;
      return;
    }
    viSetAttribute(vi_, VI_ATTR_TMO_VALUE, 10000);
    viSetAttribute(vi_, VI_ATTR_WR_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
    viSetAttribute(vi_, VI_ATTR_RD_BUF_OPER_MODE, VI_FLUSH_ON_ACCESS);
    viSetBuf(vi_, VI_READ_BUF | VI_WRITE_BUF, 4000);
    if (termChar) viSetAttribute(vi_, VI_ATTR_TERMCHAR_EN, VI_TRUE);
  }
  ~VisaSession() {
    if (rm_ != VI_NULL) viClose(rm_);
  }
  ViSession vi() const { return vi_; }

 private:
  ViSession rm_ = VI_NULL, vi_ = VI_NULL;
};

// A driver session from kavrel_init; the benchmark is skipped without one.
class DriverSession {
 public:
  DriverSession(benchmark::State& state, const std::string& resource) {
    if (kavrel_init(const_cast<ViRsrc>(resource.c_str()), VI_FALSE, VI_FALSE, &vi_) < VI_SUCCESS) {
      state.SkipWithError("kavrel_init failed");
      vi_ = VI_NULL;
    }
  }
  ~DriverSession() {
    if (vi_ != VI_NULL) kavrel_close(vi_);
  }
  ViSession vi() const { return vi_; }

 private:
  ViSession vi_ = VI_NULL;
};

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// `subject` and `floor` once each an iteration, in alternating order, each
// timed on its own: counters "subject" and "floor" (median ns) and "ratio",
// subject over floor. A step that fails stops the benchmark with `what`.
template <class Subject, class Floor>
void paired(benchmark::State& state, const char* what, Subject subject, Floor floor) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> subjectNs, floorNs;
  auto timed = [](auto& step, std::vector<double>& into) {
    const auto start = Clock::now();
    const bool ok = step() >= VI_SUCCESS;
    into.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    return ok;
  };
  for (auto _ : state) {
    const bool subjectFirst = subjectNs.size() % 2 == 0;
    const bool ok = subjectFirst ? timed(subject, subjectNs) && timed(floor, floorNs)
                                 : timed(floor, floorNs) && timed(subject, subjectNs);
    if (!ok) {
      state.SkipWithError(what);
      return;
    }
  }
  const double s = median(subjectNs), f = median(floorNs);
  state.counters["subject"] = s;
  state.counters["floor"] = f;
  state.counters["ratio"] = f > 0.0 ? s / f : 0.0;
}

ViStatus esrQueries(ViSession vi) {
  ViInt32 esr = 0;
  ViStatus status = viQueryf(vi, "*ESR?", "%ld", &esr);
  if (status >= VI_SUCCESS) status = viQueryf(vi, "*ESR?", "%ld", &esr);
  return status;
}

// ---- a setting call against the same bytes through the stand-in ----------------

ViStatus settingBytes(ViSession vi) {
  ViStatus status = writeText(vi, ":SOUR:MODE CW;:SOUR:FREQ 1500000000.000000;POW:LEV -10.25");
  return status < VI_SUCCESS ? status : esrQueries(vi);
}

// kavrel_srcContWave over HiSLIP against its line and two "*ESR?" made directly.
void BM_SettingCall(benchmark::State& state) {
  OneCpu pin;
  DriverSession driver(state, Sim::oneCpu().hislip());
  VisaSession visa(state, Sim::oneCpu().hislip());
  if (driver.vi() == VI_NULL || visa.vi() == VI_NULL) return;
  paired(state, "setting failed", [&] { return kavrel_srcContWave(driver.vi(), 1.5e9, -10.25); },
         [&] { return settingBytes(visa.vi()); });
}
BENCHMARK(BM_SettingCall)->UseRealTime();

// ---- one exchange over HiSLIP and over the raw socket -----------------------------

ViStatus exchange(ViSession vi) {
  std::array<ViByte, 512> reply{};
  ViUInt32 count = 0;
  ViStatus status = writeText(vi, "*ESR?\n");
  if (status >= VI_SUCCESS) status = viRead(vi, reply.data(), reply.size(), &count);
  return status >= VI_SUCCESS && count == 0 ? VI_ERROR_IO : status;
}

// "*ESR?" and its answer over HiSLIP against the raw socket.
void BM_Exchange(benchmark::State& state) {
  OneCpu pin;
  VisaSession hislip(state, Sim::oneCpu().hislip());
  VisaSession socket(state, Sim::oneCpu().socket(), true);
  if (hislip.vi() == VI_NULL || socket.vi() == VI_NULL) return;
  paired(state, "exchange failed", [&] { return exchange(hislip.vi()); }, [&] { return exchange(socket.vi()); });
}
BENCHMARK(BM_Exchange)->UseRealTime();

// ---- decoding a trace block into doubles --------------------------------------

std::string floatBlock(std::size_t count) {
  std::string block = "#0";
  for (std::size_t i = 0; i < count; ++i) {
    const float value = static_cast<float>(i) * 0.25F - 100.0F;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    for (int shift = 24; shift >= 0; shift -= 8) block.push_back(static_cast<char>(bits >> shift));
  }
  return block;
}

// A received reply in memory, as the stand-in's read buffer holds it.
class MemoryInput : public kavrel::standin::FormatInput {
 public:
  explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
  ViStatus peek(int& byte) override {
    byte = pos_ < bytes_.size() ? static_cast<unsigned char>(bytes_[pos_]) : kEnd;
    return VI_SUCCESS;
  }
  void advance() override { pos_ += pos_ < bytes_.size() ? 1 : 0; }
  std::string_view ready() override { return bytes_.substr(pos_); }
  void skip(std::size_t count) override { pos_ += count; }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// The stand-in's formatted read of `bytes`, as viScanf runs it on a reply.
ViStatus scan(std::string_view bytes, const char* format, ...) {
  kavrel::standin::ArgList args;
  va_start(args.ap, format);
  MemoryInput input(bytes);
  const ViStatus status = kavrel::standin::formatRead(format, args, input);
  va_end(args.ap);
  return status;
}

// The stand-in's "%2c%#zy" decoding a received block into floats, widened to
// doubles, against copying the bytes out and swapping each into a double.
void BM_DecodeBlock(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const std::string block = floatBlock(count);
  std::vector<float> values(count);
  std::vector<std::uint32_t> raw(count);
  std::vector<double> out(count);
  paired(
      state, "block not decoded",
      [&] {
        std::array<char, 2> header{};
        ViInt32 received = static_cast<ViInt32>(count);
        const ViStatus status = scan(block, "%2c%#zy", header.data(), &received, values.data());
        for (ViInt32 i = 0; i < received; ++i) out[static_cast<std::size_t>(i)] = values[static_cast<std::size_t>(i)];
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        return received == static_cast<ViInt32>(count) ? status : VI_ERROR_IO;
      },
      [&] {
        std::memcpy(raw.data(), block.data() + 2, count * 4);
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint32_t bits = __builtin_bswap32(raw[i]);
          float value = 0;
          std::memcpy(&value, &bits, 4);
          out[i] = value;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
        return VI_SUCCESS;
      });
}
BENCHMARK(BM_DecodeBlock)->Arg(800)->Arg(1600);

// ---- a trace read through the driver against its floor ------------------------

bool setPoints(ViSession vi, std::int64_t points) {
  return writeText(vi, ":SOUR:SWE:POIN " + std::to_string(points)) >= VI_SUCCESS && esrQueries(vi) >= VI_SUCCESS;
}

// kavrel_scalReadData against the same VISA operations made directly: points
// query, block query, widening, status check.
void BM_TraceRead(benchmark::State& state) {
  OneCpu pin;
  DriverSession driver(state, Sim::oneCpu().hislip());
  VisaSession visa(state, Sim::oneCpu().hislip());
  if (driver.vi() == VI_NULL || visa.vi() == VI_NULL) return;
  if (!setPoints(visa.vi(), state.range(0))) {
    state.SkipWithError("no sweep points");
    return;
  }
  std::vector<float> block(800);
  std::vector<ViReal64> values(800);
  paired(
      state, "trace read failed",
      [&] {
        ViInt32 points = 0;
        return kavrel_scalReadData(driver.vi(), &points, values.data());
      },
      [&] {
        const ViSession vi = visa.vi();
        std::array<char, 512> reply{};
        ViUInt32 size = 0;
        ViStatus status = writeText(vi, ":SOUR:SWE:POIN?");
        if (status >= VI_SUCCESS) status = viRead(vi, reinterpret_cast<ViPBuf>(reply.data()), 511, &size);
        if (status < VI_SUCCESS) return status;
        ViInt32 count = static_cast<ViInt32>(std::strtol(reply.data(), nullptr, 10));
        ViChar header[2] = {0, 0};
        status = viQueryf(vi, ":SCAL:DATA:BIN?", "%2c%#zy", header, &count, block.data());
        if (status < VI_SUCCESS) return status;
        for (ViInt32 i = 0; i < count; ++i) values[static_cast<std::size_t>(i)] = block[static_cast<std::size_t>(i)];
        return esrQueries(vi);
      });
}
BENCHMARK(BM_TraceRead)->Arg(101)->Arg(401)->Arg(800)->UseRealTime();

// ---- large blocks over HiSLIP, and plain TCP on loopback ------------------------

// One loopback TCP connection carrying `size` bytes from a thread to the reader.
class TcpPipe {
 public:
  TcpPipe() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    reader_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(reader_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      writer_ = ::accept(listener_, nullptr, nullptr);
    }
  }
  ~TcpPipe() {
    for (int fd : {writer_, reader_, listener_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  bool ok() const { return writer_ >= 0; }
  ViStatus carry(const std::vector<char>& out, std::vector<char>& in) {
    std::thread send([&] {
      for (std::size_t sent = 0; sent < out.size();) {
        const ssize_t n = ::send(writer_, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
    });
    std::size_t got = 0;
    while (got < in.size()) {
      const ssize_t n = ::recv(reader_, in.data() + got, in.size() - got, 0);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    send.join();
    return got == in.size() ? VI_SUCCESS : VI_ERROR_IO;
  }

 private:
  int listener_ = -1, reader_ = -1, writer_ = -1;
};

// A stored block read with one viRead through the stand-in over HiSLIP,
// against the same number of bytes over plain TCP; "GBps" is the stand-in's rate.
void BM_BlockRead(benchmark::State& state) {
  const auto size = static_cast<std::size_t>(state.range(0));
  VisaSession session(state, Sim::plain().hislip());
  TcpPipe tcp;
  const ViSession vi = session.vi();
  if (vi == VI_NULL || !tcp.ok()) return;
  // A scalar memory holds the block; its query answers "#8<length>" and the bytes.
  const std::string length = std::to_string(size);
  if (writeText(vi, ":SCAL:MEM:DATA 1,#" + std::to_string(length.size()) + length + std::string(size, '\x5A')) <
          VI_SUCCESS ||
      esrQueries(vi) < VI_SUCCESS) {
    state.SkipWithError("store not written");
    return;
  }
  std::vector<ViByte> reply(size + 64);
  std::vector<char> out(size, '\x5A'), in(size);
  paired(
      state, "block not read whole",
      [&] {
        ViUInt32 count = 0;
        ViStatus status = writeText(vi, ":SCAL:MEM:DATA? 1");
        if (status >= VI_SUCCESS) status = viRead(vi, reply.data(), static_cast<ViUInt32>(reply.size()), &count);
        return status == VI_SUCCESS && count >= size ? status : VI_ERROR_IO;
      },
      [&] { return tcp.carry(out, in); });
  state.counters["GBps"] = state.counters["subject"] > 0 ? static_cast<double>(size) / state.counters["subject"] : 0;
}
BENCHMARK(BM_BlockRead)->Arg(1 << 20)->Arg(10 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- total calls per second from 1 to 8 sessions at once -----------------------

// Each iteration lets 1, 2, 4 and 8 sessions (one thread each) read traces for
// a fixed time; "x2", "x4", "x8": the median total rate against one session.
void BM_Sessions(benchmark::State& state) {
  constexpr std::array<unsigned, 4> kCounts = {1, 2, 4, 8};
  constexpr auto kPhase = std::chrono::milliseconds(40);
  std::vector<std::unique_ptr<DriverSession>> sessions;
  for (unsigned i = 0; i < kCounts.back(); ++i) {
    sessions.push_back(std::make_unique<DriverSession>(state, Sim::plain().hislip()));
    if (sessions.back()->vi() == VI_NULL) return;
  }
  std::array<std::vector<double>, kCounts.size()> rates;
  for (auto _ : state) {
    for (std::size_t k = 0; k < kCounts.size(); ++k) {
      std::atomic<long> calls{0};
      std::atomic<bool> failed{false};
      const auto end = std::chrono::steady_clock::now() + kPhase;
      std::vector<std::thread> threads;
      for (unsigned t = 0; t < kCounts[k]; ++t) {
        threads.emplace_back([&, vi = sessions[t]->vi()] {
          std::vector<ViReal64> values(800);
          while (std::chrono::steady_clock::now() < end) {
            ViInt32 points = 0;
            if (kavrel_scalReadData(vi, &points, values.data()) < VI_SUCCESS) failed = true;
            ++calls;
          }
        });
      }
      for (std::thread& thread : threads) thread.join();
      if (failed) {
        state.SkipWithError("kavrel_scalReadData failed");
        return;
      }
      rates[k].push_back(static_cast<double>(calls) / std::chrono::duration<double>(kPhase).count());
    }
  }
  const double one = median(rates[0]);
  state.counters["calls1"] = one;
  state.counters["x2"] = median(rates[1]) / one;
  state.counters["x4"] = median(rates[2]) / one;
  state.counters["x8"] = median(rates[3]) / one;
}
BENCHMARK(BM_Sessions)->Iterations(15)->UseRealTime()->Unit(benchmark::kMillisecond);

// ---- a 20-setting sequence, each checked, or checked once at the end ------------

// Twenty settings with the simulator holding each reply 1 ms, each call
// checked (subject) against checks skipped and one check at the end (floor):
// the ratio is what the switch saves.
void BM_Sequence20(benchmark::State& state) {
  if (!Sim::slow().ok()) {
    state.SkipWithError("no simulator");
    return;
  }
  DriverSession checked(state, Sim::slow().hislip());
  DriverSession skipping(state, Sim::slow().hislip());
  if (checked.vi() == VI_NULL || skipping.vi() == VI_NULL) return;
  if (kavrel_skipStatusCheck(skipping.vi(), VI_TRUE) < VI_SUCCESS) {
    state.SkipWithError("switch refused");
    return;
  }
  auto sequence = [](ViSession vi, bool checkAtEnd) {
    ViStatus status = VI_SUCCESS;
    for (int i = 0; i < 20 && status >= VI_SUCCESS; ++i) status = kavrel_srcContWave(vi, 1e9 + i * 1e6, -10.0);
    if (checkAtEnd && status >= VI_SUCCESS) status = kavrel_checkInstrStatus(vi);
    return status;
  };
  paired(state, "sequence failed", [&] { return sequence(checked.vi(), false); },
         [&] { return sequence(skipping.vi(), true); });
}
BENCHMARK(BM_Sequence20)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
