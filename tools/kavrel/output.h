// Output files of the kavrel program: checked before the instrument is
// touched, then written whole. A file is written to a temporary file beside
// it and renamed over it only when complete, so a failure leaves an existing
// file as it was; the program never removes a file it did not create.
#ifndef KAVREL_TOOLS_OUTPUT_H
#define KAVREL_TOOLS_OUTPUT_H

#include <functional>
#include <string>
#include <string_view>

namespace kavrel::cli {

// Empty when `path` can be written (its folder exists and takes new files, an
// existing target is not a folder), else the reason, naming the file.
std::string checkWritable(const std::string& path);

// Empty when `path` names a non-empty regular file that can be read, else
// the reason, naming the file.
std::string checkReadable(const std::string& path);

// Write `path` through a temporary file beside it: `produce` fills the
// temporary (given its name) and returns "" or its reason. A symbolic link
// stays a link (the file it points to is replaced); a target that is not a
// regular file (FIFO, terminal) is handed to `produce` directly. Empty on
// success, else the reason, naming the file.
std::string replaceFile(const std::string& path, const std::function<std::string(const std::string&)>& produce);

// replaceFile with the given bytes.
std::string writeFileSafely(const std::string& path, std::string_view contents);

// The whole file; false with `error` naming it and the reason.
bool readWholeFile(const std::string& path, std::string& contents, std::string& error);

}  // namespace kavrel::cli

#endif
