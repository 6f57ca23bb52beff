// Helpers shared by the simulator's tests.
#ifndef KAVREL_SIM_TEST_UTIL_H
#define KAVREL_SIM_TEST_UTIL_H

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::sim::test {

// A real as the driver's "%f" (6 decimals) or "%f[pN]" formats it.
inline std::string fx(double v, int decimals = 6) {
  std::array<char, 64> buf{};
  auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(buf.data(), ptr) : std::string();
}

// A real as "%e" (6 decimals) or "%f[ep9]" formats it.
inline std::string sci(double v, int decimals = 6) {
  std::array<char, 64> buf{};
  auto [ptr, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::scientific, decimals);
  return ec == std::errc() ? std::string(buf.data(), ptr) : std::string();
}

// Big-endian single-precision values after the "#0" of a trace block.
inline std::vector<float> blockFloats(std::string_view bytes) {
  std::vector<float> out;
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    std::uint32_t bits = 0;
    for (std::size_t k = 0; k < 4; ++k) bits = (bits << 8) | static_cast<unsigned char>(bytes[i + k]);
    float f = 0.0f;
    std::memcpy(&f, &bits, 4);
    out.push_back(f);
  }
  return out;
}

// Payload of a definite-length block "#<n><len><data>", or nothing when malformed.
inline bool definiteBlockPayload(std::string_view reply, std::string& payload) {
  if (reply.size() < 2 || reply[0] != '#' || reply[1] < '1' || reply[1] > '9') return false;
  std::size_t digits = static_cast<std::size_t>(reply[1] - '0');
  if (reply.size() < 2 + digits) return false;
  std::size_t length = 0;
  auto [ptr, ec] = std::from_chars(reply.data() + 2, reply.data() + 2 + digits, length);
  if (ec != std::errc() || ptr != reply.data() + 2 + digits || reply.size() < 2 + digits + length) return false;
  payload.assign(reply.substr(2 + digits, length));
  return true;
}

}  // namespace kavrel::sim::test

#endif
