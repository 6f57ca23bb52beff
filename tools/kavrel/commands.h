// The subcommands of the kavrel program.
#ifndef KAVREL_TOOLS_COMMANDS_H
#define KAVREL_TOOLS_COMMANDS_H

#include <span>

namespace kavrel::cli {

// Each takes the arguments after its own name and returns the exit code:
// 0 done, 1 the instrument or a file failed, 2 bad usage (nothing changed),
// 3 a limit test failed.
int runSweep(std::span<char* const> args, char** argv);
int runReflection(std::span<char* const> args, char** argv);
int runFaultLocation(std::span<char* const> args, char** argv);
int runInfo(std::span<char* const> args, char** argv);
int runErrors(std::span<char* const> args, char** argv);
int runStore(std::span<char* const> args, char** argv);
int runQuery(std::span<char* const> args, char** argv);
int runWrite(std::span<char* const> args, char** argv);
int runShell(std::span<char* const> args, char** argv);
int runList(std::span<char* const> args, char** argv);
int runPlot(std::span<char* const> args, char** argv);
int runSim(std::span<char* const> args);

}  // namespace kavrel::cli

#endif
