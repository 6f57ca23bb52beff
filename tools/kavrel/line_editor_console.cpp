#include "tools/kavrel/line_editor.h"

#include <cstdio>
#include <iostream>

namespace kavrel::cli {

LineEditor::LineEditor(std::string historyFile) : historyFile_(std::move(historyFile)) {}
LineEditor::~LineEditor() = default;

bool LineEditor::read(const char* prompt, std::string& line) {
  std::fputs(prompt, stdout);
  std::fflush(stdout);
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void LineEditor::remember(const std::string&) {}

}  // namespace kavrel::cli
