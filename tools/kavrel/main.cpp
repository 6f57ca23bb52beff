// kavrel: measure with a 4100-family test set from the command line.
#include <cstdio>
#include <span>
#include <string_view>

#include "tools/kavrel/commands.h"

namespace {

constexpr char kUsage[] =
    "usage: kavrel COMMAND [options]\n"
    "\n"
    "Measure with a 4100-family microwave test set. Without --resource every command runs\n"
    "against a simulated instrument started in this process; with --resource it uses your\n"
    "VISA library and your instrument.\n"
    "\n"
    "commands:\n"
    "  sweep            swept scalar measurement: summary, CSV and plot\n"
    "  reflection       S11 over the sweep, optionally in the time domain\n"
    "  fault-location   distance-to-fault trace of a cable\n"
    "  info             identification, options, model limits, revisions, self-test\n"
    "  errors           drain the instrument's error queue\n"
    "  store            save or load an instrument store to or from a file\n"
    "  sim              run the simulated instrument for other programs\n"
    "\n"
    "Run 'kavrel COMMAND --help' for a command's options.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string_view command = argv[1];
  std::span<char* const> rest(argv + 2, static_cast<std::size_t>(argc - 2));
  using namespace kavrel::cli;
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "sweep") return runSweep(rest);
  if (command == "reflection") return runReflection(rest);
  if (command == "fault-location") return runFaultLocation(rest);
  if (command == "info") return runInfo(rest);
  if (command == "errors") return runErrors(rest);
  if (command == "store") return runStore(rest);
  if (command == "sim") return runSim(rest);
  std::fprintf(stderr, "kavrel: unknown command '%.*s'\n%s", static_cast<int>(command.size()), command.data(), kUsage);
  return 2;
}
