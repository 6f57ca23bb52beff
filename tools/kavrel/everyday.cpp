// The subcommands that measure nothing: identification, the error queue,
// stores, one-off SCPI, an interactive session, the resources VISA finds,
// plots of saved CSV files and the simulated instrument for other programs.
// The read-only ones talk over a plain VISA session: the driver's session
// set-up would clear the instrument's status and error queue.
#include <editline/readline.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

#include "tools/kavrel/analysis.h"
#include "tools/kavrel/command_kit.h"
#include "tools/kavrel/commands.h"
#include "tools/kavrel/output.h"
#include "testbed/sim/server.h"

namespace kavrel::cli {

namespace {

std::vector<OptionSpec> with(std::vector<OptionSpec> own) {
  std::vector<OptionSpec> common = instrumentOptions();
  own.insert(own.end(), common.begin(), common.end());
  return own;
}

#define KAVREL_READ_ONLY "\nSends no *RST or *CLS and changes no setting."

void printLine(const std::string& text) {
  if (verbosity >= 0) std::printf("%s\n", text.c_str());
}

// `code,"text"` of ":SYST:ERR?"; false when the reply is not one.
bool parseError(const std::string& reply, long& code, std::string& text) {
  auto [end, ec] = std::from_chars(reply.data(), reply.data() + reply.size(), code);
  if (ec != std::errc() || end == reply.data() + reply.size() || *end != ',') return false;
  text.assign(end + 1, reply.data() + reply.size());
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return true;
}

// One SCPI line: a query (ending in '?') prints its reply.
ViStatus exchange(Link& link, const std::string& message, std::string& reply) {
  reply.clear();
  ViStatus status = link.write(message);
  if (status < VI_SUCCESS) return status;
  if (message.find('?') == std::string::npos) return status;
  Progress progress("waiting for the reply");
  return link.read(reply);
}

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) { stopRequested = 1; }

}  // namespace

const Command kInfoCommand{
    "info", "identification, options, model limits, revisions (self-test on request)",
    "[options]",
    "Identification, options, model limits and revisions; the self-test only with --self-test." KAVREL_READ_ONLY,
    with({
        {"self-test", false, "also run the instrument's self-test (*TST?): it disturbs a running measurement"},
        {"json", false, "print the results as one JSON object"},
    })};
const Command kErrorsCommand{
    "errors", "list the errors the instrument holds",
    "[options]",
    "List the errors the instrument holds, reading its error queue (:SYST:ERR?) until it is empty.\n"
    "Nothing clears the queue before it is read. Exit status 0 whether or not errors were found." KAVREL_READ_ONLY,
    with({{"json", false, "print the errors as one JSON object"}})};
const Command kStoreCommand{
    "store", "save or load an instrument store to or from a file",
    "save|load KIND NUMBER FILE [options]",
    "Copy one instrument store to (save) or from (load) a host file, byte for byte.\n"
    "KIND: scalar-memory, path-cal, sensor, floc-cal, refl-cal, kit, source-cal (save|load a user table),\n"
    "source-ppst, source-fst (save only). NUMBER is ignored for floc-cal, source-ppst and source-fst.\n"
    "save sends no *RST or *CLS and changes no setting; the file is replaced only once the store\n"
    "arrived whole. load checks the file (exists, regular, not empty) before anything is sent, then\n"
    "opens the driver's session, whose set-up clears the status registers and error queue (*CLS).",
    with({})};
const Command kQueryCommand{"query", "send one SCPI query and print the reply", "COMMAND [options]",
                            "Send one SCPI query and print the instrument's reply, e.g. kavrel query '*IDN?'." KAVREL_READ_ONLY,
                            with({})};
const Command kWriteCommand{"write", "send one SCPI command", "COMMAND [options]",
                            "Send one SCPI command as it is, e.g. kavrel write ':SOUR:FREQ:CW 2GHZ'.\n"
                            "Only *IDN? and *OPT? go before it; no *RST, no *CLS.",
                            with({})};
