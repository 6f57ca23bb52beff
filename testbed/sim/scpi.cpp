#include "testbed/sim/scpi.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace kavrel::sim::scpi {

namespace {

struct ErrorRow {
  int code;
  std::string_view text;
};

constexpr std::array<ErrorRow, 33> kErrors = {{
    {0, "No error"},
    {-100, "Command error"},
    {-101, "Invalid character"},
    {-102, "Syntax error"},
    {-103, "Invalid separator"},
    {-104, "Data type error"},
    {-108, "Parameter not allowed"},
    {-109, "Missing parameter"},
    {-111, "Header separator error"},
    {-113, "Undefined header"},
    {-114, "Header suffix out of range"},
    {-121, "Invalid character in number"},
    {-123, "Exponent too large"},
    {-131, "Invalid suffix"},
    {-141, "Invalid character data"},
    {-151, "Invalid string data"},
    {-161, "Invalid block data"},
    {-200, "Execution error"},
    {-221, "Settings conflict"},
    {-222, "Data out of range"},
    {-223, "Too much data"},
    {-224, "Illegal parameter value"},
    {-241, "Hardware missing"},
    {-300, "Device-specific error"},
    {-330, "Self-test failed"},
    {-350, "Queue overflow"},
    {-363, "Input buffer overrun"},
    {-400, "Query error"},
    {-410, "Query INTERRUPTED"},
    {-420, "Query UNTERMINATED"},
    {-430, "Query DEADLOCKED"},
    {-440, "Query UNTERMINATED after indefinite response"},
    {-310, "System error"},
}};

struct SuffixRow {
  std::string_view name;
  double multiplier;
};

// Unit suffixes accepted after numbers; the unit itself is not checked against the header.
constexpr std::array<SuffixRow, 36> kSuffixes = {{
    {"HZ", 1.0},    {"KHZ", 1e3},   {"MHZ", 1e6},   {"GHZ", 1e9},  {"S", 1.0},     {"MS", 1e-3},
    {"US", 1e-6},   {"NS", 1e-9},   {"PS", 1e-12},  {"V", 1.0},    {"MV", 1e-3},   {"UV", 1e-6},
    {"A", 1.0},     {"MA", 1e-3},   {"UA", 1e-6},   {"DBM", 1.0},  {"DB", 1.0},    {"W", 1.0},
    {"MW", 1e-3},   {"UW", 1e-6},   {"NW", 1e-9},   {"PW", 1e-12}, {"PCT", 1.0},   {"DEG", 1.0},
    {"RAD", 1.0},   {"OHM", 1.0},   {"KOHM", 1e3},  {"MOHM", 1e6}, {"M", 1.0},     {"KM", 1e3},
    {"MM", 1e-3},   {"CM", 1e-2},   {"FT", 1.0},    {"DBW", 1.0},  {"DBUV", 1.0},  {"K", 1.0},
}};

bool isSpace(char c) { return (c >= 0 && c <= ' ' && c != '\n'); }
bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isMnemonicChar(char c) { return isAlpha(c) || isDigit(c) || c == '_'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCopy(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = upper(c);
  return out;
}

}  // namespace

std::string_view errorText(int code) {
  for (const auto& row : kErrors)
    if (row.code == code) return row.text;
  if (code <= -100 && code > -200) return "Command error";
  if (code <= -200 && code > -300) return "Execution error";
  if (code <= -300 && code > -400) return "Device-specific error";
  if (code <= -400 && code > -500) return "Query error";
  return "Error";
}

std::uint8_t errorEsrBit(int code) {
  if (code <= -100 && code > -200) return 32;
  if (code <= -200 && code > -300) return 16;
  if (code <= -400 && code > -500) return 4;
  if (code == 0) return 0;
  return 8;  // -3xx and the instrument's own positive numbers
}

// ---- parser -------------------------------------------------------------------

void MessageParser::skipSpace() {
  while (!atEnd() && isSpace(text_[pos_])) ++pos_;
}

bool MessageParser::next(Unit& unit) {
  unit = Unit{};
  if (error_ != err::none) return false;
  for (;;) {
    skipSpace();
    if (atEnd()) return false;
    char c = text_[pos_];
    if (c == ';') {  // empty unit
      ++pos_;
      continue;
    }
    if (c == '\n') {  // a line feed ends a message: the path starts again from the root
      ++pos_;
      base_.clear();
      continue;
    }
    break;
  }
  if (!parseHeader(unit)) return false;
  if (!parseParams(unit)) return false;
  return true;
}

bool MessageParser::parseHeader(Unit& unit) {
  char c = text_[pos_];
  if (c == '*') {
    ++pos_;
    std::size_t start = pos_;
    while (!atEnd() && isMnemonicChar(text_[pos_])) ++pos_;
    if (pos_ == start || !isAlpha(text_[start])) return fail(err::syntax);
    unit.common = true;
    unit.nodes.push_back(upperCopy(text_.substr(start, pos_ - start)));
  } else {
    bool absolute = false;
    if (c == ':') {
      absolute = true;
      ++pos_;
    }
    std::vector<std::string> nodes;
    for (;;) {
      std::size_t start = pos_;
      while (!atEnd() && isMnemonicChar(text_[pos_])) ++pos_;
      if (pos_ == start) return fail(atEnd() || text_[pos_] == ':' ? err::syntax : err::invalidCharacter);
      if (!isAlpha(text_[start])) return fail(err::syntax);
      nodes.push_back(upperCopy(text_.substr(start, pos_ - start)));
      if (!atEnd() && text_[pos_] == ':') {
        ++pos_;
        continue;
      }
      break;
    }
    if (absolute) base_.clear();
    unit.nodes = base_;
    unit.nodes.insert(unit.nodes.end(), nodes.begin(), nodes.end());
    base_.assign(unit.nodes.begin(), unit.nodes.end() - 1);
  }
  if (!atEnd() && text_[pos_] == '?') {
    unit.query = true;
    ++pos_;
  }
  // The header ends at white space, ';', a line feed or the end.
  if (atEnd() || text_[pos_] == ';' || text_[pos_] == '\n') return true;
  if (isSpace(text_[pos_])) return true;
  return fail(err::headerSeparator);
}

bool MessageParser::parseParams(Unit& unit) {
  skipSpace();
  if (atEnd()) return true;
  if (text_[pos_] == ';') {
    ++pos_;
    return true;
  }
  if (text_[pos_] == '\n') return true;
  for (;;) {
    Param p;
    if (!parseParam(p)) return false;
    bool indefinite = p.kind == Param::Kind::block && p.indefinite;
    unit.params.push_back(std::move(p));
    if (indefinite) return true;  // an indefinite block runs to the end of the message
    skipSpace();
    if (atEnd()) return true;
    char c = text_[pos_];
    if (c == ',') {
      ++pos_;
      skipSpace();
      if (atEnd() || text_[pos_] == ';' || text_[pos_] == '\n') return fail(err::missingParameter);
      continue;
    }
    if (c == ';') {
      ++pos_;
      return true;
    }
    if (c == '\n') return true;
    return fail(err::invalidSeparator);
  }
}

bool MessageParser::parseParam(Param& p) {
  skipSpace();
  if (atEnd()) return fail(err::missingParameter);
  char c = text_[pos_];
  if (c == '"' || c == '\'') return parseString(p);
  if (c == '#') return parseBlockOrNonDecimal(p);
  if (isDigit(c) || c == '+' || c == '-' || c == '.') return parseNumber(p);
  if (isAlpha(c)) {
    std::size_t start = pos_;
    while (!atEnd() && isMnemonicChar(text_[pos_])) ++pos_;
    p.kind = Param::Kind::character;
    p.text = upperCopy(text_.substr(start, pos_ - start));
    return true;
  }
  if (c == ',') return fail(err::missingParameter);
  return fail(c == '(' ? err::syntax : err::invalidCharacter);
}

bool MessageParser::parseNumber(Param& p) {
  std::size_t start = pos_;
  if (text_[pos_] == '+' || text_[pos_] == '-') ++pos_;
  std::size_t digits = 0;
  while (!atEnd() && isDigit(text_[pos_])) {
    ++pos_;
    ++digits;
  }
  if (!atEnd() && text_[pos_] == '.') {
    ++pos_;
    while (!atEnd() && isDigit(text_[pos_])) {
      ++pos_;
      ++digits;
    }
  }
  if (digits == 0) return fail(err::invalidNumber);
  // Exponent: white space is allowed around the 'E' and its sign.
  std::size_t save = pos_;
  skipSpace();
  if (!atEnd() && (text_[pos_] == 'E' || text_[pos_] == 'e')) {
    std::size_t ePos = pos_;
    ++pos_;
    skipSpace();
    if (!atEnd() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
    std::size_t expDigits = 0;
    while (!atEnd() && isDigit(text_[pos_])) {
      ++pos_;
      ++expDigits;
    }
    if (expDigits == 0) {
      pos_ = ePos;  // not an exponent: a suffix that starts with E, or an error found below
      pos_ = save;
    }
  } else {
    pos_ = save;
  }
  std::string cleaned;
  for (std::size_t i = start; i < pos_; ++i)
    if (!isSpace(text_[i]) && text_[i] != '+') cleaned.push_back(text_[i]);
  // from_chars takes neither a leading '+' nor a bare leading '.', so normalise.
  if (!cleaned.empty() && cleaned[0] == '.') cleaned.insert(0, "0");
  if (cleaned.size() > 1 && cleaned[0] == '-' && cleaned[1] == '.') cleaned.insert(1, "0");
  double value = 0.0;
  auto [ptr, ec] = std::from_chars(cleaned.data(), cleaned.data() + cleaned.size(), value);
  if (ec == std::errc::result_out_of_range) return fail(err::exponentTooLarge);
  if (ec != std::errc() || ptr != cleaned.data() + cleaned.size()) return fail(err::invalidNumber);
  p.kind = Param::Kind::number;
  p.number = value;
  return parseSuffix(p);
}

bool MessageParser::parseSuffix(Param& p) {
  std::size_t save = pos_;
  skipSpace();
  if (atEnd() || !isAlpha(text_[pos_])) {
    pos_ = save;
    return true;
  }
  std::size_t start = pos_;
  while (!atEnd() && (isAlpha(text_[pos_]) || text_[pos_] == '/')) ++pos_;
  std::string name = upperCopy(text_.substr(start, pos_ - start));
  for (const auto& row : kSuffixes) {
    if (row.name == name) {
      p.number *= row.multiplier;
      p.hasSuffix = true;
      return true;
    }
  }
  return fail(err::invalidSuffix);
}

bool MessageParser::parseString(Param& p) {
  char quote = text_[pos_++];
  std::string out;
  for (;;) {
    if (atEnd()) return fail(err::invalidString);
    char c = text_[pos_++];
    if (c == quote) {
      if (!atEnd() && text_[pos_] == quote) {  // doubled quote stands for one
        out.push_back(quote);
        ++pos_;
        continue;
      }
      break;
    }
    out.push_back(c);
  }
  p.kind = Param::Kind::string;
  p.text = std::move(out);
  return true;
}

bool MessageParser::parseBlockOrNonDecimal(Param& p) {
  ++pos_;  // '#'
  if (atEnd()) return fail(err::invalidBlock);
  char c = text_[pos_];
  if (c == '0') {
    ++pos_;
    std::string_view rest = text_.substr(pos_);
    if (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);  // the message terminator
    p.kind = Param::Kind::block;
    p.indefinite = true;
    p.text.assign(rest);
    pos_ = text_.size();
    return true;
  }
  if (c >= '1' && c <= '9') {
    int n = c - '0';
    ++pos_;
    if (text_.size() - pos_ < static_cast<std::size_t>(n)) return fail(err::invalidBlock);
    std::uint64_t length = 0;
    for (int i = 0; i < n; ++i) {
      char d = text_[pos_ + static_cast<std::size_t>(i)];
      if (!isDigit(d)) return fail(err::invalidBlock);
      length = length * 10 + static_cast<std::uint64_t>(d - '0');
    }
    pos_ += static_cast<std::size_t>(n);
    if (length > text_.size() - pos_) return fail(err::invalidBlock);
    p.kind = Param::Kind::block;
    p.text.assign(text_.substr(pos_, static_cast<std::size_t>(length)));
    pos_ += static_cast<std::size_t>(length);
    return true;
  }
  int base = 0;
  switch (upper(c)) {
    case 'H': base = 16; break;
    case 'Q': base = 8; break;
    case 'B': base = 2; break;
    default: return fail(err::invalidBlock);
  }
  ++pos_;
  std::size_t start = pos_;
  while (!atEnd() && isMnemonicChar(text_[pos_])) ++pos_;
  std::string_view digits = text_.substr(start, pos_ - start);
  std::uint64_t value = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size()) return fail(err::invalidNumber);
  p.kind = Param::Kind::number;
  p.number = static_cast<double>(value);
  return true;
}

// ---- header node patterns -----------------------------------------------------

NodePattern nodePatternParse(std::string_view text) {
  NodePattern p;
  if (!text.empty() && text.back() == '#') {
    p.suffix = true;
    text.remove_suffix(1);
  }
  std::size_t i = 0;
  while (i < text.size() && !(text[i] >= 'a' && text[i] <= 'z')) ++i;
  p.shortForm = upperCopy(text.substr(0, i));
  p.longForm = upperCopy(text);
  return p;
}

std::optional<int> nodeMatch(const NodePattern& pattern, std::string_view mnemonic) {
  if (mnemonic == pattern.shortForm || mnemonic == pattern.longForm) return 0;
  if (!pattern.suffix) return std::nullopt;
  std::size_t end = mnemonic.size();
  while (end > 0 && isDigit(mnemonic[end - 1])) --end;
  if (end == mnemonic.size()) return std::nullopt;
  std::string_view name = mnemonic.substr(0, end);
  if (name != pattern.shortForm && name != pattern.longForm) return std::nullopt;
  std::string_view digits = mnemonic.substr(end);
  int value = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || ptr != digits.data() + digits.size() || value < 1) return -1;
  return value;
}

