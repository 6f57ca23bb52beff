#include "tools/kavrel/commands.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/kavrel/analysis.h"
#include "tools/kavrel/args.h"
#include "tools/kavrel/connection.h"
#include "tools/kavrel/plot.h"
#include "testbed/sim/server.h"

namespace kavrel::cli {

namespace {

constexpr double kSpeedOfLight = 299792458.0;  // m/s

// Options every instrument subcommand takes.
constexpr OptionSpec kCommonOptions[] = {
    {"resource", true, "RSRC  VISA resource of a real instrument (default: the embedded simulator)"},
    {"visa-standin", false, "use the project's VISA stand-in even with --resource"},
    {"sim-model", true, "N  model of the embedded simulator, 4100..4104 (4101)"},
    {"sim-options", true, "N  option word of the embedded simulator (0)"},
    {"seed", true, "N  noise seed of the embedded simulator (1)"},
    {"settle", true, "S  seconds to wait for the sweep before reading (0 simulated, 1 real)"},
    {"help", false, "show this help"},
};

struct Command {
  const char* name;
  const char* usage;
  const char* summary;
  std::vector<OptionSpec> options;  // the command's own, before the common ones
};

void printHelp(const Command& command) {
  std::vector<OptionSpec> all = command.options;
  all.insert(all.end(), std::begin(kCommonOptions), std::end(kCommonOptions));
  std::printf("usage: kavrel %s %s\n%s\n\noptions:\n%s", command.name, command.usage, command.summary,
              optionHelp(all).c_str());
}

int usageError(const Command& command, const std::string& reason) {
  std::fprintf(stderr, "kavrel %s: %s\nTry 'kavrel %s --help'.\n", command.name, reason.c_str(), command.name);
  return 2;
}

int failed(const Failure& failure) {
  std::fprintf(stderr, "kavrel: %s\n", describe(failure).c_str());
  return 1;
}

// Parsed and checked before any instrument I/O.
struct Setup {
  Args args;
  std::string resource;
  SimSettings sim;
  double settle = 0;
};

// 0 to go on, else the exit code (help shown or bad usage).
int parseCommon(const Command& command, std::span<char* const> argv, Setup& setup) {
  std::vector<OptionSpec> all = command.options;
  all.insert(all.end(), std::begin(kCommonOptions), std::end(kCommonOptions));
  std::string error;
  auto args = parseArgs(argv, all, error);
  if (!args) return usageError(command, error);
  setup.args = *args;
  if (setup.args.has("help")) {
    printHelp(command);
    return -1;
  }
  setup.resource = setup.args.get("resource").value_or("");
  if (auto text = setup.args.get("sim-model")) {
    auto model = parseInteger(*text);
    if (!model || *model < 4100 || *model > 4104) return usageError(command, "--sim-model must be 4100..4104");
    setup.sim.model = static_cast<int>(*model);
  }
  if (auto text = setup.args.get("sim-options")) {
    auto options = parseInteger(*text);
    if (!options || *options < 0 || *options > 0x7FFFFFFF) return usageError(command, "--sim-options must be a whole number");
    setup.sim.options = static_cast<int>(*options);
  }
  if (auto text = setup.args.get("seed")) {
    auto seed = parseInteger(*text);
    if (!seed || *seed < 0) return usageError(command, "--seed must be a whole number");
    setup.sim.seed = static_cast<unsigned long>(*seed);
  }
  setup.settle = setup.resource.empty() ? 0.0 : 1.0;
  if (auto text = setup.args.get("settle")) {
    auto settle = parseQuantity(*text, "s");
    if (!settle || *settle < 0 || *settle > 3600) return usageError(command, "--settle must be 0..3600 seconds");
    setup.settle = *settle;
  }
  if (setup.resource.empty() || setup.args.has("visa-standin")) {
    std::string why;
    useStandinVisa(why);
    if (!why.empty()) return usageError(command, why);
  }
  return 0;
}

bool quantity(const Setup& setup, const char* name, const char* unit, double low, double high, double& out,
              std::string& error) {
  auto text = setup.args.get(name);
  if (!text) return true;
  auto value = parseQuantity(*text, unit);
  if (!value || *value < low || *value > high) {
    error = "--" + std::string(name) + " must be a number of " + unit + " from " + engineering(low, unit) + " to " +
            engineering(high, unit);
    return false;
  }
  out = *value;
  return true;
}

bool wholeNumber(const Setup& setup, const char* name, long low, long high, long& out, std::string& error) {
  auto text = setup.args.get(name);
  if (!text) return true;
  auto value = parseInteger(*text);
  if (!value || *value < low || *value > high) {
    error = "--" + std::string(name) + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high);
    return false;
  }
  out = *value;
  return true;
}

// The source sweep of the swept commands, with its defaults.
struct Sweep {
  double start = 10e6;
  double stop = 8e9;  // replaced by the model's highest frequency unless given
  double level = 0;
  long points = 401;
};

bool parseSweep(const Setup& setup, Sweep& sweep, std::string& error) {
  if (!quantity(setup, "start", "Hz", 10e6, 26.5e9, sweep.start, error) ||
      !quantity(setup, "stop", "Hz", 10e6, 26.5e9, sweep.stop, error) ||
      !quantity(setup, "level", "dBm", -110, 20, sweep.level, error) ||
      !wholeNumber(setup, "points", 2, 800, sweep.points, error))
    return false;
  if (setup.args.has("stop") && sweep.start >= sweep.stop) {
    error = "--start must be below --stop";
    return false;
  }
  return true;
}

// Runs driver calls in order; the first failure is kept with its step.
class Steps {
 public:
  explicit Steps(ViSession vi) : vi_(vi) {}
  Steps& run(const char* what, const std::function<ViStatus(ViSession)>& call) {
    if (!failure_) {
      ViStatus status = call(vi_);
      if (status < VI_SUCCESS) failure_ = Failure{what, status};
    }
    return *this;
  }
  const std::optional<Failure>& failure() const { return failure_; }

