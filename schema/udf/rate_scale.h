#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mirrox::udf {

// A two-tariff split of consumption by the hour of day. The state travels through SQL as a short
// text ("v1;<night hour mask>;<day sum>;<night sum>"), so the library keeps nothing between calls
// and a procedure may run any number of splits at once.
struct RateScale {
  std::uint32_t nightMask = 0;  // bit h set: the hour h..h+1 is billed at the night tariff
  double sums[2] = {0.0, 0.0};  // [0] day tariff, [1] night tariff
};

// Parses night hours written as comma-separated "from-to" ranges (to excluded, wrapping past
// midnight: "23-7") or single hours ("13"); blanks are ignored; an empty text means no night hours.
// Returns nothing for a malformed text or an hour outside 0..24.
std::optional<std::uint32_t> parseNightHours(std::string_view text);

std::string formatRateScale(const RateScale& scale);
std::optional<RateScale> parseRateScale(std::string_view text);

// Adds an amount to the tariff of the given hour of day (0..23; other hours count as day).
void addToRateScale(RateScale& scale, int hour, double amount);

}  // namespace mirrox::udf
