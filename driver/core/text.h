// Command lines and reply scanning in the instrument's text format.
//
// Numbers are written and read with std::to_chars / std::from_chars, so the
// bytes on the wire never depend on the process locale. A command line is a
// std::string built whole from its pieces, however long it grows.
#ifndef KAVREL_CORE_TEXT_H
#define KAVREL_CORE_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/kavrel.h"

namespace kavrel {

// A real in fixed-point notation with `digits` after the point:
// "%f" is 6 digits, "%f[p1]".."%f[p3]" are 1..3.
struct Fixed {
  ViReal64 value;
  int digits;
};
// A real in exponential notation with `digits` after the point:
// "%e" is 6 digits, "%f[ep9]" is 9.
struct Sci {
  ViReal64 value;
  int digits;
};
// A 32-bit value as 8 upper-case hexadecimal digits, zero padded ("%x[uw8p0]").
struct Hex8 {
  std::uint32_t value;
};

constexpr Fixed real(ViReal64 v) { return {v, 6}; }
constexpr Fixed fixed1(ViReal64 v) { return {v, 1}; }
constexpr Fixed fixed2(ViReal64 v) { return {v, 2}; }
constexpr Fixed fixed3(ViReal64 v) { return {v, 3}; }
constexpr Sci sci(ViReal64 v) { return {v, 6}; }
constexpr Sci sci9(ViReal64 v) { return {v, 9}; }
constexpr Hex8 hex8(std::uint32_t v) { return {v}; }

// One command line under construction. Pieces are appended in order:
// text as it stands, integers in decimal ("%d"), and the number forms above.
class Line {
 public:
  Line() = default;
  template <class... Pieces>
  explicit Line(const Pieces&... pieces) {
    (add(pieces), ...);
  }

  Line& add(std::string_view text) {
    text_.append(text);
    return *this;
  }
  Line& add(const char* text) { return add(std::string_view(text)); }
  Line& add(const std::string& text) { return add(std::string_view(text)); }
  Line& add(ViInt32 value);
  Line& add(Fixed value);
  Line& add(Sci value);
  Line& add(Hex8 value);

  const std::string& str() const { return text_; }
  operator std::string_view() const { return text_; }

 private:
  std::string text_;
};

// The whole line from its pieces: line(":SOUR:FREQ ", real(f), ";POW ", fixed2(p)).
template <class... Pieces>
std::string line(const Pieces&... pieces) {
  return Line(pieces...).str();
}

// Reads a reply from its first byte on, one element at a time, never past the
// bytes received. Each successful element counts as one match (skipped fields
// included), as the reply templates count them.
class Scan {
 public:
  Scan(const char* data, std::size_t size) : data_(data), size_(size) {}
  explicit Scan(std::string_view text) : Scan(text.data(), text.size()) {}

  // Literal characters must match from the current position; a literal is
  // not an element, so it does not count.
  bool literal(std::string_view text);
  // "%d[b4]": a decimal integer into 32 bits (leading white space skipped;
  // a value that does not fit does not match).
  bool integer(ViInt32& out);
  // "%f", "%f[e]": a real in any notation.
  bool real(ViReal64& out);
  // "%s[dt44]": a field up to, not including, the next comma; discarded.
  bool skipField();
  // "%s[t10]": a field up to, not including, the next line feed (or the end
  // of the reply), stored with a terminator; at most capacity-1 characters.
  bool fieldToLineFeed(ViChar* out, std::size_t capacity);

  int matched() const { return matched_; }
  std::size_t consumed() const { return pos_; }
  std::string_view rest() const { return {data_ + pos_, size_ - pos_}; }

 private:
  void skipSpace();
  const char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  int matched_ = 0;
};

// Copy text with its terminator into a caller's buffer of `capacity`
// characters, truncating if needed ("%s<%s" into a buffer of known size).
void copyText(std::string_view text, ViChar* out, std::size_t capacity);

}  // namespace kavrel

#endif
