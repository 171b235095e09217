#include "agent/value_text.h"

#include <charconv>
#include <cstdio>

namespace mirrox::agent {

std::string formatScaled(std::int64_t value, int scale) {
  const bool negative = value < 0;
  // Work on the magnitude as unsigned so that INT64_MIN does not overflow.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  if (scale < 0) {
    const auto decimals = static_cast<std::size_t>(-scale);
    if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
    digits.insert(digits.size() - decimals, 1, '.');
  } else if (scale > 0 && magnitude != 0) {
    digits.append(static_cast<std::size_t>(scale), '0');
  }
  return negative ? "-" + digits : digits;
}

std::string formatDouble(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string formatFloat(float value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string formatDate(unsigned year, unsigned month, unsigned day) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02u.%02u.%04u", day, month, year);
  return buffer;
}

std::string formatTime(unsigned hours, unsigned minutes, unsigned seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", hours, minutes, seconds);
  return buffer;
}

std::string formatTimestamp(unsigned year, unsigned month, unsigned day, unsigned hours, unsigned minutes,
                            unsigned seconds) {
  return formatDate(year, month, day) + " " + formatTime(hours, minutes, seconds);
}

}  // namespace mirrox::agent
