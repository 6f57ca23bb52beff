#include "tools/kavrel/commands.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/kavrel/analysis.h"
#include "tools/kavrel/command_kit.h"

namespace kavrel::cli {

namespace {

constexpr double kSpeedOfLight = 299792458.0;  // m/s

std::vector<OptionSpec> with(std::vector<OptionSpec> own) {
  std::vector<OptionSpec> common = measuringOptions();
  own.insert(own.end(), common.begin(), common.end());
  return own;
}

#define KAVREL_OPENING \
    "\nOpening the driver's session clears the instrument's status registers and error queue (*CLS);\n" \
    "the instrument is reset (*RST) only with --reset (the embedded simulator always is). Every setting\n" \
    "the measurement relies on is sent. Exit status: 0 done, 1 instrument or file failure, 2 bad usage\n" \
    "(nothing changed), 3 the trace broke a --limit line."

bool quantity(const Setup& setup, const char* name, const char* unit, double low, double high, double& out,
              std::string& error) {
  auto text = setup.args.get(name);
  if (!text) return true;
  auto value = parseQuantity(*text, unit);
  if (!value || *value < low || *value > high) {
    error = "--" + std::string(name) + " must be a number of " + unit + " from " + shortQuantity(low, unit) + " to " +
            shortQuantity(high, unit);
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
  double stop = 8e9;  // the model's highest frequency unless given
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

// "--stop 8.001 GHz is above the 4101's maximum of 8 GHz": the model's
// limits, known once the instrument identified itself.
std::string aboveMaximum(const char* option, double value, const Identity& identity) {
  if (identity.maxFrequency <= 0 || value <= identity.maxFrequency) return {};
  return "--" + std::string(option) + " " + shortQuantity(value, "Hz") + " is above " + identity.name() +
         "'s maximum of " + shortQuantity(identity.maxFrequency, "Hz");
}

std::string checkSweepLimits(const Setup& setup, Sweep& sweep, const Identity& identity) {
  if (!setup.args.has("stop") && identity.maxFrequency > 0) sweep.stop = identity.maxFrequency;
  for (auto [option, value] : {std::pair{"start", sweep.start}, std::pair{"stop", sweep.stop}})
    if (std::string error = aboveMaximum(option, value, identity); !error.empty()) return error;
  if (sweep.start >= sweep.stop)
    return "--start " + shortQuantity(sweep.start, "Hz") + " is not below " + identity.name() + "'s maximum of " +
           shortQuantity(sweep.stop, "Hz");
  if (sweep.level < identity.minLevel) {
    char options[16];
    std::snprintf(options, sizeof options, "0x%08lX", static_cast<unsigned long>(identity.options));
    return "--level " + shortQuantity(sweep.level, "dBm") + " is below " + identity.name() + "'s minimum of " +
           shortQuantity(identity.minLevel, "dBm") + " with options " + options;
  }
  return {};
}

std::string sweepSettings(const Sweep& sweep, ViInt32 count) {
  return shortQuantity(sweep.start, "Hz") + " to " + shortQuantity(sweep.stop, "Hz") + ", " + std::to_string(count) +
         " points, " + shortQuantity(sweep.level, "dBm");
}

void waitSeconds(double seconds) {
  if (seconds <= 0) return;
  Progress progress("waiting for the sweep");
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// Who measured what: the instrument (and whether it is simulated), the
// resource, the settings and the time, in the summary, the CSV and the plot.
void label(const Setup& setup, const Session& session, const std::string& title, const std::string& settings,
           const std::string& units, Report& report, Table& table, Plot& plot) {
  const Identity& identity = session.identity();
  const std::string who = identity.text + (identity.simulated ? " (simulated)" : "");
  report.add("instrument", who, "instrument", identity.text);
  report.addJson("simulated", identity.simulated);
  report.addJson("resource", session.resource());
  report.addJson("settings", settings);
  table.header = {{"kavrel", setup.command->name}, {"instrument", who}, {"simulated", identity.simulated ? "yes" : "no"},
                  {"resource", session.resource()},
                  {"settings", settings},          {"units", units},    {"time", utcNow()},
                  {"title", title}};
  plot.title = title;
  plot.subtitle = who + " | " + settings;
}

std::string decibels(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f dB", value);
  return text;
}

std::string fixed2(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// Return loss in dB, positive, from a reflection magnitude in dB.
std::vector<double> returnLossOf(const std::vector<double>& reflectionDb) {
  std::vector<double> loss(reflectionDb.size());
  std::transform(reflectionDb.begin(), reflectionDb.end(), loss.begin(), [](double db) { return -db; });
  return loss;
}

std::vector<double> linearAxis(double first, double last, std::size_t n) {
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i)
    x[i] = n > 1 ? first + (last - first) * static_cast<double>(i) / static_cast<double>(n - 1) : first;
  return x;
}

int finish(const Setup& setup, Report& report, const Table& table, const Plot& plot,
           const std::vector<LimitSegment>& limits, const std::string& xUnit, const std::string& yUnit) {
  int verdict = limitVerdict(plot.x_values, plot.series.front().y, limits, xUnit, yUnit, report);
  report.print();
  if (int code = writeOutputs(setup, table, plot)) return code;
  return verdict;
}

}  // namespace

const Command kSweepCommand{
    "sweep", "swept scalar measurement: peak, -3 dB bandwidth, CSV and plot",
    "[options]",
    "Swept scalar power measurement: source sweep, detector input, trace read.\n"
    "Prints the peak, the minimum and the -3 dB bandwidth with its centre, marked on the plot." KAVREL_OPENING,
    with({
        {"start", true, "FREQ  start frequency, e.g. 2GHz (10MHz)"},
        {"stop", true, "FREQ  stop frequency (the model's highest)"},
        {"points", true, "N  sweep points, 2..800 (401)"},
        {"level", true, "DBM  source level (0)"},
        {"input", true, "A..D  detector input (B)"},
    })};

const Command kReflectionCommand{
    "reflection", "S11 over the sweep: worst return loss and VSWR, or the time domain",
    "[options]",
    "Reflection (S11) over the sweep, optionally transformed to the time domain.\n"
    "Prints the worst return loss and VSWR over the band (in the time domain: the largest\n"
    "reflection and its distance). Return loss is positive: 20 dB is a better match than 10 dB." KAVREL_OPENING,
    with({
        {"start", true, "FREQ  start frequency (10MHz)"},
        {"stop", true, "FREQ  stop frequency (the model's highest)"},
        {"points", true, "N  sweep points, 2..800 (401)"},
        {"level", true, "DBM  source level (0)"},
        {"time-domain", false, "show the response against distance (band-pass impulse)"},
        {"velocity", true, "V  relative propagation velocity of the cable for distances, 0.1..1.0 (0.66)"},
    })};

const Command kFaultLocationCommand{
    "fault-location", "distance-to-fault trace of a cable and its faults",
    "[options]",
    "Distance-to-fault trace of a cable. Lists each fault (a reflection peak with return loss\n"
    "at or below --threshold) with its distance and return loss, marked on the plot." KAVREL_OPENING,
    with({
        {"range", true, "METRES  distance range, 1..25000 (100)"},
        {"centre", true, "FREQ  centre frequency (4GHz)"},
        {"points", true, "N  fault-location points, 51..1024 (501)"},
        {"velocity", true, "V  relative propagation velocity of the cable, 0.1..1.0 (0.66)"},
        {"threshold", true, "DB  return loss at or below which a peak is a fault, 0..100 (30)"},
    })};

int runSweep(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kSweepCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  Sweep sweep;
  std::string error;
  std::vector<LimitSegment> limits;
  if (!parseSweep(setup, sweep, error) || !limitLines(setup, "Hz", "dBm", limits, error))
    return usageError(kSweepCommand, error);
  ViInt32 input = 1;
  if (auto text = setup.args.get("input")) {
    if (text->size() != 1 || (*text)[0] < 'A' || (*text)[0] > 'D')
      return usageError(kSweepCommand, "--input must be A, B, C or D");
    input = (*text)[0] - 'A';
  }

  Session session;
  if (int code = session.prepare(setup, [&](const Identity& identity) { return checkSweepLimits(setup, sweep, identity); })) return code;
  const auto& [start, stop, level, points] = sweep;
  std::vector<double> trace(800);
  ViInt32 count = 0;
  Steps steps(session.driver());
  steps.run("one-channel display", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_FALSE); })
      .run("select channel 1", [](ViSession vi) { return kavrel_dispSetActMeas(vi, VI_FALSE, VI_FALSE); })
      .run("scalar mode", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 0); })
      .run("scalar power", [&](ViSession vi) { return kavrel_scalPower(vi, VI_FALSE, VI_FALSE, input); })
      .run("averaging off", [](ViSession vi) { return kavrel_scalAveraging(vi, VI_FALSE, VI_FALSE, 0, 1); })
      .run("smoothing off", [](ViSession vi) { return kavrel_scalSmooth(vi, VI_FALSE, VI_FALSE, VI_FALSE, 1.0); })
      .run("frequency sweep", [&](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, start, stop, level); })
      .run("sweep points", [&](ViSession vi) { return kavrel_srcSweepConfig(vi, static_cast<ViInt32>(points), 0.0); })
      .run("RF output on", [](ViSession vi) { return kavrel_srcRFOutput(vi, VI_TRUE); });
  if (steps.failure()) return failed(*steps.failure());
  waitSeconds(setup.settle);
  steps.run("read the trace", [&](ViSession vi) { return kavrel_scalReadData(vi, &count, trace.data()); });
  if (steps.failure()) return failed(*steps.failure());
  count = std::clamp<ViInt32>(count, 0, 800);
  trace.resize(static_cast<std::size_t>(count));
  std::vector<double> frequency = linearAxis(start, stop, trace.size());

  const char inputName = static_cast<char>('A' + input);
  Report report(setup);
  Table table;
  Plot plot;
  label(setup, session, std::string("Scalar transmission, input ") + inputName,
        sweepSettings(sweep, count) + ", input " + inputName, "frequency Hz, power dBm", report, table, plot);
  report.add("points", std::to_string(count), "points", count);
  if (auto extremes = findExtremes(trace)) {
    const std::size_t peak = extremes->maxIndex, low = extremes->minIndex;
    report.add("peak", fixed2(trace[peak]) + " dBm at " + engineering(frequency[peak], "Hz"), "peak",
               {{"dbm", trace[peak]}, {"hz", frequency[peak]}});
    report.add("minimum", fixed2(trace[low]) + " dBm at " + engineering(frequency[low], "Hz"), "minimum",
               {{"dbm", trace[low]}, {"hz", frequency[low]}});
    plot.markers.push_back({frequency[peak], trace[peak], "peak " + fixed2(trace[peak]) + " dBm"});
    if (auto band = passBand(frequency, trace, 3.0)) {
      const double centre = (band->low + band->high) / 2;
      report.add("-3 dB bandwidth",
                 engineering(band->high - band->low, "Hz") + ", centre " + engineering(centre, "Hz") + " (" +
                     engineering(band->low, "Hz") + " to " + engineering(band->high, "Hz") + ")",
                 "bandwidth_3db", {{"hz", band->high - band->low}, {"centre_hz", centre}, {"low_hz", band->low},
                                   {"high_hz", band->high}});
      const double edge = trace[peak] - 3.0;
      plot.markers.push_back({band->low, edge, "-3 dB", Marker::left});
      plot.markers.push_back({band->high, edge, "-3 dB", Marker::right});
      plot.markers.push_back({centre, edge, "BW " + engineering(band->high - band->low, "Hz") + ", centre " +
                                                engineering(centre, "Hz"), Marker::below});
    } else {
      report.add("-3 dB bandwidth", "no edges within the sweep", "bandwidth_3db", nullptr);
    }
  }
  plot.x = {"Frequency", "Hz"};
  plot.y = {"Power", "dBm"};
  plot.x_values = frequency;
  plot.series = {{"power", trace}};
  plot.limits = limits;
  table.columns = {"frequency_hz", "power_dbm"};
  table.values = {frequency, trace};
  return finish(setup, report, table, plot, limits, "Hz", "dBm");
}

