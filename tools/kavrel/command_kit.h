// What the subcommands of the kavrel program share: their option tables,
// the checks made before any instrument I/O, the way to the instrument
// (identified over a plain VISA session first, the driver's session only for
// measuring), results as text or JSON, and output files.
#ifndef KAVREL_TOOLS_COMMAND_KIT_H
#define KAVREL_TOOLS_COMMAND_KIT_H

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/kavrel/args.h"
#include "tools/kavrel/connection.h"
#include "tools/kavrel/plot.h"
#include "tools/kavrel/visa_link.h"

namespace kavrel::cli {

// Exit codes of every subcommand.
enum Exit : int {
  kDone = 0,         // done (a limit test passed)
  kFailed = 1,       // the instrument, VISA or a file failed
  kUsage = 2,        // bad usage: refused before anything was changed
  kLimitFailed = 3,  // measured, and the trace broke a --limit line
};

struct Command {
  const char* name;
  const char* brief;    // a phrase for the command list
  const char* usage;    // what follows "kavrel NAME"
  const char* summary;
  std::vector<OptionSpec> options;
};

// Every subcommand, in the order the program's help lists them.
std::span<const Command* const> allCommands();

// Option groups a command table is built from.
std::vector<OptionSpec> instrumentOptions();  // resource, simulator, time-out, -q, -v, help
std::vector<OptionSpec> measuringOptions();   // instrumentOptions and settle, reset, outputs, --limit, --json

// Parsed and checked before any instrument I/O.
struct Setup {
  const Command* command = nullptr;
  Args args;
  std::string resource;  // empty: the embedded simulator
  SimSettings sim;
  double settle = 0;
  unsigned timeoutMs = 10000;
};

// The instrument as it identified itself, before anything was changed.
struct Identity {
  std::string text;  // "*IDN?" answer
  int model = 0;
  std::string firmware;
  long options = 0;
  bool simulated = false;
  double maxFrequency = 0;
  double minLevel = -70;
  std::string name() const;  // "the 4101"
};

int usageError(const Command& command, const std::string& reason);
int failed(const Failure& failure);

// 0 to go on; -1 help was shown; else the exit code of bad usage.
int parseSetup(const Command& command, std::span<char* const> argv, Setup& setup, char** programArgv);
int refuseExtraArguments(const Setup& setup, std::size_t allowed);

// The way to the instrument: the embedded simulator started when needed, a
// plain VISA session for commands that must not disturb the instrument,
// the driver's session for measuring.
class Session {
 public:
  // Start the simulator if needed, open a plain session, read "*IDN?" and
  // "*OPT?". Returns 0 or the exit code.
  int identify(const Setup& setup);
  // For a measuring command: no stray arguments, outputs writable, the
  // instrument identified, `checkLimits` passed ("" or the refusal, named by
  // option), the driver's session open. Returns 0 or the exit code.
  int prepare(const Setup& setup, const std::function<std::string(const Identity&)>& checkLimits);
  // Close the plain session and open the driver's (its setup clears the
  // status registers; the instrument is reset with --reset or when simulated).
  int openDriver(const Setup& setup);
  Link& link() { return link_; }
  ViSession driver() const { return connection_.vi(); }
  const Identity& identity() const { return identity_; }
  const std::string& resource() const { return connection_.resource(); }

 private:
  Connection connection_;
  Link link_;
  Identity identity_;
};

// The time now, for header lines: "2026-12-08T19:55:01Z".
std::string utcNow();

// A number with its unit, without needless zeros: "8 GHz", "8.001 GHz".
std::string shortQuantity(double value, const std::string& unit);

// Results: shown as "key: text" lines, or as one JSON object with --json.
class Report {
 public:
  explicit Report(const Setup& setup) : setup_(setup) {}
  // A "label: text" line, and `key` in the JSON object.
  void add(const std::string& label, const std::string& text, const std::string& key, nlohmann::ordered_json value);
  void addJson(const std::string& key, nlohmann::ordered_json value) { json_[key] = std::move(value); }
  void addText(const std::string& line) { text_ += line + "\n"; }
  // Printed on stdout (stderr when stdout carries the CSV); nothing with -q.
  void print() const;

 private:
  const Setup& setup_;
  std::string text_;
  nlohmann::ordered_json json_ = nlohmann::ordered_json::object();
};

// A trace as a table, with its header lines.
struct Table {
  std::vector<std::pair<std::string, std::string>> header;  // "# key: value" lines
  std::vector<std::string> columns;
  std::vector<std::vector<double>> values;  // one vector per column
};
std::string csvText(const Table& table);
// A CSV file as csvText writes it; false with `error` naming the line.
bool parseCsv(const std::string& text, Table& table, std::string& error);
// The plot of a table: the first column against the last, titled from the header lines.
Plot plotOfTable(const Table& table);

// Output paths checked writable before any instrument I/O. 0 or kUsage.
int checkOutputs(const Setup& setup);
// CSV, SVG and PNG as asked for. 0 or kFailed.
int writeOutputs(const Setup& setup, const Table& table, const Plot& plot);

// --limit: lines parsed before I/O, then tested on the trace and drawn.
bool limitLines(const Setup& setup, const std::string& xUnit, const std::string& yUnit,
                std::vector<LimitSegment>& segments, std::string& error);
// Adds the verdict to the report; kLimitFailed when the trace broke a line.
int limitVerdict(const std::vector<double>& x, const std::vector<double>& y, const std::vector<LimitSegment>& segments,
                 const std::string& xUnit, const std::string& yUnit, Report& report);

// Progress on stderr for a wait or transfer that lasts over a second, when
// stderr is a terminal and not quiet.
class Progress {
 public:
  explicit Progress(std::string what);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Driver calls run in order; the first failure is kept with its step.
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

// Subcommands that live in everyday.cpp.
extern const Command kInfoCommand, kErrorsCommand, kStoreCommand, kQueryCommand, kWriteCommand, kShellCommand,
    kListCommand, kPlotCommand, kSimCommand;
// And in commands.cpp.
extern const Command kSweepCommand, kReflectionCommand, kFaultLocationCommand;

}  // namespace kavrel::cli

#endif
