#include "tools/kavrel/args.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace kavrel::cli {

std::optional<std::string> Args::get(std::string_view name) const {
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<Args> parseArgs(std::span<char* const> argv, std::span<const OptionSpec> table, std::string& error) {
  Args args;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    std::string_view arg = argv[i];
    if (!optionsEnded && arg.size() == 2 && arg[0] == '-' && std::isalpha(static_cast<unsigned char>(arg[1]))) {
      const OptionSpec* option = nullptr;
      for (const OptionSpec& candidate : table)
        if (candidate.letter == arg[1] && !candidate.takesValue) option = &candidate;
      if (!option) {
        error = "unknown option " + std::string(arg);
        return std::nullopt;
      }
      args.values[std::string(option->name)] = "";
      continue;
    }
    if (optionsEnded || arg.size() < 3 || arg.substr(0, 2) != "--") {
      if (arg == "--") {
        optionsEnded = true;
        continue;
      }
      args.positional.emplace_back(arg);
      continue;
    }
    std::string_view name = arg.substr(2);
    std::optional<std::string_view> inlineValue;
    if (auto eq = name.find('='); eq != std::string_view::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& candidate : table)
      if (candidate.name == name) option = &candidate;
    if (!option) {
      error = "unknown option --" + std::string(name);
      return std::nullopt;
    }
    if (!option->takesValue) {
      if (inlineValue) {
        error = "option --" + std::string(name) + " takes no value";
        return std::nullopt;
      }
      args.values[std::string(name)] = "";
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= argv.size()) {
        error = "option --" + std::string(name) + " needs a value";
        return std::nullopt;
      }
      inlineValue = argv[++i];
    }
    args.values[std::string(name)] = std::string(*inlineValue);
  }
  return args;
}

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::optional<double> prefixFactor(char prefix) {
  switch (prefix) {
    case 'p': return 1e-12;
    case 'n': return 1e-9;
    case 'u': return 1e-6;
    case 'm': return 1e-3;
    case 'k': return 1e3;
    case 'M': return 1e6;
    case 'G': return 1e9;
    case 'T': return 1e12;
    default: return std::nullopt;
  }
}

}  // namespace

std::optional<double> parseQuantity(std::string_view text, std::string_view unit) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first < last && *first == '+') ++first;
  double value = 0;
  auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  std::string_view rest(end, static_cast<std::size_t>(last - end));
  if (rest.empty() || equalsIgnoringCase(rest, unit)) return value;
  // A prefix, then nothing or the unit. "m" alone is milli unless the unit is "m".
  if (auto factor = prefixFactor(rest.front())) {
    std::string_view after = rest.substr(1);
    if (after.empty() || equalsIgnoringCase(after, unit)) return value * *factor;
  }
  return std::nullopt;
}

std::optional<long> parseInteger(std::string_view text) {
  long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string optionHelp(std::span<const OptionSpec> table) {
  std::string text;
  for (const OptionSpec& option : table) {
    std::string head = option.letter ? std::string("  -") + option.letter + ", --" : std::string("  --");
    head += option.name;
    std::string_view help = option.help;
    if (option.takesValue) {
      auto space = help.find("  ");
      head += " " + std::string(help.substr(0, space));
      help = space == std::string_view::npos ? std::string_view{} : help.substr(space + 2);
    }
    if (head.size() < 24) head.resize(24, ' ');
    else head += "  ";
    text += head + std::string(help) + "\n";
  }
  return text;
}

}  // namespace kavrel::cli