 private:
  ViSession vi_;
  std::optional<Failure> failure_;
};

void waitSeconds(double seconds) {
  if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// CSV with a header row; numbers locale-independent and exact enough to replot.
std::string csvText(const std::vector<std::string>& header, const std::vector<std::vector<double>>& columns) {
  std::string text;
  for (std::size_t i = 0; i < header.size(); ++i) text += (i ? "," : "") + header[i];
  text += "\n";
  std::size_t rows = columns.empty() ? 0 : columns.front().size();
  char buf[64];
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
      auto [end, ec] = std::to_chars(buf, buf + sizeof buf, columns[c][r], std::chars_format::general, 10);
      if (c) text += ",";
      text.append(buf, ec == std::errc() ? end : buf);
    }
    text += "\n";
  }
  return text;
}

// Writes what was asked for: CSV, SVG plot, PNG plot. Returns an exit code.
int writeOutputs(const Setup& setup, const std::string& csv, const Plot& plot) {
  if (auto path = setup.args.get("csv")) {
    if (auto error = writeFile(*path, csv); !error.empty()) return failed({error});
    std::printf("wrote %s\n", path->c_str());
  }
  auto svgPath = setup.args.get("plot");
  auto pngPath = setup.args.get("png");
  if (!svgPath && !pngPath) return 0;
  std::string svg = renderSvg(plot);
  if (svg.empty()) return failed({"the trace holds no values to plot"});
  std::string target = svgPath ? *svgPath : *pngPath + ".svg";
  if (auto error = writeFile(target, svg); !error.empty()) return failed({error});
  if (svgPath) std::printf("wrote %s\n", svgPath->c_str());
  if (pngPath) {
    std::string error = convertToPng(target, *pngPath);
    if (!svgPath) std::remove(target.c_str());
    if (!error.empty()) return failed({error});
    std::printf("wrote %s\n", pngPath->c_str());
  }
  return 0;
}

const std::vector<OptionSpec> kOutputOptions = {
    {"csv", true, "FILE  write the trace as CSV"},
    {"plot", true, "FILE  write the trace as an SVG plot"},
    {"png", true, "FILE  write the trace as a PNG plot (needs rsvg-convert)"},
};

