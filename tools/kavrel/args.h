// Command-line options of the kavrel program: "--name value", "--name=value"
// and bare flags, checked against each subcommand's own table before any
// instrument I/O; numbers with SI prefixes and units ("2.5GHz", "-10dBm").
#ifndef KAVREL_TOOLS_ARGS_H
#define KAVREL_TOOLS_ARGS_H

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::cli {

struct OptionSpec {
  std::string_view name;  // without the leading "--"
  bool takesValue;
  std::string_view help;  // "VALUE  what it does"
  char letter = 0;        // one-letter form ("-v"), if any
};

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string, std::less<>> values;  // flags hold ""

  bool has(std::string_view name) const { return values.find(name) != values.end(); }
  std::optional<std::string> get(std::string_view name) const;
};

// Parse argv[first..] against the table; on a mistake return nullopt and
// put a one-line reason into `error`.
std::optional<Args> parseArgs(std::span<char* const> argv, std::span<const OptionSpec> table, std::string& error);

// A number with an optional SI prefix (p n u m k M G T) and an optional unit
// (compared case-insensitively, e.g. "Hz", "dBm", "m", "s"): "2.5GHz", "500M",
// "1e9", "-10dBm". Locale-independent; the whole text must be used.
std::optional<double> parseQuantity(std::string_view text, std::string_view unit);
std::optional<long> parseInteger(std::string_view text);

// Usage text of a subcommand's options, one per line.
std::string optionHelp(std::span<const OptionSpec> table);

}  // namespace kavrel::cli

#endif
