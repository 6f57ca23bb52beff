#include "tools/kavrel/line_editor.h"

#include <editline/readline.h>

#include <cstdlib>

namespace kavrel::cli {

LineEditor::LineEditor(std::string historyFile) : historyFile_(std::move(historyFile)) {
  using_history();
  if (!historyFile_.empty()) read_history(historyFile_.c_str());
}

LineEditor::~LineEditor() {
  if (!historyFile_.empty()) write_history(historyFile_.c_str());
}

bool LineEditor::read(const char* prompt, std::string& line) {
  char* text = readline(prompt);
  if (!text) return false;
  line = text;
  std::free(text);
  return true;
}

void LineEditor::remember(const std::string& line) { add_history(line.c_str()); }

}  // namespace kavrel::cli