std::vector<OptionSpec> withOutputs(std::vector<OptionSpec> options) {
  options.insert(options.end(), kOutputOptions.begin(), kOutputOptions.end());
  return options;
}

const Command kSweep{
    "sweep", "[options]",
    "Swept scalar power measurement: source sweep, detector input, trace read.\n"
    "Prints points, minimum and maximum with their frequencies and the -3 dB pass band.",
    withOutputs({
        {"start", true, "FREQ  start frequency, e.g. 2GHz (10MHz)"},
        {"stop", true, "FREQ  stop frequency (the model's highest)"},
        {"points", true, "N  sweep points, 2..800 (401)"},
        {"level", true, "DBM  source level (0)"},
        {"input", true, "A..D  detector input (B)"},
    })};

const Command kReflection{
    "reflection", "[options]",
    "Reflection (S11) over the sweep, optionally transformed to the time domain.\n"
    "Prints the worst return loss and where it occurs.",
    withOutputs({
        {"start", true, "FREQ  start frequency (10MHz)"},
        {"stop", true, "FREQ  stop frequency (the model's highest)"},
        {"points", true, "N  sweep points, 2..800 (401)"},
        {"level", true, "DBM  source level (0)"},
        {"time-domain", false, "show the response against distance (band-pass impulse)"},
    })};

const Command kFaultLocation{
    "fault-location", "[options]",
    "Distance-to-fault trace of a cable. Prints the largest discontinuities.",
    withOutputs({
        {"range", true, "METRES  distance range, 1..25000 (100)"},
        {"centre", true, "FREQ  centre frequency (4GHz)"},
        {"points", true, "N  fault-location points, 51..1024 (501)"},
        {"velocity", true, "V  relative propagation velocity, 0.1..1.0 (0.66)"},
    })};

const Command kInfo{"info", "[options]", "Identification, options, model limits, revisions and self-test.", {}};
const Command kErrors{"errors", "[options]", "Read and print the instrument's error queue until it is empty.", {}};
const Command kStore{
    "store", "save|load KIND NUMBER FILE [options]",
    "Copy one instrument store to (save) or from (load) a host file, byte for byte.\n"
    "KIND: scalar-memory, path-cal, sensor, floc-cal, refl-cal, kit, source-cal (save|load a user table),\n"
    "source-ppst, source-fst (save only). NUMBER is ignored for floc-cal, source-ppst and source-fst.",
    {}};

// Without --stop the sweep runs up to the model's highest frequency.
bool sweepStop(const Setup& setup, const std::string& identity, double start, double& stop, Failure& failure) {
  if (!setup.args.has("stop"))
    if (double maxFrequency = modelMaxFrequency(identity); maxFrequency > 0) stop = maxFrequency;
  if (start < stop) return true;
  failure = {"the start frequency " + engineering(start, "Hz") + " is not below the stop frequency " + engineering(stop, "Hz")};
  return false;
}

std::string settingsLine(const Connection& connection, const std::string& identity, const std::string& settings) {
  std::string who = identity.empty() ? connection.resource() : identity;
  if (connection.simulated()) who += " (simulated)";
  return who + " | " + settings;
}

}  // namespace

