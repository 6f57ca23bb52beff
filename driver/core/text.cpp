#include "driver/core/text.h"

#include <array>
#include <cmath>
#include <charconv>
#include <cstring>
#include <system_error>

namespace kavrel {

namespace {
// Room for the longest fixed-point double (309 integer digits) with digits
// after the point; exponential forms are far shorter.
constexpr std::size_t kNumberRoom = 400;

void appendNumber(std::string& text, ViReal64 value, std::chars_format form, int digits) {
  std::array<char, kNumberRoom> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value, form, digits);
  if (ec == std::errc()) text.append(buf.data(), end);
}
}  // namespace

Line& Line::add(ViInt32 value) {
  std::array<char, 16> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value);
  (void)ec;
  text_.append(buf.data(), end);
  return *this;
}

Line& Line::add(Fixed value) {
  appendNumber(text_, value.value, std::chars_format::fixed, value.digits);
  return *this;
}

Line& Line::add(Sci value) {
  appendNumber(text_, value.value, std::chars_format::scientific, value.digits);
  return *this;
}

Line& Line::add(Hex8 value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char buf[8];
  for (int i = 7; i >= 0; --i) {
    buf[i] = kDigits[value.value & 0xF];
    value.value >>= 4;
  }
  text_.append(buf, sizeof buf);
  return *this;
}

void Scan::skipSpace() {
  while (pos_ < size_ && (data_[pos_] == ' ' || data_[pos_] == '\t' || data_[pos_] == '\r' || data_[pos_] == '\n'))
    ++pos_;
}

bool Scan::literal(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && pos_ + n < size_ && data_[pos_ + n] == text[n]) ++n;
  pos_ += n;
  return n == text.size();
}

bool Scan::integer(ViInt32& out) {
  skipSpace();
  const char* first = data_ + pos_;
  const char* last = data_ + size_;
  if (first < last && *first == '+') ++first;
  ViInt32 value = 0;
  auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc()) return false;
  out = value;
  pos_ = static_cast<std::size_t>(end - data_);
  ++matched_;
  return true;
}

bool Scan::real(ViReal64& out) {
  skipSpace();
  const char* first = data_ + pos_;
  const char* last = data_ + size_;
  if (first < last && *first == '+') ++first;
  ViReal64 value = 0;
  auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  // A number too large or too small for a double is still a number: keep
  // what from_chars made of it, as a C scan would.
  if (ec == std::errc::invalid_argument) return false;
  if (ec == std::errc::result_out_of_range) {
    std::string_view digits(first, static_cast<std::size_t>(end - first));
    std::size_t e = digits.find_first_of("eE");
    bool tiny = e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
    value = tiny ? 0.0 : HUGE_VAL;
    if (*first == '-') value = -value;
  }
  out = value;
  pos_ = static_cast<std::size_t>(end - data_);
  ++matched_;
  return true;
}

bool Scan::skipField() {
  if (pos_ >= size_) return false;
  const void* comma = std::memchr(data_ + pos_, ',', size_ - pos_);
  pos_ = comma ? static_cast<std::size_t>(static_cast<const char*>(comma) - data_) : size_;
  ++matched_;
  return true;
}

bool Scan::fieldToLineFeed(ViChar* out, std::size_t capacity) {
  if (pos_ >= size_) return false;
  const void* lf = std::memchr(data_ + pos_, '\n', size_ - pos_);
  std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data_) : size_;
  copyText({data_ + pos_, end - pos_}, out, capacity);
  pos_ = end;
  ++matched_;
  return true;
}

void copyText(std::string_view text, ViChar* out, std::size_t capacity) {
  if (!out || capacity == 0) return;
  std::size_t n = text.size() < capacity ? text.size() : capacity - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace kavrel
