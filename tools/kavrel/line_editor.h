// Lines typed at the shell's prompt, with history kept in a file: through
// libedit on POSIX systems; on Windows the console edits the line and keeps
// the session's history itself.
#ifndef KAVREL_CLI_LINE_EDITOR_H
#define KAVREL_CLI_LINE_EDITOR_H

#include <string>

namespace kavrel::cli {

class LineEditor {
 public:
  // `historyFile` (empty: none) is read now and written when the editor goes.
  explicit LineEditor(std::string historyFile);
  ~LineEditor();
  LineEditor(const LineEditor&) = delete;
  LineEditor& operator=(const LineEditor&) = delete;

  // One line without its end; false at the end of input.
  bool read(const char* prompt, std::string& line);
  void remember(const std::string& line);

 private:
  std::string historyFile_;
};

}  // namespace kavrel::cli

#endif
