// kavrel: measure with a 4100-family test set from the command line.
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "tools/kavrel/command_kit.h"
#include "tools/kavrel/commands.h"

namespace {

using namespace kavrel::cli;

void usage(std::FILE* out) {
  std::fputs(
      "usage: kavrel COMMAND [options]\n"
      "       kavrel --version\n"
      "\n"
      "Measure with a 4100-family microwave test set. Without --resource every command runs\n"
      "against a simulated instrument started in this process; with --resource it uses your\n"
      "VISA library and your instrument.\n"
      "\n"
      "commands:\n",
      out);
  for (const Command* command : allCommands()) {
    std::fprintf(out, "  %-16s %s\n", command->name, command->brief);
  }
  std::fputs(
      "\n"
      "Exit status: 0 done, 1 the instrument, VISA or a file failed, 2 bad usage (refused before\n"
      "anything was changed), 3 a measurement broke a --limit line.\n"
      "Run 'kavrel COMMAND --help' for a command's options.\n",
      out);
}

struct Entry {
  std::string_view name;
  int (*run)(std::span<char* const>, char**);
};

constexpr Entry kEntries[] = {
    {"sweep", runSweep}, {"reflection", runReflection}, {"fault-location", runFaultLocation},
    {"info", runInfo},   {"errors", runErrors},         {"store", runStore},
    {"query", runQuery}, {"write", runWrite},           {"shell", runShell},
    {"list", runList},   {"plot", runPlot},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  std::string_view command = argv[1];
  std::span<char* const> rest(argv + 2, static_cast<std::size_t>(argc - 2));
  if (command == "--help" || command == "-h" || command == "help") {
    usage(stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("kavrel %s\n", KAVREL_VERSION);
    return 0;
  }
  if (command == "sim") return runSim(rest);
  for (const Entry& entry : kEntries)
    if (entry.name == command) return entry.run(rest, argv);
  std::fprintf(stderr, "kavrel: unknown command '%.*s'\n", static_cast<int>(command.size()), command.data());
  usage(stderr);
  return 2;
}
