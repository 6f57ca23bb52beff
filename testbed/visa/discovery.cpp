// Search expressions and find lists.
#include "testbed/visa/discovery.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <cctype>

namespace kavrel::standin {
namespace {

std::mutex g_listsLock;
std::map<ViFindList, std::vector<std::string>> g_lists;
// Find lists are numbered far above sessions, which count up from 1.
ViFindList g_lastList = 0xF0000000U;

// One element of a search expression: a character class and how often it repeats.
struct Element {
  enum class Kind { any, literal, set } kind = Kind::any;
  char literal = 0;
  std::string set;  // characters and "a-z" ranges
  bool negated = false;
  char repeat = '1';  // '1' once, '*' any number, '+' at least once
};

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool elementTakes(const Element& e, char c) {
  switch (e.kind) {
    case Element::Kind::any: return true;
    case Element::Kind::literal: return lower(e.literal) == lower(c);
    case Element::Kind::set: break;
  }
  bool in = false;
  for (std::size_t i = 0; i < e.set.size() && !in; ++i) {
    if (i + 2 < e.set.size() && e.set[i + 1] == '-') {
      in = lower(c) >= lower(e.set[i]) && lower(c) <= lower(e.set[i + 2]);
      i += 2;
    } else {
      in = lower(c) == lower(e.set[i]);
    }
  }
  return in != e.negated;
}

// One alternative of an expression; false when it cannot be read.
bool parseAlternative(std::string_view text, std::vector<Element>& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '*' || c == '+') {
      if (out.empty() || out.back().repeat != '1') return false;
      out.back().repeat = c;
      continue;
    }
    if (c == '(' || c == ')' || c == ']') return false;  // grouping is not taken
    Element e;
    if (c == '[') {
      const std::size_t close = text.find(']', i + 1);
      if (close == std::string_view::npos || close == i + 1) return false;
      e.kind = Element::Kind::set;
      e.negated = text[i + 1] == '!';
      e.set.assign(text.substr(i + 1 + (e.negated ? 1 : 0), close - i - 1 - (e.negated ? 1 : 0)));
      if (e.set.empty()) return false;
      i = close;
    } else if (c != '?') {
      e.kind = Element::Kind::literal;
      e.literal = c == '\\' && i + 1 < text.size() ? text[++i] : c;
    }
    out.push_back(std::move(e));
  }
  return true;
}

// Whether the elements take the whole text: matches[i][j] says elements i.. take text j..
bool wholeMatch(const std::vector<Element>& elements, std::string_view text) {
  const std::size_t n = text.size();
  std::vector<std::vector<char>> matches(elements.size() + 1, std::vector<char>(n + 1, 0));
  matches[elements.size()][n] = 1;
  for (std::size_t i = elements.size(); i-- > 0;) {
    const Element& e = elements[i];
    for (std::size_t j = n + 1; j-- > 0;) {
      const bool takes = j < n && elementTakes(e, text[j]);
      switch (e.repeat) {
        case '1': matches[i][j] = takes && matches[i + 1][j + 1]; break;
        case '*': matches[i][j] = matches[i + 1][j] || (takes && matches[i][j + 1]); break;
        default: matches[i][j] = takes && (matches[i + 1][j + 1] || matches[i][j + 1]); break;  // '+'
      }
    }
  }
  return matches[0][0] != 0;
}

}  // namespace

bool matchesExpression(std::string_view expression, const std::string& resource, bool& valid) {
  expression = expression.substr(0, expression.find('{'));  // attribute conditions are not filtered on
  valid = true;
  bool matched = false;
  while (true) {
    const std::size_t bar = expression.find('|');
    std::vector<Element> elements;
    if (!parseAlternative(expression.substr(0, bar), elements)) {
      valid = false;
      return false;
    }
    matched = matched || wholeMatch(elements, resource);
    if (bar == std::string_view::npos) return matched;
    expression.remove_prefix(bar + 1);
  }
}

ViFindList openFindList(std::vector<std::string> rest) {
  std::lock_guard guard(g_listsLock);
  do {
    g_lastList = g_lastList == 0xFFFFFFFFU ? 0xF0000001U : g_lastList + 1U;
  } while (g_lists.count(g_lastList) != 0);
  g_lists[g_lastList] = std::move(rest);
  return g_lastList;
}

ViStatus findNext(ViFindList list, ViChar desc[]) {
  std::lock_guard guard(g_listsLock);
  const auto found = g_lists.find(list);
  if (found == g_lists.end()) return VI_ERROR_INV_OBJECT;
  if (desc == nullptr) return VI_ERROR_USER_BUF;
  if (found->second.empty()) return VI_ERROR_RSRC_NFOUND;
  const std::string next = std::move(found->second.front());
  found->second.erase(found->second.begin());
  const std::size_t length = std::min<std::size_t>(next.size(), 255);
  std::memcpy(desc, next.data(), length);
  desc[length] = '\0';
  return VI_SUCCESS;
}

bool isFindList(ViObject handle) {
  std::lock_guard guard(g_listsLock);
  return g_lists.count(handle) != 0;
}

ViStatus closeFindList(ViFindList list) {
  std::lock_guard guard(g_listsLock);
  return g_lists.erase(list) != 0 ? VI_SUCCESS : VI_ERROR_INV_OBJECT;
}

}  // namespace kavrel::standin