// ---- replies -------------------------------------------------------------------

std::string formatInt(long long value) {
  std::array<char, 24> buf{};
  auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  (void)ec;
  return std::string(buf.data(), ptr);
}

std::string formatReal(double value) {
  if (std::isnan(value)) return "9.91E+37";
  if (std::isinf(value)) return value > 0 ? "9.9E+37" : "-9.9E+37";
  if (value == 0.0) return "0";
  std::array<char, 40> buf{};
  auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  (void)ec;
  std::string out(buf.data(), ptr);
  for (char& c : out)
    if (c == 'e') c = 'E';
  return out;
}

std::string formatDefiniteBlock(std::string_view bytes) {
  std::string length = formatInt(static_cast<long long>(bytes.size()));
  std::string out;
  // With room for the line feed that ends a response, so a large block is not moved again for it.
  out.reserve(2 + length.size() + bytes.size() + 1);
  out.append("#").append(formatInt(static_cast<long long>(length.size()))).append(length).append(bytes);
  return out;
}

std::string formatString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    out.push_back(c);
    if (c == '"') out.push_back('"');
  }
  out.push_back('"');
  return out;
}

// ---- framing ----------------------------------------------------------------------

void LineFramer::feed(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    char c = bytes[i];
    if (mode_ == Mode::discard) {
      ++i;
      if (c == '\n') {
        mode_ = Mode::normal;
        afterSpace_ = true;
      }
      continue;
    }
    if (mode_ == Mode::blockData) {
      std::size_t take = bytes.size() - i;
      if (length_ < take) take = static_cast<std::size_t>(length_);
      if (pending_.size() + take > max_) {
        pending_.clear();
        ++overruns_;
        mode_ = Mode::discard;
        continue;
      }
      pending_.append(bytes.substr(i, take));
      i += take;
      length_ -= take;
      if (length_ == 0) mode_ = Mode::normal;
      continue;
    }
    ++i;
    if (c == '\n') {  // a line feed ends the message everywhere but inside block data
      ready_.push_back(std::move(pending_));
      pending_.clear();
      mode_ = Mode::normal;
      afterSpace_ = true;
      continue;
    }
    if (pending_.size() + 1 > max_) {
      pending_.clear();
      ++overruns_;
      mode_ = Mode::discard;
      continue;
    }
    pending_.push_back(c);
    switch (mode_) {
      case Mode::normal:
        if (c == '"' || c == '\'') {
          mode_ = Mode::quoted;
          quote_ = c;
        } else if (c == '#' && afterSpace_) {
          mode_ = Mode::hash;
        }
        afterSpace_ = isSpace(c) || c == ',';
        break;
      case Mode::quoted:
        if (c == quote_) mode_ = Mode::normal;  // a doubled quote re-enters at once
        afterSpace_ = false;
        break;
      case Mode::hash:
        if (c >= '1' && c <= '9') {
          digitsLeft_ = c - '0';
          length_ = 0;
          mode_ = Mode::blockDigits;
        } else if (c == '0') {
          mode_ = Mode::indefinite;
        } else {
          mode_ = Mode::normal;
        }
        afterSpace_ = false;
        break;
      case Mode::blockDigits:
        if (!isDigit(c)) {
          mode_ = Mode::normal;  // malformed: the parser reports it
          break;
        }
        if (length_ > (std::numeric_limits<std::uint64_t>::max() - 9) / 10) {
          length_ = std::numeric_limits<std::uint64_t>::max();
        } else {
          length_ = length_ * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (--digitsLeft_ == 0) mode_ = length_ == 0 ? Mode::normal : Mode::blockData;
        break;
      case Mode::indefinite:
      case Mode::blockData:
      case Mode::discard:
        break;
    }
  }
}

std::optional<std::string> LineFramer::next() {
  if (readyOffset_ >= ready_.size()) {
    ready_.clear();
    readyOffset_ = 0;
    return std::nullopt;
  }
  return std::move(ready_[readyOffset_++]);
}

std::size_t LineFramer::takeOverruns() {
  std::size_t n = overruns_;
  overruns_ = 0;
  return n;
}

}  // namespace kavrel::sim::scpi
