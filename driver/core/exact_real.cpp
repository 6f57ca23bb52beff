#include "driver/core/exact_real.h"

#include <array>
#include <charconv>
#include <system_error>

namespace kavrel {

std::string exactReal(ViReal64 value) {
  // The shortest fixed form of the smallest subnormal has 324 decimals.
  std::array<char, 400> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::fixed);
  if (ec != std::errc()) return {};
  std::string text(buf.data(), end);
  if (text.find_first_not_of("+-0123456789.") != std::string::npos) return text;  // inf, nan
  std::size_t point = text.find('.');
  if (point == std::string::npos) {
    point = text.size();
    text.push_back('.');
  }
  std::size_t decimals = text.size() - point - 1;
  if (decimals < 6) text.append(6 - decimals, '0');
  return text;
}

}  // namespace kavrel