const Command kShellCommand{
    "shell", "interactive SCPI session with history",
    "[options]",
    "Interactive SCPI session: a line with '?' is a query and shows its reply, any other line is sent\n"
    "as a command. History is kept in ~/.kavrel_history. 'quit', 'exit' or Ctrl-D leaves. Only *IDN?\n"
    "and *OPT? are sent before what you type; no *RST, no *CLS.",
    with({})};
const Command kListCommand{
    "list", "the resources the VISA library finds",
    "[options]", "List the resources the VISA library finds (viFindRsrc).",
    {
        {"pattern", true, "EXPR  VISA search expression (?*::INSTR)"},
        {"visa-standin", false, "use the project's VISA stand-in"},
        {"json", false, "print the resources as one JSON object"},
        {"quiet", false, "print nothing but errors", 'q'},
        {"help", false, "show this help"},
    }};
const Command kPlotCommand{
    "plot", "plot a CSV file written by kavrel again",
    "FILE.csv [options]",
    "Plot a CSV file written by kavrel again, with its title, instrument and settings.\n"
    "Exit status 3 when the trace breaks a --limit line.",
    {
        {"plot", true, "FILE  write an SVG plot"},
        {"png", true, "FILE  write a PNG plot (needs rsvg-convert)"},
        {"limit", true, "LINES  limit test on the plotted column, as for the measuring commands"},
        {"quiet", false, "print nothing but errors", 'q'},
        {"help", false, "show this help"},
    }};