int runSweep(std::span<char* const> argv) {
  Setup setup;
  if (int code = parseCommon(kSweep, argv, setup)) return code < 0 ? 0 : code;
  Sweep sweep;
  std::string error;
  if (!parseSweep(setup, sweep, error)) return usageError(kSweep, error);
  auto& [start, stop, level, points] = sweep;
  ViInt32 input = 1;
  if (auto text = setup.args.get("input")) {
    if (text->size() != 1 || (*text)[0] < 'A' || (*text)[0] > 'D') return usageError(kSweep, "--input must be A, B, C or D");
    input = (*text)[0] - 'A';
  }
  if (!setup.args.positional.empty()) return usageError(kSweep, "unexpected argument " + setup.args.positional.front());

  Connection connection;
  Failure failure;
  if (!connection.open(setup.resource, setup.sim, failure)) return failed(failure);
  std::string identity = connection.identity();
  if (!sweepStop(setup, identity, start, stop, failure)) return failed(failure);
  std::vector<double> trace(800);
  ViInt32 count = 0;
  Steps steps(connection.vi());
  steps.run("one-channel display", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_FALSE); })
      .run("select channel 1", [](ViSession vi) { return kavrel_dispSetActMeas(vi, VI_FALSE, VI_FALSE); })
      .run("scalar mode", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 0); })
      .run("scalar power", [&](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, VI_FALSE, input); })
      .run("frequency sweep", [&](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, start, stop, level); })
      .run("sweep points", [&](ViSession vi) { return kavrel_srcSweepConfig(vi, static_cast<ViInt32>(points), 0.0); })
      .run("RF output on", [](ViSession vi) { return kavrel_srcRFOutput(vi, VI_TRUE); });
  if (steps.failure()) return failed(*steps.failure());
  waitSeconds(setup.settle);
  steps.run("read the trace", [&](ViSession vi) { return kavrel_scalReadData(vi, &count, trace.data()); });
  if (steps.failure()) return failed(*steps.failure());
  count = std::clamp<ViInt32>(count, 0, 800);
  trace.resize(static_cast<std::size_t>(count));

  std::vector<double> frequency(trace.size());
  for (std::size_t i = 0; i < frequency.size(); ++i)
    frequency[i] = frequency.size() > 1 ? start + (stop - start) * static_cast<double>(i) / static_cast<double>(frequency.size() - 1) : start;
  std::printf("points: %d\n", count);
  if (auto extremes = findExtremes(trace)) {
    std::printf("minimum: %.2f dBm at %s\n", trace[extremes->minIndex], engineering(frequency[extremes->minIndex], "Hz").c_str());
    std::printf("maximum: %.2f dBm at %s\n", trace[extremes->maxIndex], engineering(frequency[extremes->maxIndex], "Hz").c_str());
  }
  if (auto band = passBand(frequency, trace, 3.0))
    std::printf("pass band (-3 dB): %s to %s, bandwidth %s, centre %s\n", engineering(band->low, "Hz").c_str(),
                engineering(band->high, "Hz").c_str(), engineering(band->high - band->low, "Hz").c_str(),
                engineering((band->low + band->high) / 2, "Hz").c_str());
  else
    std::printf("pass band (-3 dB): no edges within the sweep\n");

  Plot plot;
  plot.title = "Scalar transmission, input " + std::string(1, static_cast<char>('A' + input));
  plot.subtitle = settingsLine(connection, identity,
                               engineering(start, "Hz") + " to " + engineering(stop, "Hz") + ", " + std::to_string(count) +
                                   " points, " + engineering(level, "dBm", 3));
  plot.x = {"Frequency", "Hz"};
  plot.y = {"Power", "dBm"};
  plot.x_values = frequency;
  plot.series = {{"power", trace}};
  return writeOutputs(setup, csvText({"frequency_hz", "power_dbm"}, {frequency, trace}), plot);
}

