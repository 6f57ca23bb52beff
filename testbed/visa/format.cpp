// VISA formatted I/O conversions. Numbers are converted with to_chars and
// from_chars, so nothing depends on the process locale.
#include "testbed/visa/format.h"

#include <algorithm>
#include <bit>
#include <bitset>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

namespace kavrel::standin {
namespace {

// Width and precision digits beyond this are refused rather than allocated.
constexpr int kMaxFieldDigits = 1'000'000;

enum class Size { Default, Half, Long, LongLong, LongDouble, Float32, Float64 };

// One conversion of a format, as parsed: flags, width, sizes and the conversion character.
struct Field {
  bool suppress = false;  // '*' in a read format: convert and discard
  bool left = false;
  bool plus = false;
  bool space = false;
  bool alt = false;
  bool zero = false;
  int width = -1;             // -1: none given
  bool widthFromArg = false;  // write: '*'
  bool countFromArg = false;  // read: '#', a pointer argument
  int precision = -1;
  bool precisionFromArg = false;
  bool littleEndian = false;  // "!ol"
  Size size = Size::Default;
  char conversion = 0;
  std::bitset<256> set;  // %[...]
};

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

ViStatus parseNumber(const char*& p, int& value) {
  value = 0;
  while (isDigit(*p)) {
    value = value * 10 + (*p++ - '0');
    if (value > kMaxFieldDigits) return VI_ERROR_INV_FMT;
  }
  return VI_SUCCESS;
}

ViStatus parseSize(const char*& p, Field& field) {
  switch (*p) {
    case 'h': field.size = Size::Half; ++p; break;
    case 'l':
      ++p;
      field.size = Size::Long;
      if (*p == 'l') {
        field.size = Size::LongLong;
        ++p;
      }
      break;
    case 'L': field.size = Size::LongDouble; ++p; break;
    case 'z': field.size = Size::Float32; ++p; break;
    case 'Z': field.size = Size::Float64; ++p; break;
    default: break;
  }
  return VI_SUCCESS;
}

// "!ob" (big-endian, the default) or "!ol" (little-endian).
ViStatus parseByteOrder(const char*& p, Field& field) {
  if (*p != '!') return VI_SUCCESS;
  if (p[1] != 'o' || (p[2] != 'b' && p[2] != 'l')) return VI_ERROR_INV_FMT;
  field.littleEndian = p[2] == 'l';
  p += 3;
  return VI_SUCCESS;
}

// The set of %[...]; `p` is just past '['.
ViStatus parseSet(const char*& p, Field& field) {
  const bool negate = *p == '^';
  if (negate) ++p;
  std::bitset<256> set;
  bool first = true;
  while (*p != '\0' && (*p != ']' || first)) {
    const auto from = static_cast<unsigned char>(*p);
    if (p[1] == '-' && p[2] != ']' && p[2] != '\0') {
      const auto to = static_cast<unsigned char>(p[2]);
      for (unsigned c = from; c <= to; ++c) set.set(c);
      p += 3;
    } else {
      set.set(from);
      ++p;
    }
    first = false;
  }
  if (*p != ']') return VI_ERROR_INV_FMT;
  ++p;
  field.set = negate ? ~set : set;
  return VI_SUCCESS;
}

// Parse one conversion; `p` is just past '%' and ends past the conversion character.
ViStatus parseField(const char*& p, Field& field, bool reading) {
  if (reading) {
    if (*p == '*') {
      field.suppress = true;
      ++p;
    }
  } else {
    for (;; ++p) {
      if (*p == '-') field.left = true;
      else if (*p == '+') field.plus = true;
      else if (*p == ' ') field.space = true;
      else if (*p == '#') field.alt = true;
      else if (*p == '0') field.zero = true;
      else break;
    }
  }
  if (!reading && *p == '*') {
    field.widthFromArg = true;
    ++p;
  } else if (reading && *p == '#') {
    field.countFromArg = true;
    ++p;
  } else if (isDigit(*p)) {
    if (ViStatus status = parseNumber(p, field.width); status < VI_SUCCESS) return status;
  }
  if (!reading && *p == '.') {
    ++p;
    if (*p == '*') {
      field.precisionFromArg = true;
      ++p;
    } else if (ViStatus status = parseNumber(p, field.precision); status < VI_SUCCESS) {
      return status;
    }
  }
  if (*p == ',') return VI_ERROR_NSUP_FMT;  // comma-separated arrays
  if (ViStatus status = parseByteOrder(p, field); status < VI_SUCCESS) return status;
  parseSize(p, field);
  field.conversion = *p;
  if (*p == '\0') return VI_ERROR_INV_FMT;
  ++p;
  if (field.conversion == '[') return reading ? parseSet(p, field) : VI_ERROR_INV_FMT;
  return VI_SUCCESS;
}

// A backslash sequence in a format; `p` is at the backslash and ends past the sequence.
int decodeEscape(const char*& p) {
  ++p;
  const char c = *p;
  if (c == '\0') return '\\';
  ++p;
  switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: break;
  }
  if (c >= '0' && c <= '7') {
    int value = c - '0';
    for (int digits = 1; digits < 3 && *p >= '0' && *p <= '7'; ++digits) value = value * 8 + (*p++ - '0');
    return value & 0xFF;
  }
  return static_cast<unsigned char>(c);  // \\, \", and anything else stands for itself
}

std::size_t elementBytes(Size size) {
  switch (size) {
    case Size::Half: return 2;
    case Size::Long:
    case Size::Float32: return 4;
    case Size::LongLong:
    case Size::Float64: return 8;
    default: return 1;
  }
}

// ---- write side -----------------------------------------------------------

// Pad `prefix` + `body` to the field width.
void appendField(std::string& out, std::string_view prefix, std::string_view body, const Field& field, bool zeroPad) {
  const std::size_t length = prefix.size() + body.size();
  const std::size_t fill = field.width > 0 && static_cast<std::size_t>(field.width) > length
                               ? static_cast<std::size_t>(field.width) - length
                               : 0;
  if (field.left) {
    out.append(prefix).append(body).append(fill, ' ');
  } else if (zeroPad) {
    out.append(prefix).append(fill, '0').append(body);
  } else {
    out.append(fill, ' ').append(prefix).append(body);
  }
}

std::string digitsOf(unsigned long long value, int base, bool upper) {
  char buf[72];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, base);
  std::string digits(buf, result.ptr);
  if (upper) std::transform(digits.begin(), digits.end(), digits.begin(), [](char c) {
      return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
  return digits;
}

void writeInteger(std::string& out, const Field& field, bool negative, unsigned long long magnitude) {
  const char conv = field.conversion;
  const int base = conv == 'x' || conv == 'X' ? 16 : conv == 'o' ? 8 : 10;
  std::string digits = (field.precision == 0 && magnitude == 0) ? std::string{} : digitsOf(magnitude, base, conv == 'X');
  if (field.precision > 0 && digits.size() < static_cast<std::size_t>(field.precision)) {
    digits.insert(0, static_cast<std::size_t>(field.precision) - digits.size(), '0');
  }
  std::string prefix;
  if (negative) prefix = "-";
  else if ((conv == 'd' || conv == 'i') && field.plus) prefix = "+";
  else if ((conv == 'd' || conv == 'i') && field.space) prefix = " ";
  if (field.alt && magnitude != 0 && base == 16) prefix += conv == 'X' ? "0X" : "0x";
  if (field.alt && base == 8 && (digits.empty() || digits[0] != '0')) digits.insert(0, "0");
  appendField(out, prefix, digits, field, field.zero && !field.left && field.precision < 0);
}

ViStatus writeSignedArg(std::string& out, const Field& field, ArgList& args) {
  long long value = 0;
  switch (field.size) {
    case Size::Default: value = va_arg(args.ap, int); break;
    case Size::Half: value = static_cast<short>(va_arg(args.ap, int)); break;
    case Size::Long: value = va_arg(args.ap, ViInt32); break;  // a VISA long is 32 bits
    case Size::LongLong: value = va_arg(args.ap, long long); break;
    default: return VI_ERROR_INV_FMT;
  }
  const bool negative = value < 0;
  const unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  writeInteger(out, field, negative, magnitude);
  return VI_SUCCESS;
}

ViStatus writeUnsignedArg(std::string& out, const Field& field, ArgList& args) {
  unsigned long long value = 0;
  switch (field.size) {
    case Size::Default: value = va_arg(args.ap, unsigned); break;
    case Size::Half: value = static_cast<unsigned short>(va_arg(args.ap, unsigned)); break;
    case Size::Long: value = va_arg(args.ap, ViUInt32); break;
    case Size::LongLong: value = va_arg(args.ap, unsigned long long); break;
    default: return VI_ERROR_INV_FMT;
  }
  writeInteger(out, field, false, value);
  return VI_SUCCESS;
}

ViStatus writeRealArg(std::string& out, const Field& field, ArgList& args) {
  double value = 0;
  if (field.size == Size::LongDouble) value = static_cast<double>(va_arg(args.ap, long double));
  else if (field.size == Size::Default || field.size == Size::Long) value = va_arg(args.ap, double);
  else return VI_ERROR_INV_FMT;
  const char conv = field.conversion;
  const char lower = static_cast<char>(conv | 0x20);
  const auto format = lower == 'f' ? std::chars_format::fixed
                      : lower == 'e' ? std::chars_format::scientific
                                     : std::chars_format::general;
  const int precision = field.precision < 0 ? 6 : field.precision;
  std::string body(static_cast<std::size_t>(precision) + 400, '\0');  // 1e308 in fixed notation fits
  const auto result = std::to_chars(body.data(), body.data() + body.size(), std::fabs(value), format, precision);
  body.resize(static_cast<std::size_t>(result.ptr - body.data()));
  if (conv != lower) std::transform(body.begin(), body.end(), body.begin(), [](char c) {
      return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
  std::string_view prefix = std::signbit(value) && !std::isnan(value) ? "-" : field.plus ? "+" : field.space ? " " : "";
  appendField(out, prefix, body, field, field.zero && !field.left && std::isfinite(value));
  return VI_SUCCESS;
}

ViStatus writeTextArg(std::string& out, const Field& field, ArgList& args) {
  const char* text = va_arg(args.ap, const char*);
  if (text == nullptr) return VI_ERROR_USER_BUF;
  const std::size_t length =
      field.precision >= 0 ? strnlen(text, static_cast<std::size_t>(field.precision)) : std::strlen(text);
  appendField(out, {}, std::string_view(text, length), field, false);
  return VI_SUCCESS;
}

// Store one element of `bytes` per the byte order into out, most significant first.
void appendElement(std::string& out, std::uint64_t value, std::size_t bytes, bool littleEndian) {
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::size_t shift = 8 * (littleEndian ? i : bytes - 1 - i);
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

std::uint64_t loadElement(const void* array, std::size_t index, std::size_t bytes) {
  const auto* base = static_cast<const unsigned char*>(array) + index * bytes;
  switch (bytes) {
    case 2: { std::uint16_t v; std::memcpy(&v, base, 2); return v; }
    case 4: { std::uint32_t v; std::memcpy(&v, base, 4); return v; }
    case 8: { std::uint64_t v; std::memcpy(&v, base, 8); return v; }
    default: return *base;
  }
}

// %Ny / %*y raw arrays and %Nb / %*b definite-length blocks.
ViStatus writeArrayArg(std::string& out, const Field& field, ArgList& args) {
  if (field.size == Size::LongDouble) return VI_ERROR_INV_FMT;
  const ViInt32 count = field.widthFromArg ? va_arg(args.ap, ViInt32) : field.width < 0 ? 1 : field.width;
  const void* array = va_arg(args.ap, const void*);
  if (count < 0 || (count > 0 && array == nullptr)) return VI_ERROR_USER_BUF;
  const std::size_t bytes = elementBytes(field.size);
  std::string data;
  data.reserve(static_cast<std::size_t>(count) * bytes);
  for (ViInt32 i = 0; i < count; ++i) {
    appendElement(data, loadElement(array, static_cast<std::size_t>(i), bytes), bytes, field.littleEndian);
  }
  if (field.conversion == 'b') {
    const std::string length = digitsOf(data.size(), 10, false);
    out.append("#").append(1, static_cast<char>('0' + length.size())).append(length);
  }
  out.append(data);
  return VI_SUCCESS;
}

ViStatus writeConversion(std::string& out, Field& field, ArgList& args) {
  const bool array = field.conversion == 'y' || field.conversion == 'b';
  if (field.widthFromArg && !array) {
    const int width = va_arg(args.ap, int);
    if (width < 0) field.left = true;
    if (width < -kMaxFieldDigits || width > kMaxFieldDigits) return VI_ERROR_INV_FMT;
    field.width = width < 0 ? -width : width;
  }
  if (field.precisionFromArg) {
    const int precision = va_arg(args.ap, int);
    if (precision > kMaxFieldDigits) return VI_ERROR_INV_FMT;
    field.precision = precision < 0 ? -1 : precision;
  }
  switch (field.conversion) {
    case 'd':
    case 'i': return writeSignedArg(out, field, args);
    case 'u':
    case 'o':
    case 'x':
    case 'X': return writeUnsignedArg(out, field, args);
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G': return writeRealArg(out, field, args);
    case 's': return writeTextArg(out, field, args);
    case 'c': {
      const char c = static_cast<char>(va_arg(args.ap, int));
      appendField(out, {}, std::string_view(&c, 1), field, false);
      return VI_SUCCESS;
    }
    case '%': out.push_back('%'); return VI_SUCCESS;
    case 'y':
    case 'b': return writeArrayArg(out, field, args);
    case 'B': return VI_ERROR_NSUP_FMT;
    default: return VI_ERROR_INV_FMT;
  }
}

// ---- read side ------------------------------------------------------------

// Skip white space in the input.
ViStatus skipSpace(FormatInput& in) {
  for (;;) {
    int c = 0;
    if (ViStatus status = in.peek(c); status < VI_SUCCESS) return status;
    if (c == FormatInput::kEnd || !isSpace(c)) return VI_SUCCESS;
    in.advance();
  }
}

// Take bytes while `accept` says so, at most `limit` of them.
template <typename Accept>
ViStatus takeWhile(FormatInput& in, std::size_t limit, std::string& out, Accept accept) {
  while (out.size() < limit) {
    int c = 0;
    if (ViStatus status = in.peek(c); status < VI_SUCCESS) return status;
    if (c == FormatInput::kEnd || !accept(c)) break;
    out.push_back(static_cast<char>(c));
    in.advance();
  }
  return VI_SUCCESS;
}

// Take one byte if it is `wanted`.
ViStatus takeIf(FormatInput& in, std::string& out, std::string_view wanted) {
  int c = 0;
  if (ViStatus status = in.peek(c); status < VI_SUCCESS) return status;
  if (c != FormatInput::kEnd && wanted.find(static_cast<char>(c)) != std::string_view::npos) {
    out.push_back(static_cast<char>(c));
    in.advance();
  }
  return VI_SUCCESS;
}

std::size_t fieldLimit(const Field& field) {
  return field.width > 0 ? static_cast<std::size_t>(field.width) : std::numeric_limits<std::size_t>::max();
}

// A decimal number in NR1, NR2 or NR3 form, or inf/nan: the characters as received.
ViStatus takeReal(FormatInput& in, std::size_t limit, std::string& token) {
  if (ViStatus status = takeIf(in, token, "+-"); status < VI_SUCCESS) return status;
  int c = 0;
  if (ViStatus status = in.peek(c); status < VI_SUCCESS) return status;
  if (c == 'i' || c == 'I' || c == 'n' || c == 'N') {
    return takeWhile(in, std::min<std::size_t>(limit, token.size() + 8), token,
                     [](int ch) { return (ch | 0x20) >= 'a' && (ch | 0x20) <= 'z'; });
  }
  if (ViStatus status = takeWhile(in, limit, token, isDigit); status < VI_SUCCESS) return status;
  if (token.size() < limit) {
    if (ViStatus status = takeIf(in, token, "."); status < VI_SUCCESS) return status;
    if (ViStatus status = takeWhile(in, limit, token, isDigit); status < VI_SUCCESS) return status;
  }
  const std::size_t beforeExponent = token.size();
  if (token.size() < limit) {
    if (ViStatus status = takeIf(in, token, "eE"); status < VI_SUCCESS) return status;
  }
  if (token.size() > beforeExponent && token.size() < limit) {
    if (ViStatus status = takeIf(in, token, "+-"); status < VI_SUCCESS) return status;
    if (ViStatus status = takeWhile(in, limit, token, isDigit); status < VI_SUCCESS) return status;
  }
  return VI_SUCCESS;
}

bool parseReal(std::string_view token, double& value) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  if (token.empty()) return false;
  const auto result = std::from_chars(token.data(), token.data() + token.size(), value);
  return result.ec == std::errc{} && result.ptr != token.data();
}

long long saturate(double value) {
  if (value >= 9.2233720368547758e18) return std::numeric_limits<long long>::max();
  if (value <= -9.2233720368547758e18) return std::numeric_limits<long long>::min();
  return static_cast<long long>(value);
}

// An integer for %d/%i/%u/%o/%x: decimal (rounded half away from zero when it
// has a fraction or exponent), or "#H", "#Q", "#B" non-decimal numbers.
// `matched` is false when the input holds no number.
ViStatus readInteger(FormatInput& in, const Field& field, long long& value, bool& matched) {
  const std::size_t limit = fieldLimit(field);
  int base = field.conversion == 'x' || field.conversion == 'X' ? 16 : field.conversion == 'o' ? 8 : 10;
  std::string sign;
  std::string digits;
  int first = 0;
  if (ViStatus status = in.peek(first); status < VI_SUCCESS) return status;
  if (base == 10 && first == '#') {
    std::string prefix;
    in.advance();
    if (ViStatus status = takeIf(in, prefix, "HhQqBb"); status < VI_SUCCESS) return status;
    if (prefix.empty()) return VI_SUCCESS;  // no match
    const char kind = static_cast<char>(prefix[0] | 0x20);
    base = kind == 'h' ? 16 : kind == 'q' ? 8 : 2;
  } else if (base == 10) {
    std::string real;
    if (ViStatus status = takeReal(in, limit, real); status < VI_SUCCESS) return status;
    const std::size_t signLength = !real.empty() && (real[0] == '+' || real[0] == '-') ? 1 : 0;
    sign = real.substr(0, signLength);
    digits = real.substr(signLength);
    const bool plain = !digits.empty() && std::all_of(digits.begin(), digits.end(), isDigit);
    if (!plain) {
      double number = 0;
      matched = parseReal(real, number) && !std::isnan(number);
      if (matched) value = saturate(std::round(number));
      return VI_SUCCESS;
    }
  } else if (ViStatus status = takeIf(in, sign, "+-"); status < VI_SUCCESS) {
    return status;
  }
  auto isBaseDigit = [base](int c) {
    const int lower = c | 0x20;
    const int digit = isDigit(c) ? c - '0' : (lower >= 'a' && lower <= 'z') ? lower - 'a' + 10 : 99;
    return digit < base;
  };
  if (digits.empty()) {
    if (ViStatus status = takeWhile(in, limit, digits, isBaseDigit); status < VI_SUCCESS) return status;
    if (base == 16 && first != '#' && digits == "0") {  // C-style 0x prefix
      std::string x;
      if (ViStatus status = takeIf(in, x, "xX"); status < VI_SUCCESS) return status;
      if (!x.empty()) {
        digits.clear();
        if (ViStatus status = takeWhile(in, limit, digits, isBaseDigit); status < VI_SUCCESS) return status;
        if (digits.empty()) digits = "0";
      }
    }
  }
  const bool negative = sign == "-";
  unsigned long long magnitude = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  matched = !digits.empty() && result.ptr != digits.data();
  if (!matched) return VI_SUCCESS;
  const bool overflow = result.ec == std::errc::result_out_of_range;
  if (base == 10 && field.conversion != 'u') {  // signed decimal saturates
    const unsigned long long limitMagnitude = negative ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL;
    if (overflow || magnitude > limitMagnitude) magnitude = limitMagnitude;
  } else if (overflow) {
    magnitude = ~0ULL;
  }
  value = static_cast<long long>(negative ? 0ULL - magnitude : magnitude);
  return VI_SUCCESS;
}

template <typename T>
T clampTo(long long value) {
  return static_cast<T>(std::clamp<long long>(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

// Store an integer into the target its size names: signed decimal values
// saturate, unsigned and non-decimal ones keep their low bits.
ViStatus storeInteger(ArgList& args, const Field& field, long long value) {
  const bool wrap = field.conversion != 'd' && field.conversion != 'i';
  switch (field.size) {
    case Size::Half: {
      auto* target = va_arg(args.ap, ViInt16*);
      if (target == nullptr) return VI_ERROR_USER_BUF;
      *target = wrap ? static_cast<ViInt16>(value) : clampTo<ViInt16>(value);
      return VI_SUCCESS;
    }
    case Size::Default:
    case Size::Long: {  // int and the 32-bit VISA long
      auto* target = va_arg(args.ap, ViInt32*);
      if (target == nullptr) return VI_ERROR_USER_BUF;
      *target = wrap ? static_cast<ViInt32>(value) : clampTo<ViInt32>(value);
      return VI_SUCCESS;
    }
    case Size::LongLong: {
      auto* target = va_arg(args.ap, ViInt64*);
      if (target == nullptr) return VI_ERROR_USER_BUF;
      *target = value;
      return VI_SUCCESS;
    }
    default: return VI_ERROR_INV_FMT;
  }
}

ViStatus storeReal(ArgList& args, const Field& field, double value) {
  switch (field.size) {
    case Size::Default: {  // a VISA %f stores a float
      auto* target = va_arg(args.ap, float*);
      if (target == nullptr) return VI_ERROR_USER_BUF;
      *target = static_cast<float>(value);
      return VI_SUCCESS;
    }
    case Size::Long: {
      auto* target = va_arg(args.ap, double*);
      if (target == nullptr) return VI_ERROR_USER_BUF;
      *target = value;
      return VI_SUCCESS;
    }
    case Size::LongDouble: {
      auto* target = va_arg(args.ap, long double*);
      if (target == nullptr) return VI_ERROR_USER_BUF;
      *target = value;
      return VI_SUCCESS;
    }
    default: return VI_ERROR_INV_FMT;
  }
}

// Where a text or array conversion stores: the target, and the capacity.
struct Destination {
  ViInt32* count = nullptr;  // '#': capacity in, number stored out
  void* target = nullptr;
  std::size_t capacity = std::numeric_limits<std::size_t>::max();
};

ViStatus takeDestination(ArgList& args, const Field& field, Destination& dest) {
  if (field.countFromArg) {
    dest.count = va_arg(args.ap, ViInt32*);
    if (dest.count == nullptr || *dest.count < 0) return VI_ERROR_USER_BUF;
    dest.capacity = static_cast<std::size_t>(*dest.count);
  } else if (field.width > 0) {
    dest.capacity = static_cast<std::size_t>(field.width);
  }
  dest.target = va_arg(args.ap, void*);
  if (dest.target == nullptr && dest.capacity > 0) return VI_ERROR_USER_BUF;
  return VI_SUCCESS;
}

// Store text with its NUL; the capacity counts the NUL, and what does not fit is dropped.
void storeText(const Destination& dest, std::string_view text) {
  if (dest.capacity == 0) {
    if (dest.count != nullptr) *dest.count = 0;
    return;
  }
  const std::size_t stored = std::min(text.size(), dest.capacity - 1);
  auto* out = static_cast<char*>(dest.target);
  std::memcpy(out, text.data(), stored);
  out[stored] = '\0';
  if (dest.count != nullptr) *dest.count = static_cast<ViInt32>(stored);
}

// %s, %[set], %t, %T, %c
ViStatus readText(FormatInput& in, const Field& field, ArgList& args, bool& matched) {
  const char conv = field.conversion;
  if (conv == 's') {
    if (ViStatus status = skipSpace(in); status < VI_SUCCESS) return status;
  }
  int first = 0;
  if (ViStatus status = in.peek(first); status < VI_SUCCESS) return status;
  if (first == FormatInput::kEnd) return VI_SUCCESS;  // no match

  std::string text;
  ViStatus status = VI_SUCCESS;
  const std::size_t unlimited = std::numeric_limits<std::size_t>::max();
  switch (conv) {
    case 's': status = takeWhile(in, unlimited, text, [](int c) { return !isSpace(c); }); break;
    case '[': status = takeWhile(in, unlimited, text, [&field](int c) { return field.set.test(static_cast<unsigned>(c)); }); break;
    case 't': status = takeWhile(in, unlimited, text, [](int) { return true; }); break;
    case 'T': {
      bool lineEnded = false;
      status = takeWhile(in, unlimited, text, [&lineEnded](int c) {
        if (lineEnded) return false;
        lineEnded = c == '\n';
        return true;
      });
      break;
    }
    case 'c': status = takeWhile(in, field.width > 0 ? static_cast<std::size_t>(field.width) : 1U, text, [](int) { return true; }); break;
    default: return VI_ERROR_INV_FMT;
  }
  if (status < VI_SUCCESS) return status;
  matched = true;
  if (field.suppress) return VI_SUCCESS;
  if (conv == 'c') {
    auto* target = va_arg(args.ap, char*);
    if (target == nullptr) return VI_ERROR_USER_BUF;
    std::memcpy(target, text.data(), text.size());
    return VI_SUCCESS;
  }
  Destination dest;
  if (ViStatus taken = takeDestination(args, field, dest); taken < VI_SUCCESS) return taken;
  storeText(dest, text);
  return VI_SUCCESS;
}

void storeElement(void* array, std::size_t index, std::size_t bytes, std::uint64_t value) {
  auto* base = static_cast<unsigned char*>(array) + index * bytes;
  switch (bytes) {
    case 2: { const auto v = static_cast<std::uint16_t>(value); std::memcpy(base, &v, 2); return; }
    case 4: { const auto v = static_cast<std::uint32_t>(value); std::memcpy(base, &v, 4); return; }
    case 8: std::memcpy(base, &value, 8); return;
    default: *base = static_cast<unsigned char>(value); return;
  }
}

std::uint64_t loadElementBytes(const char* raw, std::size_t bytes, bool littleEndian) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::size_t at = littleEndian ? bytes - 1 - i : i;
    value = (value << 8) | static_cast<unsigned char>(raw[at]);
  }
  return value;
}

// `count` whole elements from `raw` into the array from index `first`. The
// common case, big-endian 32-bit values such as a trace block, is one byte
// swap per value.
void storeElements(void* array, std::size_t first, const char* raw, std::size_t count, std::size_t bytes,
                   bool littleEndian) {
  if (bytes == 4 && !littleEndian && std::endian::native == std::endian::little) {
    auto* out = static_cast<unsigned char*>(array) + first * 4;
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t value = 0;
      std::memcpy(&value, raw + i * 4, 4);
      value = __builtin_bswap32(value);
      std::memcpy(out + i * 4, &value, 4);
    }
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    storeElement(array, first + i, bytes, loadElementBytes(raw + i * bytes, bytes, littleEndian));
  }
}

// Binary elements until the capacity, END, or `byteLimit` bytes; a partial
// element at the end is dropped. Whole elements at hand are taken in bulk;
// one split across two reads from the device is taken byte by byte.
ViStatus readElements(FormatInput& in, const Field& field, const Destination& dest, std::size_t byteLimit, std::size_t& stored) {
  const std::size_t bytes = elementBytes(field.size);
  stored = 0;
  std::size_t taken = 0;
  for (;;) {
    // A raw array stops at its capacity; a block is read to its end.
    if (field.conversion == 'y' && stored >= dest.capacity) return VI_SUCCESS;
    int next = 0;
    if (ViStatus status = in.peek(next); status < VI_SUCCESS) return status;
    const std::string_view ready = in.ready();
    std::size_t whole = std::min(ready.size(), byteLimit - taken) / bytes;
    if (field.conversion == 'y') whole = std::min(whole, dest.capacity - stored);
    if (whole > 0) {
      const std::size_t kept = std::min(whole, dest.capacity - std::min(stored, dest.capacity));
      if (!field.suppress && kept > 0) storeElements(dest.target, stored, ready.data(), kept, bytes, field.littleEndian);
      stored += kept;
      in.skip(whole * bytes);
      taken += whole * bytes;
      continue;
    }
    std::string raw;
    const std::size_t want = std::min(bytes, byteLimit - taken);
    if (ViStatus status = takeWhile(in, want, raw, [](int) { return true; }); status < VI_SUCCESS) return status;
    taken += raw.size();
    if (raw.size() < bytes) return VI_SUCCESS;
    if (stored < dest.capacity) {
      if (!field.suppress) storeElement(dest.target, stored, bytes, loadElementBytes(raw.data(), bytes, field.littleEndian));
      ++stored;
    }
  }
}

// %y raw arrays and %b 488.2 blocks ("#<n><length><data>", or "#0<data to END>").
ViStatus readArray(FormatInput& in, const Field& field, ArgList& args, bool& matched) {
  if (field.size == Size::LongDouble) return VI_ERROR_INV_FMT;
  Destination dest;
  if (field.suppress) dest.capacity = field.width > 0 ? static_cast<std::size_t>(field.width) : dest.capacity;
  else if (ViStatus status = takeDestination(args, field, dest); status < VI_SUCCESS) return status;
  if (!field.countFromArg && field.width < 0 && field.conversion == 'y' && !field.suppress) dest.capacity = 1;

  std::size_t byteLimit = std::numeric_limits<std::size_t>::max();
  if (field.conversion == 'b') {
    if (ViStatus status = skipSpace(in); status < VI_SUCCESS) return status;
    std::string hash;
    std::string digit;
    if (ViStatus status = takeIf(in, hash, "#"); status < VI_SUCCESS) return status;
    if (hash.empty()) return VI_SUCCESS;  // no match
    if (ViStatus status = takeWhile(in, 1, digit, isDigit); status < VI_SUCCESS) return status;
    if (digit.empty()) return VI_SUCCESS;  // no match
    const std::size_t lengthDigits = static_cast<std::size_t>(digit[0] - '0');
    if (lengthDigits > 0) {
      std::string length;
      if (ViStatus status = takeWhile(in, lengthDigits, length, isDigit); status < VI_SUCCESS) return status;
      if (length.size() != lengthDigits) return VI_SUCCESS;  // no match
      std::from_chars(length.data(), length.data() + length.size(), byteLimit);
    }
  }
  std::size_t stored = 0;
  if (ViStatus status = readElements(in, field, dest, byteLimit, stored); status < VI_SUCCESS) return status;
  matched = true;
  if (dest.count != nullptr) *dest.count = static_cast<ViInt32>(stored);
  return VI_SUCCESS;
}

ViStatus readConversion(FormatInput& in, const Field& field, ArgList& args, bool& matched) {
  matched = false;
  switch (field.conversion) {
    case 'd':
    case 'i':
    case 'u':
    case 'o':
    case 'x':
    case 'X': {
      if (ViStatus status = skipSpace(in); status < VI_SUCCESS) return status;
      long long value = 0;
      if (ViStatus status = readInteger(in, field, value, matched); status < VI_SUCCESS || !matched) return status;
      return field.suppress ? VI_SUCCESS : storeInteger(args, field, value);
    }
    case 'f':
    case 'e':
    case 'g':
    case 'E':
    case 'G': {
      if (ViStatus status = skipSpace(in); status < VI_SUCCESS) return status;
      std::string token;
      if (ViStatus status = takeReal(in, fieldLimit(field), token); status < VI_SUCCESS) return status;
      double value = 0;
      matched = parseReal(token, value);
      if (!matched || field.suppress) return VI_SUCCESS;
      return storeReal(args, field, value);
    }
    case 's':
    case '[':
    case 't':
    case 'T':
    case 'c': return readText(in, field, args, matched);
    case 'y':
    case 'b': return readArray(in, field, args, matched);
    case 'B': return VI_ERROR_NSUP_FMT;
    default: return VI_ERROR_INV_FMT;
  }
}

// Match one literal byte of the format against the input.
ViStatus matchLiteral(FormatInput& in, int wanted, bool& matched) {
  int c = 0;
  if (ViStatus status = in.peek(c); status < VI_SUCCESS) return status;
  matched = c == wanted;
  if (matched) in.advance();
  return VI_SUCCESS;
}

}  // namespace

ViStatus formatWrite(const char* fmt, ArgList& args, FormattedText& out) {
  if (fmt == nullptr) return VI_ERROR_USER_BUF;
  out = FormattedText{};
  try {
    for (const char* p = fmt; *p != '\0';) {
      if (*p == '%') {
        ++p;
        Field field;
        if (ViStatus status = parseField(p, field, false); status < VI_SUCCESS) return status;
        if (ViStatus status = writeConversion(out.bytes, field, args); status < VI_SUCCESS) return status;
        continue;
      }
      const bool escaped = *p == '\\';
      const char c = escaped ? static_cast<char>(decodeEscape(p)) : *p++;
      out.bytes.push_back(c);
      // A line feed in the format ends the message; one coming from an argument does not.
      if (c == '\n' && (!escaped || p[-1] == 'n')) out.endAfter.push_back(out.bytes.size());
    }
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  }
  return VI_SUCCESS;
}

ViStatus formatRead(const char* fmt, ArgList& args, FormatInput& in) {
  if (fmt == nullptr) return VI_ERROR_USER_BUF;
  try {
    for (const char* p = fmt; *p != '\0';) {
      int c = 0;
      if (ViStatus status = in.peek(c); status < VI_SUCCESS) return status;
      if (c == FormatInput::kEnd) return VI_SUCCESS;  // END ends the scan; the rest of the format is skipped
      bool matched = false;
      if (isSpace(*p)) {
        while (isSpace(*p)) ++p;
        if (ViStatus status = skipSpace(in); status < VI_SUCCESS) return status;
        continue;
      }
      if (*p == '%' && p[1] != '%') {
        ++p;
        Field field;
        if (ViStatus status = parseField(p, field, true); status < VI_SUCCESS) return status;
        if (ViStatus status = readConversion(in, field, args, matched); status < VI_SUCCESS) return status;
      } else {
        const int wanted = *p == '%' ? (p += 2, '%') : *p == '\\' ? decodeEscape(p) : static_cast<unsigned char>(*p++);
        if (ViStatus status = matchLiteral(in, wanted, matched); status < VI_SUCCESS) return status;
      }
      if (!matched) return VI_SUCCESS;
    }
  } catch (const std::bad_alloc&) {
    return VI_ERROR_ALLOC;
  }
  return VI_SUCCESS;
}

ViStatus StringInput::peek(int& byte) {
  byte = *text_ == '\0' ? kEnd : static_cast<unsigned char>(*text_);
  return VI_SUCCESS;
}

void StringInput::advance() {
  if (*text_ != '\0') ++text_;
}

}  // namespace kavrel::standin