int runReflection(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kReflectionCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  Sweep sweep;
  double velocity = 0.66;
  std::string error;
  const bool timeDomain = setup.args.has("time-domain");
  const std::string xUnit = timeDomain ? "m" : "Hz";
  std::vector<LimitSegment> limits;
  if (!parseSweep(setup, sweep, error) || !quantity(setup, "velocity", "", 0.1, 1.0, velocity, error) ||
      !limitLines(setup, xUnit, "dB", limits, error))
    return usageError(kReflectionCommand, error);

  Session session;
  if (int code = session.prepare(setup, [&](const Identity& identity) { return checkSweepLimits(setup, sweep, identity); })) return code;
  const auto& [start, stop, level, points] = sweep;
  Steps steps(session.driver());
  steps.run("one-channel display", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_FALSE); })
      .run("reflection mode", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 3); })
      .run("S11", [](ViSession vi) { return kavrel_reflS11(vi, VI_FALSE, VI_FALSE); })
      .run("real and imaginary format", [](ViSession vi) { return kavrel_reflFormat(vi, VI_FALSE, VI_FALSE, 9); })
      .run("averaging off", [](ViSession vi) { return kavrel_reflAveraging(vi, 0, 1); })
      .run("smoothing off", [](ViSession vi) { return kavrel_reflSmooth(vi, VI_FALSE, VI_FALSE, VI_FALSE, 1.0); })
      .run("no electrical delay", [](ViSession vi) { return kavrel_reflElDelay(vi, VI_FALSE, VI_FALSE, VI_FALSE, 0.0); })
      .run("no phase offset", [](ViSession vi) { return kavrel_reflPhaseOffset(vi, VI_FALSE, VI_FALSE, 0.0); })
      .run("frequency sweep", [&](ViSession vi) { return kavrel_srcFreqSweep(vi, VI_TRUE, start, stop, level); })
      .run("sweep points", [&](ViSession vi) { return kavrel_srcSweepConfig(vi, static_cast<ViInt32>(points), 0.0); })
      .run("time domain", [&](ViSession vi) { return kavrel_reflTimeDomain(vi, VI_FALSE, timeDomain ? VI_TRUE : VI_FALSE); });
  if (timeDomain)
    steps.run("band-pass impulse", [](ViSession vi) { return kavrel_reflTDomFunc(vi, VI_FALSE, VI_TRUE, VI_TRUE); })
        .run("50 ohm coaxial medium", [&](ViSession vi) { return kavrel_reflDevChar(vi, 50.0, 0, velocity, 1.0, 1e7); })
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
  std::vector<double> db(re.size());
  for (std::size_t i = 0; i < re.size(); ++i) db[i] = 20.0 * std::log10(std::hypot(re[i], im[i]));
  std::vector<double> loss = returnLossOf(db);
  // Time domain: a band-pass transform over (stop - start) resolves round
  // trips of v c / (2 (stop - start)) per point.
  const double step = velocity * kSpeedOfLight / (2.0 * (stop - start));
  std::vector<double> x = timeDomain ? linearAxis(0.0, step * static_cast<double>(std::max<ViInt32>(count - 1, 0)), re.size())
                                     : linearAxis(start, stop, re.size());

  Report report(setup);
  Table table;
  Plot plot;
  std::string settings = sweepSettings(sweep, count);
  if (timeDomain) settings += ", velocity " + fixed2(velocity);
  label(setup, session, timeDomain ? "Reflection, time domain (band-pass impulse)" : "Reflection S11", settings,
        timeDomain ? "distance m, S11 linear, return loss dB" : "frequency Hz, S11 linear, return loss dB", report, table,
        plot);
  report.add("points", std::to_string(count), "points", count);
  if (timeDomain) report.add("velocity", fixed2(velocity), "velocity", velocity);
  if (auto extremes = findExtremes(loss)) {
    const std::size_t worst = extremes->minIndex, best = extremes->maxIndex;
    const double vswr = vswrFromReturnLoss(loss[worst]);
    if (timeDomain) {
      report.add("largest reflection", "return loss " + decibels(loss[worst]) + " at " + fixed2(x[worst]) + " m",
                 "largest_reflection", {{"return_loss_db", loss[worst]}, {"m", x[worst]}});
    } else {
      report.add("worst return loss", decibels(loss[worst]) + " at " + engineering(x[worst], "Hz") + ", VSWR " +
                                          (std::isfinite(vswr) ? fixed2(vswr) : std::string("infinite")),
                 "worst_return_loss", {{"db", loss[worst]}, {"hz", x[worst]}, {"vswr", vswr}});
      report.add("best match", "return loss " + decibels(loss[best]) + " at " + engineering(x[best], "Hz"), "best_match",
                 {{"db", loss[best]}, {"hz", x[best]}});
    }
    plot.markers.push_back({x[worst], loss[worst], "worst " + decibels(loss[worst]), Marker::below});
  }
  plot.x = timeDomain ? Axis{"Distance", "m"} : Axis{"Frequency", "Hz"};
  plot.y = {"Return loss", "dB"};
  plot.x_values = x;
  plot.series = {{"return loss", loss}};
  plot.limits = limits;
  table.columns = {timeDomain ? "distance_m" : "frequency_hz", "s11_real", "s11_imag", "s11_db", "return_loss_db"};
  table.values = {x, re, im, db, loss};
  return finish(setup, report, table, plot, limits, xUnit, "dB");
}