int runReflection(std::span<char* const> argv) {
  Setup setup;
  if (int code = parseCommon(kReflection, argv, setup)) return code < 0 ? 0 : code;
  Sweep sweep;
  std::string error;
  if (!parseSweep(setup, sweep, error)) return usageError(kReflection, error);
  auto& [start, stop, level, points] = sweep;
  if (!setup.args.positional.empty()) return usageError(kReflection, "unexpected argument " + setup.args.positional.front());
  const bool timeDomain = setup.args.has("time-domain");

  Connection connection;
  Failure failure;
  if (!connection.open(setup.resource, setup.sim, failure)) return failed(failure);
  std::string identity = connection.identity();
  if (!sweepStop(setup, identity, start, stop, failure)) return failed(failure);
  Steps steps(connection.vi());
  steps.run("one-channel display", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_FALSE); })
      .run("reflection mode", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 3); })
      .run("S11", [](ViSession vi) { return kavrel_reflS11(vi, VI_FALSE, VI_FALSE); })
      .run("real and imaginary format", [](ViSession vi) { return kavrel_reflFormat(vi, VI_FALSE, VI_FALSE, 9); })
      .run("frequency sweep", [&](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, start, stop, level); })
      .run("sweep points", [&](ViSession vi) { return kavrel_srcSweepConfig(vi, static_cast<ViInt32>(points), 0.0); })
      .run("time domain", [&](ViSession vi) { return kavrel_reflTimeDomain(vi, VI_FALSE, timeDomain ? VI_TRUE : VI_FALSE); });
  if (timeDomain)
    steps.run("band-pass impulse", [](ViSession vi) { return kavrel_reflTDomFunc(vi, VI_FALSE, VI_TRUE, VI_TRUE); })
        .run("distance in metres", [](ViSession vi) { return kavrel_reflDomDisp(vi, VI_FALSE, 1); });
  steps.run("RF output on", [](ViSession vi) { return kavrel_srcRFOutput(vi, VI_TRUE); });
  if (steps.failure()) return failed(*steps.failure());
  waitSeconds(setup.settle);
  std::vector<double> re(800), im(800);
  ViInt32 count = 0;
  steps.run("read the trace", [&](ViSession vi) { return kavrel_reflReadData(vi, &count, re.data(), im.data()); });
  if (steps.failure()) return failed(*steps.failure());
  count = std::clamp<ViInt32>(count, 0, 800);
  re.resize(static_cast<std::size_t>(count));
  im.resize(static_cast<std::size_t>(count));

  // |S11| in dB from the complex pairs; a point at exactly zero has no finite value.
  std::vector<double> db(re.size()), x(re.size());
  for (std::size_t i = 0; i < re.size(); ++i) db[i] = 20.0 * std::log10(std::hypot(re[i], im[i]));
  // Time domain: a band-pass transform of N points over (stop - start) spans
  // N round-trip steps of c / (2 (stop - start)) each.
  const double step = timeDomain ? kSpeedOfLight / (2.0 * (stop - start)) : (count > 1 ? (stop - start) / (count - 1) : 0);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = (timeDomain ? 0.0 : start) + step * static_cast<double>(i);

  std::printf("points: %d\n", count);
  if (auto extremes = findExtremes(db)) {
    const char* unit = timeDomain ? "m" : "Hz";
    std::printf("largest reflection: %.2f dB at %s\n", db[extremes->maxIndex], engineering(x[extremes->maxIndex], unit).c_str());
    if (!timeDomain)
      std::printf("best match: %.2f dB at %s (return loss %.2f dB)\n", db[extremes->minIndex],
                  engineering(x[extremes->minIndex], unit).c_str(), -db[extremes->minIndex]);
  }
  Plot plot;
  plot.title = timeDomain ? "Reflection, time domain (band-pass impulse)" : "Reflection S11";
  plot.subtitle = settingsLine(connection, identity,
                               engineering(start, "Hz") + " to " + engineering(stop, "Hz") + ", " + std::to_string(count) + " points");
  plot.x = timeDomain ? Axis{"Distance", "m"} : Axis{"Frequency", "Hz"};
  plot.y = {"|S11|", "dB"};
  plot.x_values = x;
  plot.series = {{"|S11|", db}};
  return writeOutputs(setup,
                      csvText({timeDomain ? "distance_m" : "frequency_hz", "s11_real", "s11_imag", "s11_db"}, {x, re, im, db}),
                      plot);
}

