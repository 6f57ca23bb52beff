// The subcommands of the kavrel program.
#ifndef KAVREL_TOOLS_COMMANDS_H
#define KAVREL_TOOLS_COMMANDS_H

#include <span>

namespace kavrel::cli {

// Each takes the arguments after its own name and returns the exit code:
// 0 done, 1 the instrument or a file failed, 2 bad usage (nothing sent).
int runSweep(std::span<char* const> args);
int runReflection(std::span<char* const> args);
int runFaultLocation(std::span<char* const> args);
int runInfo(std::span<char* const> args);
int runErrors(std::span<char* const> args);
int runStore(std::span<char* const> args);
int runSim(std::span<char* const> args);

}  // namespace kavrel::cli

#endif