int runFaultLocation(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kFaultLocationCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  double range = 100, centre = 4e9, velocity = 0.66, threshold = 30;
  long points = 501;
  std::string error;
  std::vector<LimitSegment> limits;
  if (!quantity(setup, "range", "m", 1, 25000, range, error) || !quantity(setup, "centre", "Hz", 10e6, 26.5e9, centre, error) ||
      !quantity(setup, "velocity", "", 0.1, 1.0, velocity, error) || !wholeNumber(setup, "points", 51, 1024, points, error) ||
      !quantity(setup, "threshold", "dB", 0, 100, threshold, error) || !limitLines(setup, "m", "dB", limits, error))
    return usageError(kFaultLocationCommand, error);

  Session session;
  if (int code = session.prepare(setup, [&](const Identity& identity) { return aboveMaximum("centre", centre, identity); })) return code;
  Steps steps(session.driver());
  steps.run("one-channel display", [](ViSession vi) { return kavrel_dualChanDisp(vi, VI_FALSE); })
      .run("fault-location mode", [](ViSession vi) { return kavrel_chanMode(vi, VI_FALSE, 2); })
      .run("distance unit metres", [](ViSession vi) { return kavrel_flocDispUnit(vi, VI_FALSE, VI_TRUE); })
      .run("coaxial medium", [&](ViSession vi) { return kavrel_flocMedium(vi, VI_FALSE, VI_TRUE, 0.0, velocity, 0.0); })
      .run("distance range", [&](ViSession vi) { return kavrel_flocRange(vi, VI_FALSE, VI_TRUE, range, centre, 0.0, 0.0); })
      .run("points", [&](ViSession vi) { return kavrel_flocNumOfPoints(vi, VI_FALSE, static_cast<ViInt32>(points)); })
      .run("averaging off", [](ViSession vi) { return kavrel_flocAveraging(vi, VI_FALSE, 0, 1); })
      .run("logarithmic format", [](ViSession vi) { return kavrel_flocFormat(vi, VI_FALSE, VI_FALSE, VI_TRUE); })
      .run("RF output on", [](ViSession vi) { return kavrel_srcRFOutput(vi, VI_TRUE); });
  if (steps.failure()) return failed(*steps.failure());
  waitSeconds(setup.settle);
  std::vector<double> trace(1024);
  ViInt32 count = 0;
  steps.run("read the trace", [&](ViSession vi) { return kavrel_flocReadData(vi, &count, trace.data()); });
  if (steps.failure()) return failed(*steps.failure());
  count = std::clamp<ViInt32>(count, 0, 1024);
  trace.resize(static_cast<std::size_t>(count));
  std::vector<double> loss = returnLossOf(trace);
  std::vector<double> distance = linearAxis(0.0, range, loss.size());

  Report report(setup);
  Table table;
  Plot plot;
  const std::string settings = "range " + shortQuantity(range, "m") + ", centre " + shortQuantity(centre, "Hz") +
                               ", velocity " + fixed2(velocity) + ", " + std::to_string(count) + " points";
  label(setup, session, "Distance to fault", settings, "distance m, return loss dB", report, table, plot);
  report.add("points", std::to_string(count), "points", count);
  report.add("velocity", fixed2(velocity), "velocity", velocity);
  std::vector<std::size_t> faults = findFaults(loss, threshold);
  nlohmann::ordered_json faultList = nlohmann::ordered_json::array();
  report.add("faults", std::to_string(faults.size()) + " at or below " + decibels(threshold) + " return loss",
             "fault_threshold_db", threshold);
  if (!faults.empty()) report.addText("  distance (m)  return loss (dB)");
  for (std::size_t i : faults) {
    char row[64];
    std::snprintf(row, sizeof row, "  %12.2f  %16.2f", distance[i], loss[i]);
    report.addText(row);
    faultList.push_back({{"m", distance[i]}, {"return_loss_db", loss[i]}});
    plot.markers.push_back({distance[i], loss[i], fixed2(distance[i]) + " m", Marker::below});
  }
  report.addJson("faults", faultList);
  plot.x = {"Distance", "m"};
  plot.y = {"Return loss", "dB"};
  plot.x_values = distance;
  plot.series = {{"return loss", loss}};
  plot.limits = limits;
  table.columns = {"distance_m", "return_loss_db"};
  table.values = {distance, loss};
  return finish(setup, report, table, plot, limits, "m", "dB");
}

}  // namespace kavrel::cli
