#include "tools/kavrel/command_kit.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "driver/core/limits.h"
#include "tools/kavrel/analysis.h"
#include "tools/kavrel/output.h"
#include "tools/kavrel/platform.h"

namespace kavrel::cli {

namespace {

constexpr OptionSpec kInstrumentOptions[] = {
    {"resource", true, "RSRC  VISA resource of a real instrument (default: the embedded simulator)"},
    {"visa-standin", false, "use the project's VISA stand-in even with --resource"},
    {"sim-model", true, "N  model of the embedded simulator, 4100..4104 (4101)"},
    {"sim-options", true, "N  option word of the embedded simulator (0)"},
    {"seed", true, "N  noise seed of the embedded simulator (1)"},
    {"timeout", true, "MS  VISA time-out of every instrument operation, 1..3600000 ms (10000)"},
    {"quiet", false, "print nothing but errors", 'q'},
    {"verbose", false, "show each SCPI message on stderr (the driver's too with the stand-in)", 'v'},
    {"help", false, "show this help"},
};

constexpr OptionSpec kMeasuringOptions[] = {
    {"settle", true, "S  seconds to wait for the sweep before reading (0 simulated, 1 real)"},
    {"reset", false, "reset the instrument (*RST) before setting it up"},
    {"csv", true, "FILE  write the trace as CSV with header lines; - for standard output"},
    {"plot", true, "FILE  write the trace as an SVG plot"},
    {"png", true, "FILE  write the trace as a PNG plot (needs rsvg-convert)"},
    {"limit", true, "LINES  limit test, e.g. \"upper 2GHz 4GHz -10; lower 3GHz 3.5GHz -40\" (exit 3 on fail)"},
    {"json", false, "print the results as one JSON object"},
};

std::string trimZeros(std::string text) {
  auto space = text.find(' ');
  std::string number = text.substr(0, space), rest = space == std::string::npos ? "" : text.substr(space);
  if (number.find('.') != std::string::npos) {
    while (number.back() == '0') number.pop_back();
    if (number.back() == '.') number.pop_back();
  }
  return number + rest;
}

}  // namespace

std::string utcNow() {
  const std::tm parts = platform::utc(std::time(nullptr));
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

namespace {

std::string field(const std::string& text, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    start = text.find(',', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  return text.substr(start, text.find(',', start) - start);
}

}  // namespace

std::vector<OptionSpec> instrumentOptions() { return {std::begin(kInstrumentOptions), std::end(kInstrumentOptions)}; }

std::vector<OptionSpec> measuringOptions() {
  std::vector<OptionSpec> options(std::begin(kMeasuringOptions), std::end(kMeasuringOptions));
  options.insert(options.end(), std::begin(kInstrumentOptions), std::end(kInstrumentOptions));
  return options;
}

std::span<const Command* const> allCommands() {
  static const Command* const kAll[] = {&kSweepCommand, &kReflectionCommand, &kFaultLocationCommand, &kInfoCommand,
                                        &kErrorsCommand, &kStoreCommand, &kQueryCommand, &kWriteCommand,
                                        &kShellCommand, &kListCommand, &kPlotCommand, &kSimCommand};
  return kAll;
}

std::string Identity::name() const { return model ? "the " + std::to_string(model) : "the instrument"; }

std::string shortQuantity(double value, const std::string& unit) { return trimZeros(engineering(value, unit, 6)); }

int usageError(const Command& command, const std::string& reason) {
  std::fprintf(stderr, "kavrel %s: %s\nTry 'kavrel %s --help'.\n", command.name, reason.c_str(), command.name);
  return kUsage;
}

int failed(const Failure& failure) {
  std::fprintf(stderr, "kavrel: %s\n", describe(failure).c_str());
  return kFailed;
}

void printHelp(const Command& command) {
  std::printf("usage: kavrel %s %s\n%s\n\noptions:\n%s", command.name, command.usage, command.summary,
              optionHelp(command.options).c_str());
}

int parseSetup(const Command& command, std::span<char* const> argv, Setup& setup, char** /*programArgv*/) {
  setup.command = &command;
  std::string error;
  auto args = parseArgs(argv, command.options, error);
  if (!args) return usageError(command, error);
  setup.args = *args;
  if (setup.args.has("help")) {
    printHelp(command);
    return -1;
  }
  if (setup.args.has("quiet")) verbosity = -1;
  if (setup.args.has("verbose")) verbosity = 1;
  if (auto resource = setup.args.get("resource")) {
    if (resource->find_first_not_of(" \t\r\n") == std::string::npos)
      return usageError(command, "--resource is empty: give the instrument's VISA resource, or leave the option out "
                                 "to use the embedded simulator");
    setup.resource = *resource;
  }
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
  if (auto text = setup.args.get("timeout")) {
    auto ms = parseInteger(*text);
    if (!ms || *ms < 1 || *ms > 3600000) return usageError(command, "--timeout must be 1..3600000 milliseconds");
    setup.timeoutMs = static_cast<unsigned>(*ms);
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

int refuseExtraArguments(const Setup& setup, std::size_t allowed) {
  if (setup.args.positional.size() <= allowed) return 0;
  return usageError(*setup.command, "unexpected argument " + setup.args.positional[allowed]);
}

int Session::identify(const Setup& setup) {
  Failure failure;
  if (!connection_.start(setup.resource, setup.sim, failure)) return failed(failure);
  std::string why;
  if (!visaReady(why)) return failed({why});
  if (ViStatus status = link_.open(connection_.resource(), setup.timeoutMs); status < VI_SUCCESS)
    return failed({"cannot open " + connection_.resource(), status});
  std::string optionText;
  if (ViStatus status = link_.query("*IDN?", identity_.text); status < VI_SUCCESS)
    return failed({"identification query", status});
  if (ViStatus status = link_.query("*OPT?", optionText); status < VI_SUCCESS) return failed({"option query", status});
  identity_.simulated = connection_.simulated();
  identity_.firmware = field(identity_.text, 3);
  std::string model = field(identity_.text, 1);
  std::from_chars(model.data(), model.data() + model.size(), identity_.model);
  std::from_chars(optionText.data(), optionText.data() + optionText.size(), identity_.options);
  identity_.maxFrequency = modelMaxFrequency(identity_.text);
  identity_.minLevel = minLevelFor(static_cast<ViInt32>(identity_.options));
  return kDone;
}

int Session::prepare(const Setup& setup, const std::function<std::string(const Identity&)>& checkLimits) {
  if (int code = refuseExtraArguments(setup, 0)) return code;
  if (int code = checkOutputs(setup)) return code;
  if (int code = identify(setup)) return code;
  if (std::string refusal = checkLimits(identity_); !refusal.empty()) return usageError(*setup.command, refusal);
  return openDriver(setup);
}

int Session::openDriver(const Setup& setup) {
  link_.close();
  echoDriverExchanges();
  Failure failure;
  if (!connection_.open(setup.args.has("reset") || connection_.simulated(), failure)) return failed(failure);
  if (ViStatus status = setTimeout(connection_.vi(), setup.timeoutMs); status < VI_SUCCESS)
    return failed({"set the time-out", status});
  return kDone;
}

void Report::add(const std::string& label, const std::string& text, const std::string& key,
                 nlohmann::ordered_json value) {
  text_ += label + ": " + text + "\n";
  json_[key] = std::move(value);
}

void Report::print() const {
  if (verbosity < 0) return;
  const bool csvOnStdout = setup_.args.get("csv") == "-";
  std::FILE* out = csvOnStdout ? stderr : stdout;
  if (setup_.args.has("json")) {
    std::string text = json_.dump(2) + "\n";
    std::fputs(text.c_str(), out);
  } else {
    std::fputs(text_.c_str(), out);
  }
}

std::string csvText(const Table& table) {
  std::string text;
  for (const auto& [key, value] : table.header) {
    std::string line = value;
    for (char& c : line)
      if (c == '\n' || c == '\r') c = ' ';
    text += "# " + key + ": " + line + "\n";
  }
  for (std::size_t i = 0; i < table.columns.size(); ++i) text += (i ? "," : "") + table.columns[i];
  text += "\n";
  std::size_t rows = table.values.empty() ? 0 : table.values.front().size();
  char buf[64];
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < table.values.size(); ++c) {
      auto [end, ec] = std::to_chars(buf, buf + sizeof buf, table.values[c][r], std::chars_format::general, 10);
      if (c) text += ",";
      text.append(buf, ec == std::errc() ? end : buf);
    }
    text += "\n";
  }
  return text;
}

bool parseCsv(const std::string& text, Table& table, std::string& error) {
  table = {};
  std::size_t lineNumber = 0, pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line.front() == '#') {
      auto colon = line.find(": ");
      if (colon != std::string::npos && colon > 2) table.header.emplace_back(line.substr(2, colon - 2), line.substr(colon + 2));
      continue;
    }
    std::vector<std::string> cells;
    for (std::size_t start = 0;;) {
      std::size_t comma = line.find(',', start);
      cells.push_back(line.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (table.columns.empty()) {
      if (cells.size() < 2) {
        error = "line " + std::to_string(lineNumber) + ": expected a header of at least two columns";
        return false;
      }
      table.columns = cells;
      table.values.assign(cells.size(), {});
      continue;
    }
    if (cells.size() != table.columns.size()) {
      error = "line " + std::to_string(lineNumber) + ": " + std::to_string(cells.size()) + " values for " +
              std::to_string(table.columns.size()) + " columns";
      return false;
    }
    for (std::size_t c = 0; c < cells.size(); ++c) {
      double value = 0;
      auto [last, ec] = std::from_chars(cells[c].data(), cells[c].data() + cells[c].size(), value);
      if (ec != std::errc() || last != cells[c].data() + cells[c].size()) {
        error = "line " + std::to_string(lineNumber) + ": '" + cells[c] + "' is not a number";
        return false;
      }
      table.values[c].push_back(value);
    }
  }
  if (table.columns.empty() || table.values.front().empty()) {
    error = "no values";
    return false;
  }
  return true;
}

namespace {

// "return_loss_db" gives {"Return loss", "dB"}.
Axis axisOfColumn(const std::string& column) {
  static const std::pair<const char*, const char*> kUnits[] = {{"hz", "Hz"}, {"m", "m"}, {"dbm", "dBm"}, {"db", "dB"}, {"s", "s"}};
  std::string quantity = column, unit;
  if (auto underscore = column.rfind('_'); underscore != std::string::npos)
    for (auto [suffix, name] : kUnits)
      if (column.substr(underscore + 1) == suffix) quantity = column.substr(0, underscore), unit = name;
  for (char& c : quantity)
    if (c == '_') c = ' ';
  if (!quantity.empty()) quantity[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(quantity[0])));
  return {quantity, unit};
}

std::string headerValue(const Table& table, const std::string& key) {
  for (const auto& [name, value] : table.header)
    if (name == key) return value;
  return {};
}

}  // namespace

Plot plotOfTable(const Table& table) {
  Plot plot;
  plot.title = headerValue(table, "title");
  if (plot.title.empty()) plot.title = table.columns.back();
  std::string instrument = headerValue(table, "instrument"), settings = headerValue(table, "settings");
  plot.subtitle = instrument.empty() ? settings : settings.empty() ? instrument : instrument + " | " + settings;
  plot.x = axisOfColumn(table.columns.front());
  plot.y = axisOfColumn(table.columns.back());
  plot.x_values = table.values.front();
  plot.series = {{plot.y.quantity, table.values.back()}};
  return plot;
}

int checkOutputs(const Setup& setup) {
  for (const char* option : {"csv", "plot", "png"}) {
    auto path = setup.args.get(option);
    if (!path || (*path == "-" && std::string_view(option) == "csv")) continue;
    if (std::string error = checkWritable(*path); !error.empty())
      return usageError(*setup.command, "--" + std::string(option) + ": " + error);
  }
  if (setup.args.has("png") && !pngConverterFound())
    return usageError(*setup.command, "--png needs rsvg-convert (Debian package librsvg2-bin), which is not on the PATH");
  return 0;
}

int writeOutputs(const Setup& setup, const Table& table, const Plot& plot) {
  auto say = [](const std::string& path) {
    if (verbosity >= 0) std::fprintf(stderr, "wrote %s\n", path.c_str());
  };
  if (auto path = setup.args.get("csv")) {
    std::string csv = csvText(table);
    if (*path == "-") {
      std::fwrite(csv.data(), 1, csv.size(), stdout);
      std::fflush(stdout);
    } else {
      if (auto error = writeFileSafely(*path, csv); !error.empty()) return failed({error});
      say(*path);
    }
  }
  auto svgPath = setup.args.get("plot");
  auto pngPath = setup.args.get("png");
  if (!svgPath && !pngPath) return kDone;
  std::string svg = renderSvg(plot);
  if (svg.empty()) return failed({"the trace holds no values to plot"});
  if (svgPath) {
    if (auto error = writeFileSafely(*svgPath, svg); !error.empty()) return failed({error});
    say(*svgPath);
  }
  if (pngPath) {
    // The converter reads the plot from a file of our own beside the PNG.
    std::string error = replaceFile(*pngPath, [&](const std::string& pngTemporary) -> std::string {
      std::string svgTemporary = pngTemporary + ".svg";
      if (std::string failure = writeFileSafely(svgTemporary, svg); !failure.empty()) return failure;
      std::string failure = convertToPng(svgTemporary, pngTemporary);
      std::remove(svgTemporary.c_str());
      return failure.empty() ? failure : "cannot write " + *pngPath + ": " + failure;
    });
    if (!error.empty()) return failed({error});
    say(*pngPath);
  }
  return kDone;
}

bool limitLines(const Setup& setup, const std::string& xUnit, const std::string& yUnit,
                std::vector<LimitSegment>& segments, std::string& error) {
  segments.clear();
  auto text = setup.args.get("limit");
  if (!text) return true;
  if (!parseLimits(*text, xUnit, yUnit, segments, error)) {
    error = "--limit: " + error;
    return false;
  }
  return true;
}

int limitVerdict(const std::vector<double>& x, const std::vector<double>& y, const std::vector<LimitSegment>& segments,
                 const std::string& xUnit, const std::string& yUnit, Report& report) {
  if (segments.empty()) return kDone;
  LimitVerdict verdict = testLimits(x, y, segments);
  const bool pass = verdict.failed == 0 && verdict.tested > 0;
  std::string text = pass ? "PASS" : "FAIL";
  text += ", " + std::to_string(verdict.failed) + " of " + std::to_string(verdict.tested) + " points beyond the lines";
  nlohmann::ordered_json json = {{"pass", pass}, {"tested", verdict.tested}, {"failed", verdict.failed}};
  if (verdict.worst) {
    char margin[32];
    std::snprintf(margin, sizeof margin, "%.2f", verdict.margin);
    text += std::string(", worst margin ") + margin + " " + yUnit + " at " + shortQuantity(x[*verdict.worst], xUnit);
    json["worst_margin"] = verdict.margin;
    json["worst_at"] = x[*verdict.worst];
  }
  if (verdict.tested == 0) text += " (no point lies within the lines' ranges)";
  report.add("limit test", text, "limit_test", json);
  return pass ? kDone : kLimitFailed;
}

struct Progress::State {
  std::mutex lock;
  std::condition_variable done;
  bool finished = false;
  bool shown = false;
  std::thread ticker;
};

Progress::Progress(std::string what) {
  if (verbosity < 0 || !platform::isTerminal(stderr)) return;
  state_ = std::make_unique<State>();
  State* state = state_.get();
  state->ticker = std::thread([state, what = std::move(what)] {
    std::unique_lock guard(state->lock);
    for (int seconds = 1; !state->done.wait_for(guard, std::chrono::seconds(1), [&] { return state->finished; });
         ++seconds) {
      std::fprintf(stderr, "\r%s... %d s", what.c_str(), seconds);
      state->shown = true;
    }
    if (state->shown) platform::clearLine(stderr);
  });
}

Progress::~Progress() {
  if (!state_) return;
  {
    std::lock_guard guard(state_->lock);
    state_->finished = true;
  }
  state_->done.notify_all();
  state_->ticker.join();
}

}  // namespace kavrel::cli
