// Prints the simulated instrument's SCPI commands, from its command tables,
// as the Markdown section the README carries (and a test compares with it).
#include <cstdio>
#include <span>
#include <string>

#include "testbed/sim/engine.h"

int main() {
  using namespace kavrel::sim;
  struct Group {
    const char* title;
    std::span<const Command> (*commands)();
  };
  static constexpr Group kGroups[] = {
      {"Common and system", commandsSystem}, {"Source", commandsSource},
      {"Channels and display", commandsDisplay}, {"Scalar", commandsScalar},
      {"Power meter", commandsPowerMeter}, {"Fault location", commandsFaultLocation},
      {"Reflection", commandsReflection}, {"Calibration", commandsCalibration},
  };
  std::printf("Upper case is the short form; `[?]` the command has a query form as well, `?` only a query.\n\n");
  for (const Group& group : kGroups) {
    std::string line = std::string("- ") + group.title + ":";
    const char* separator = " ";
    for (const Command& command : group.commands()) {
      const char* form = command.set && command.query ? "[?]" : command.query ? "?" : "";
      line += separator + std::string("`") + std::string(command.pattern) + form + "`";
      separator = ", ";
    }
    std::printf("%s\n", line.c_str());
  }
  return 0;
}