int runFaultLocation(std::span<char* const> argv) {
  Setup setup;
  if (int code = parseCommon(kFaultLocation, argv, setup)) return code < 0 ? 0 : code;
  double range = 100, centre = 4e9, velocity = 0.66;
  long points = 501;
  std::string error;
  if (!quantity(setup, "range", "m", 1, 25000, range, error) || !quantity(setup, "centre", "Hz", 10e6, 26.5e9, centre, error) ||
      !quantity(setup, "velocity", "", 0.1, 1.0, velocity, error) || !wholeNumber(setup, "points", 51, 1024, points, error))
    return usageError(kFaultLocation, error);
  if (!setup.args.positional.empty()) return usageError(kFaultLocation, "unexpected argument " + setup.args.positional.front());

  Connection connection;
  Failure failure;
  if (!connection.open(setup.resource, setup.sim, failure)) return failed(failure);
  Steps steps(connection.vi());
  steps.run("one-channel display", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_FALSE); })
      .run("fault-location mode", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 2); })
      .run("distance unit metres", [](ViSession vi) { return kavrel_flocDispUnit(vi, VI_FALSE, VI_TRUE); })
      .run("coaxial medium", [&](ViSession vi) { return kavrel_flocMedium(vi, VI_FALSE, VI_TRUE, 0.0, velocity, 0.0); })
      .run("distance range", [&](ViSession vi) { return kavrel_flocRange(vi, VI_FALSE, VI_TRUE, range, centre, 0.0, 0.0); })
      .run("points", [&](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_FALSE, static_cast<ViInt32>(points)); })
      .run("logarithmic format", [](ViSession vi) { return kavrel_flocFormat(vi, VI_FALSE, VI_FALSE, VI_TRUE); })
      .run("RF output on", [](ViSession vi) { return kavrel_srcRFOutput(vi, VI_TRUE); });
  if (steps.failure()) return failed(*steps.failure());
  waitSeconds(setup.settle);
  std::vector<double> trace(1024);
  ViInt32 count = 0;
  steps.run("read the trace", [&](ViSession vi) { return kavrel_flocReadData(vi, &count, trace.data()); });
  if (steps.failure()) return failed(*steps.failure());
  std::string identity = connection.identity();
  count = std::clamp<ViInt32>(count, 0, 1024);
  trace.resize(static_cast<std::size_t>(count));
  std::vector<double> distance(trace.size());
  for (std::size_t i = 0; i < distance.size(); ++i)
    distance[i] = distance.size() > 1 ? range * static_cast<double>(i) / static_cast<double>(distance.size() - 1) : 0;

  std::printf("points: %d\n", count);
  // The three largest local peaks are the discontinuities worth a look.
  std::vector<std::size_t> peaks;
  for (std::size_t i = 1; i + 1 < trace.size(); ++i)
    if (trace[i] > trace[i - 1] && trace[i] >= trace[i + 1]) peaks.push_back(i);
  std::sort(peaks.begin(), peaks.end(), [&](std::size_t a, std::size_t b) { return trace[a] > trace[b]; });
  for (std::size_t k = 0; k < peaks.size() && k < 3; ++k)
    std::printf("discontinuity: %.2f dB at %.2f m\n", trace[peaks[k]], distance[peaks[k]]);
  Plot plot;
  plot.title = "Distance to fault";
  plot.subtitle = settingsLine(connection, identity,
                               "range " + engineering(range, "m", 3) + ", centre " + engineering(centre, "Hz") + ", velocity " +
                                   engineering(velocity, "", 2) + ", " + std::to_string(count) + " points");
  plot.x = {"Distance", "m"};
  plot.y = {"Return loss", "dB"};
  plot.x_values = distance;
  plot.series = {{"return loss", trace}};
  return writeOutputs(setup, csvText({"distance_m", "return_loss_db"}, {distance, trace}), plot);
}