const Command kSimCommand{
    "sim", "run the simulated instrument for other programs",
    "[options]",
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

int runInfo(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kInfoCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  if (int code = refuseExtraArguments(setup, 0)) return code;
  Session session;
  if (int code = session.identify(setup)) return code;
  const Identity& identity = session.identity();
  ViChar driver[256] = "", firmware[256] = "";
  if (ViStatus status = kavrel_revision_query(session.link().vi(), driver, firmware); status < VI_SUCCESS)
    return failed({"revision query", status});
  Report report(setup);
  report.add("resource", session.resource() + (identity.simulated ? " (simulated)" : ""), "resource", session.resource());
  report.addJson("simulated", identity.simulated);
  std::string visa;
  visaLibrary(session.link().vi(), visa);
  report.add("VISA", visa, "visa", visa);
  report.add("identity", identity.text, "identity", identity.text);
  report.add("firmware", firmware, "firmware", firmware);
  report.add("driver", driver, "driver", driver);
  char options[16];
  std::snprintf(options, sizeof options, "0x%08lX", static_cast<unsigned long>(identity.options));
  report.add("options", options, "options", identity.options);
  if (identity.maxFrequency > 0)
    report.add("frequency range", "10 MHz to " + engineering(identity.maxFrequency, "Hz"), "max_frequency_hz",
               identity.maxFrequency);
  report.add("level range", shortQuantity(identity.minLevel, "dBm") + " to 20 dBm", "min_level_dbm", identity.minLevel);
  if (setup.args.has("self-test")) {
    ViInt16 result = 0;
    ViChar message[256] = "";
    ViStatus status;
    {
      Progress progress("self-test");
      status = kavrel_self_test(session.link().vi(), &result, message);
    }
    if (status < VI_SUCCESS) return failed({"self-test", status});
    report.add("self-test", std::to_string(result) + (result == 0 ? " (passed)" : " (failed)"), "self_test", result);
  } else {
    report.add("self-test", "not run (--self-test runs it)", "self_test", nullptr);
  }
  report.print();
  return kDone;
}

int runErrors(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kErrorsCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  if (int code = refuseExtraArguments(setup, 0)) return code;
  Session session;
  if (int code = session.identify(setup)) return code;
  Report report(setup);
  report.add("instrument", session.identity().text + (session.identity().simulated ? " (simulated)" : ""), "instrument",
             session.identity().text);
  report.addJson("simulated", session.identity().simulated);
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  // A queue holds a bounded number of entries; stop after a generous count anyway.
  for (int i = 0; i < 100; ++i) {
    std::string reply, text;
    long code = 0;
    if (ViStatus status = session.link().query(":SYST:ERR?", reply); status < VI_SUCCESS)
      return failed({"error query", status});
    if (!parseError(reply, code, text)) return failed({"the error query's reply is not 'number,\"text\"': " + reply});
    if (code == 0) break;
    report.addText(std::to_string(code) + ",\"" + text + "\"");
    list.push_back({{"code", code}, {"text", text}});
  }
  if (list.empty()) report.addText("no errors");
  report.addJson("errors", list);
  report.print();
  return kDone;
}

int runStore(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kStoreCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  const auto& words = setup.args.positional;
  if (words.size() != 4) return usageError(kStoreCommand, "expected save|load KIND NUMBER FILE");
  const std::string& action = words[0];
  const std::string& kind = words[1];
  const std::string& file = words[3];
  if (action != "save" && action != "load") return usageError(kStoreCommand, "the action is save or load, not " + action);
  auto number = parseInteger(words[2]);
  if (!number || *number < 0 || *number > 0x7FFFFFFF) return usageError(kStoreCommand, "NUMBER must be a whole number");
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
    if (!toFile) return usageError(kStoreCommand, kind + " can only be saved");
    const ViInt32 operation = kind == "source-ppst" ? 0 : 1;
    transfer = [=](ViSession vi) { return kavrel_sourTranCal(vi, operation, n, path); };
  } else {
    return usageError(kStoreCommand, "unknown store kind " + kind);
  }
  if (file.size() > 128) return usageError(kStoreCommand, "FILE may have at most 128 characters");
  if (std::string error = toFile ? checkWritable(file) : checkReadable(file); !error.empty())
    return usageError(kStoreCommand, error);
  Session session;
  if (int code = session.identify(setup)) return code;
  // A save reads only: the plain session serves. A load changes a store
  // through the driver's session.
  if (!toFile)
    if (int code = session.openDriver(setup)) return code;
  ViStatus status;
  {
    Progress progress(action == "save" ? "saving the store" : "loading the store");
    status = transfer(toFile ? session.link().vi() : session.driver());
  }
  // The driver refuses a store number beyond the instrument's count before
  // sending anything.
  if (status == VI_ERROR_PARAMETER3)
    return usageError(kStoreCommand, "NUMBER " + words[2] + ": the instrument has no " + kind + " store " + words[2]);
  if (status < VI_SUCCESS) return failed({action + " " + kind + " " + words[2] + (toFile ? " to " : " from ") + file, status});
  printLine((action == "save" ? "saved " : "loaded ") + kind + " " + words[2] + (toFile ? " to " : " from ") + file);
  return kDone;
}

// query and write: one message, nothing else sent.
int runOneMessage(const Command& command, std::span<char* const> argv, char** programArgv, bool isQuery) {
  Setup setup;
  if (int code = parseSetup(command, argv, setup, programArgv)) return code < 0 ? 0 : code;
  if (setup.args.positional.size() != 1 || setup.args.positional.front().empty())
    return usageError(command, "expected one COMMAND (quote it for the shell)");
  const std::string& message = setup.args.positional.front();
  if (isQuery && message.find('?') == std::string::npos)
    return usageError(command, "'" + message + "' is not a query (no '?'); use kavrel write");
  Session session;
  if (int code = session.identify(setup)) return code;
  std::string reply;
  if (ViStatus status = exchange(session.link(), message, reply); status < VI_SUCCESS)
    return failed({message, status});
  if (isQuery) printLine(reply);
  return kDone;
}

int runQuery(std::span<char* const> argv, char** programArgv) {
  return runOneMessage(kQueryCommand, argv, programArgv, true);
}
int runWrite(std::span<char* const> argv, char** programArgv) {
  return runOneMessage(kWriteCommand, argv, programArgv, false);
}

