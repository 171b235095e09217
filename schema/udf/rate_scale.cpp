#include "schema/udf/rate_scale.h"

#include <charconv>
#include <vector>

namespace mirrox::udf {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  return s;
}

std::optional<int> parseHour(std::string_view s) {
  s = trim(s);
  int value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value < 0 || value > 24) {
    return std::nullopt;
  }
  return value;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= s.size(); ++i) {
    if (i == s.size() || s[i] == sep) {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace

std::optional<std::uint32_t> parseNightHours(std::string_view text) {
  std::uint32_t mask = 0;
  if (trim(text).empty()) {
    return mask;
  }
  for (std::string_view range : split(text, ',')) {
    const auto dash = range.find('-');
    if (dash == std::string_view::npos) {
      const auto hour = parseHour(range);
      if (!hour || *hour > 23) {
        return std::nullopt;
      }
      mask |= 1u << *hour;
      continue;
    }
    const auto from = parseHour(range.substr(0, dash));
    const auto to = parseHour(range.substr(dash + 1));
    if (!from || !to || *from > 23) {
      return std::nullopt;
    }
    const int count = *to > *from ? *to - *from : (*to == *from ? 0 : *to + 24 - *from);
    for (int i = 0; i < count; ++i) {
      mask |= 1u << ((*from + i) % 24);
    }
  }
  return mask;
}

std::string formatRateScale(const RateScale& scale) {
  std::string text = "v1;" + std::to_string(scale.nightMask);
  for (double sum : scale.sums) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, sum);
    text += ';';
    text.append(buffer, ec == std::errc() ? end : buffer);
  }
  return text;
}

std::optional<RateScale> parseRateScale(std::string_view text) {
  const auto parts = split(text, ';');
  if (parts.size() != 4 || parts[0] != "v1") {
    return std::nullopt;
  }
  RateScale scale;
  auto [maskEnd, maskEc] =
      std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), scale.nightMask);
  if (parts[1].empty() || maskEc != std::errc() || maskEnd != parts[1].data() + parts[1].size() ||
      scale.nightMask >= (1u << 24)) {
    return std::nullopt;
  }
  for (int i = 0; i < 2; ++i) {
    const std::string_view p = parts[2 + i];
    auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), scale.sums[i]);
    if (p.empty() || ec != std::errc() || end != p.data() + p.size()) {
      return std::nullopt;
    }
  }
  return scale;
}

void addToRateScale(RateScale& scale, int hour, double amount) {
  const bool night = hour >= 0 && hour < 24 && (scale.nightMask & (1u << hour)) != 0;
  scale.sums[night ? 1 : 0] += amount;
}

}  // namespace mirrox::udf
