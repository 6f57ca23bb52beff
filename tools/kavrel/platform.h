// What the program asks of the operating system beyond the C++ library, for
// POSIX systems and for Windows: the environment, terminals, other programs,
// files replaced whole, and the VISA library the driver loaded.
#ifndef KAVREL_CLI_PLATFORM_H
#define KAVREL_CLI_PLATFORM_H

#include <cstdio>
#include <ctime>
#include <span>
#include <string>
#include <vector>

// The descriptor calls both systems share by name: open, read, write, close, access, umask.
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kavrel::cli::platform {

// The VISA stand-in's file name, as the driver's binding loads it.
extern const char* const kStandinLibrary;

std::tm utc(std::time_t time);
void setEnvironment(const char* name, const std::string& value);
bool isTerminal(std::FILE* stream);
// Wipe the terminal line the cursor is on and return to its start.
void clearLine(std::FILE* terminal);
// Where per-user files live; empty when unknown.
std::string homeFolder();
// This program's own file; empty when unknown.
std::string programPath();

// Run a program found on PATH with `arguments` (its name first) and wait:
// its exit status, 127 when it cannot be started, -1 when it did not end normally.
int runProgram(const std::vector<std::string>& arguments);
bool programOnPath(const std::string& name);

// Whether new files can be made in the folder.
bool folderWritable(const std::string& folder);
// A new empty file named after `pattern` (ending in "XXXXXX", replaced) with the
// given permission bits where the system has them: its descriptor, or -1.
int createUnique(std::string& pattern, unsigned mode);
// Open an existing file for writing from the start, truncated: a descriptor or -1.
int openTruncated(const std::string& path);
// The file's data on the disk; false with errno when that failed.
bool flushToDisk(int fd);
// Put `from` in the place of `to`, which may exist; false with errno.
bool replaceWith(const std::string& from, const std::string& to);

// The entry points `names` of the loaded VISA library that provides all of
// them, in order; empty when no loaded library does. The library stays loaded.
std::vector<void*> loadedVisaEntries(std::span<const char* const> names);

// A channel the stand-in can append its I/O trace to by name: the name to
// give it and the descriptor to read from; false where the system has none.
bool traceChannel(std::string& name, int& readFd);
// Wait up to `timeoutMs` for input on the channel, then read it: the bytes
// read, 0 at its end, -1 on an error, -2 when nothing came in time.
long readWithin(int readFd, char* buffer, std::size_t size, int timeoutMs);
void closeChannel(int readFd);

}  // namespace kavrel::cli::platform

#endif