int runShell(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kShellCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  if (int code = refuseExtraArguments(setup, 0)) return code;
  Session session;
  if (int code = session.identify(setup)) return code;
  const bool interactive = isatty(STDIN_FILENO);
  std::string history;
  if (const char* home = std::getenv("HOME"); home && *home) history = std::string(home) + "/.kavrel_history";
  if (interactive) {
    std::printf("connected to %s%s\n", session.identity().text.c_str(), session.identity().simulated ? " (simulated)" : "");
    std::printf("a line with '?' shows its reply; quit, exit or Ctrl-D leaves\n");
    using_history();
    if (!history.empty()) read_history(history.c_str());
  }
  int result = kDone;
  while (true) {
    std::string line;
    if (interactive) {
      char* text = readline("kavrel> ");
      if (!text) break;
      line = text;
      std::free(text);
    } else if (!std::getline(std::cin, line)) {
      break;
    }
    auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
    if (line == "quit" || line == "exit") break;
    if (interactive) add_history(line.c_str());
    std::string reply;
    if (ViStatus status = exchange(session.link(), line, reply); status < VI_SUCCESS) {
      std::fprintf(stderr, "kavrel: %s\n", describe({line, status}).c_str());
      result = kFailed;
      continue;
    }
    if (line.find('?') != std::string::npos) std::printf("%s\n", reply.c_str());
    std::fflush(stdout);
  }
  if (interactive && !history.empty()) write_history(history.c_str());
  return result;
}

int runList(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kListCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  if (int code = refuseExtraArguments(setup, 0)) return code;
  std::string why;
  if (!visaReady(why)) return failed({why});
  std::vector<std::string> found;
  const std::string pattern = setup.args.get("pattern").value_or("?*::INSTR");
  if (ViStatus status = findResources(pattern, found); status < VI_SUCCESS)
    return failed({"find resources " + pattern, status});
  Report report(setup);
  for (const std::string& name : found) report.addText(name);
  if (found.empty()) report.addText("no resources found for " + pattern);
  report.addJson("pattern", pattern);
  report.addJson("resources", found);
  report.print();
  return kDone;
}

int runPlot(std::span<char* const> argv, char** programArgv) {
  Setup setup;
  if (int code = parseSetup(kPlotCommand, argv, setup, programArgv)) return code < 0 ? 0 : code;
  if (setup.args.positional.size() != 1) return usageError(kPlotCommand, "expected one FILE.csv");
  if (!setup.args.has("plot") && !setup.args.has("png")) return usageError(kPlotCommand, "give --plot FILE or --png FILE");
  const std::string& file = setup.args.positional.front();
  if (std::string error = checkReadable(file); !error.empty()) return usageError(kPlotCommand, error);
  std::string contents, error;
  if (!readWholeFile(file, contents, error)) return failed({error});
  Table table;
  if (!parseCsv(contents, table, error)) return failed({file + ": " + error});
  Plot plot = plotOfTable(table);
  const std::string& xUnit = plot.x.unit;
  std::vector<LimitSegment> limits;
  if (!limitLines(setup, xUnit, plot.y.unit, limits, error)) return usageError(kPlotCommand, error);
  if (int code = checkOutputs(setup)) return code;
  plot.limits = limits;
  Report report(setup);
  int verdict = limitVerdict(plot.x_values, plot.series.front().y, limits, xUnit, plot.y.unit, report);
  report.print();
  if (int code = writeOutputs(setup, table, plot)) return code;
  return verdict;
}

int runSim(std::span<char* const> argv) {
  std::string error;
  auto args = parseArgs(argv, kSimCommand.options, error);
  if (!args) return usageError(kSimCommand, error);
  if (args->has("help")) {
    std::printf("usage: kavrel sim %s\n%s\n\noptions:\n%s", kSimCommand.usage, kSimCommand.summary,
                optionHelp(kSimCommand.options).c_str());
    return 0;
  }
  if (!args->positional.empty()) return usageError(kSimCommand, "unexpected argument " + args->positional.front());
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
      return usageError(kSimCommand, "--" + std::string(option.name) + " must be " + std::to_string(option.low) + ".." +
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