int runInfo(std::span<char* const> argv) {
  Setup setup;
  if (int code = parseCommon(kInfo, argv, setup)) return code < 0 ? 0 : code;
  if (!setup.args.positional.empty()) return usageError(kInfo, "unexpected argument " + setup.args.positional.front());
  Connection connection;
  Failure failure;
  if (!connection.open(setup.resource, setup.sim, failure)) return failed(failure);
  ViSession vi = connection.vi();
  std::string identity = connection.identity();
  ViChar driver[256] = "", firmware[256] = "", message[256] = "";
  ViInt32 options = 0;
  ViInt16 selfTest = 0;
  Steps steps(vi);
  steps.run("revision query", [&](ViSession s) { return kavrel_revision_query(s, driver, firmware); })
      .run("option query", [&](ViSession s) { return kavrel_instrOptions(s, 16, &options); })
      .run("self-test", [&](ViSession s) { return kavrel_self_test(s, &selfTest, message); });
  if (steps.failure()) return failed(*steps.failure());
  const double minLevel = (options & 0x20) ? -90.0 : (options & 0x200) ? -110.0 : -70.0;
  std::string visa;
  visaLibrary(vi, visa);
  std::printf("resource: %s%s\n", connection.resource().c_str(), connection.simulated() ? " (simulated)" : "");
  std::printf("VISA: %s\n", visa.c_str());
  std::printf("identity: %s\n", identity.c_str());
  std::printf("firmware: %s\n", firmware);
  std::printf("driver: %s\n", driver);
  std::printf("options: 0x%08X\n", static_cast<unsigned>(options));
  if (double maxFrequency = modelMaxFrequency(identity); maxFrequency > 0)
    std::printf("frequency range: 10 MHz to %s\n", engineering(maxFrequency, "Hz").c_str());
  std::printf("level range: %.0f dBm to 20 dBm\n", minLevel);
  std::printf("self-test: %d (%s)\n", selfTest, selfTest == 0 ? "passed" : "failed");
  return 0;
}

int runErrors(std::span<char* const> argv) {
  Setup setup;
  if (int code = parseCommon(kErrors, argv, setup)) return code < 0 ? 0 : code;
  if (!setup.args.positional.empty()) return usageError(kErrors, "unexpected argument " + setup.args.positional.front());
  Connection connection;
  Failure failure;
  if (!connection.open(setup.resource, setup.sim, failure)) return failed(failure);
  // The queue is bounded on any instrument; stop after a generous count anyway.
  for (int i = 0; i < 100; ++i) {
    ViInt32 code = 0;
    ViChar text[256] = "";
    ViStatus status = kavrel_error_query(connection.vi(), &code, text);
    if (status < VI_SUCCESS) return failed({"error query", status});
    if (code == 0) {
      if (i == 0) std::printf("no errors\n");
      return 0;
    }
    std::printf("%d,\"%s\"\n", code, text);
  }
  return 0;
}

int runStore(std::span<char* const> argv) {
  Setup setup;
  if (int code = parseCommon(kStore, argv, setup)) return code < 0 ? 0 : code;
  const auto& words = setup.args.positional;
  if (words.size() != 4) return usageError(kStore, "expected save|load KIND NUMBER FILE");
  const std::string& action = words[0];
  const std::string& kind = words[1];
  const std::string& file = words[3];
  if (action != "save" && action != "load") return usageError(kStore, "the action is save or load, not " + action);
  auto number = parseInteger(words[2]);
  if (!number || *number < 0 || *number > 0x7FFFFFFF) return usageError(kStore, "NUMBER must be a whole number");
  const ViBoolean toFile = action == "save" ? VI_TRUE : VI_FALSE;
  const auto n = static_cast<ViInt32>(*number);
  ViString path = const_cast<ViString>(file.c_str());
  std::function<ViStatus(ViSession)> transfer;
  if (kind == "scalar-memory") transfer = [=](ViSession vi) { return kavrel_scalTranData(vi, toFile, n, path); };
  else if (kind == "path-cal") transfer = [=](ViSession vi) { return kavrel_scalTranCal(vi, toFile, n, path); };
  else if (kind == "sensor") transfer = [=](ViSession vi) { return kavrel_inpTranSen(vi, toFile, n, path); };
  else if (kind == "floc-cal") transfer = [=](ViSession vi) { return kavrel_flocTranCal(vi, toFile, path); };
  else if (kind == "refl-cal") transfer = [=](ViSession vi) { return kavrel_reflTranCal(vi, toFile, n, path); };
  else if (kind == "kit") transfer = [=](ViSession vi) { return kavrel_reflTranCalKit(vi, toFile, n, path); };
  else if (kind == "source-cal") transfer = [=](ViSession vi) { return kavrel_sourTranCal(vi, toFile ? 2 : 3, n, path); };
  else if (kind == "source-ppst" || kind == "source-fst") {
    if (!toFile) return usageError(kStore, kind + " can only be saved");
    const ViInt32 operation = kind == "source-ppst" ? 0 : 1;
    transfer = [=](ViSession vi) { return kavrel_sourTranCal(vi, operation, n, path); };
  } else {
    return usageError(kStore, "unknown store kind " + kind);
  }
  if (file.size() > 128) return usageError(kStore, "FILE may have at most 128 characters");
  Connection connection;
  Failure failure;
  if (!connection.open(setup.resource, setup.sim, failure)) return failed(failure);
  ViStatus status = transfer(connection.vi());
  if (status < VI_SUCCESS) return failed({action + " " + kind + " " + words[2], status});
  std::printf("%s %s %s %s %s\n", action == "save" ? "saved" : "loaded", kind.c_str(), words[2].c_str(),
              action == "save" ? "to" : "from", file.c_str());
  return 0;
}

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }
}  // namespace

int runSim(std::span<char* const> argv) {
  static const Command kSim{
      "sim", "[options]",
      "Run the simulated instrument in the foreground (HiSLIP and raw SCPI socket) for other programs,\n"
      "including a vendor VISA: open \"TCPIP::<host>::hislip0,<port>::INSTR\". Stop with Ctrl-C.",
      {
          {"model", true, "N  model number, 4100..4104 (4101)"},
          {"serial", true, "TEXT  serial number (100001)"},
          {"firmware", true, "TEXT  firmware revision (1.00)"},
          {"options", true, "N  option word (0)"},
          {"seed", true, "N  noise seed (1)"},
          {"host", true, "ADDRESS  address to listen on (127.0.0.1)"},
          {"hislip-port", true, "N  HiSLIP port, 0 for any free one (4880)"},
          {"raw-port", true, "N  raw SCPI port, 0 for any free one, -1 for none (5025)"},
          {"help", false, "show this help"},
      }};
  std::string error;
  auto args = parseArgs(argv, kSim.options, error);
  if (!args) return usageError(kSim, error);
  if (args->has("help")) {
    std::printf("usage: kavrel sim %s\n%s\n\noptions:\n%s", kSim.usage, kSim.summary, optionHelp(kSim.options).c_str());
    return 0;
  }
  if (!args->positional.empty()) return usageError(kSim, "unexpected argument " + args->positional.front());
  kavrel::sim::Options options;
  struct IntOption {
    const char* name;
    long low, high;
    std::function<void(long)> store;
  };
  const IntOption ints[] = {
      {"model", 4100, 4104, [&](long v) { options.model = static_cast<int>(v); }},
      {"options", 0, 0x7FFFFFFF, [&](long v) { options.options = static_cast<int>(v); }},
      {"seed", 0, 0x7FFFFFFF, [&](long v) { options.seed = static_cast<std::uint64_t>(v); }},
      {"hislip-port", 0, 65535, [&](long v) { options.hislipPort = static_cast<int>(v); }},
      {"raw-port", -1, 65535, [&](long v) { options.rawPort = static_cast<int>(v); }},
  };
  for (const IntOption& option : ints) {
    auto text = args->get(option.name);
    if (!text) continue;
    auto value = parseInteger(*text);
    if (!value || *value < option.low || *value > option.high)
      return usageError(kSim, "--" + std::string(option.name) + " must be " + std::to_string(option.low) + ".." +
                                  std::to_string(option.high));
    option.store(*value);
  }
  if (auto text = args->get("serial")) options.serial = *text;
  if (auto text = args->get("firmware")) options.firmware = *text;
  if (auto text = args->get("host")) options.host = *text;

  kavrel::sim::Server server(options);
  if (!server.start(&error)) return failed({"cannot start the simulated instrument: " + error});
  std::printf("hislip-port %d\n", server.hislipPort());
  if (server.rawPort() >= 0) std::printf("raw-port %d\n", server.rawPort());
  std::printf("resource TCPIP::%s::hislip0,%d::INSTR\n", options.host.c_str(), server.hislipPort());
  std::fflush(stdout);
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.stop();
  return 0;
}

}  // namespace kavrel::cli
