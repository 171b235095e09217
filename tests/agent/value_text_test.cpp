#include "agent/value_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace mirrox::agent {
namespace {

struct ScaledCase {
  std::int64_t value;
  int scale;
  const char* text;
};

class FormatScaled : public ::testing::TestWithParam<ScaledCase> {};

TEST_P(FormatScaled, GivesExactDecimalWithPoint) {
  EXPECT_EQ(formatScaled(GetParam().value, GetParam().scale), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatScaled,
    ::testing::Values(ScaledCase{0, 0, "0"}, ScaledCase{42, 0, "42"}, ScaledCase{-42, 0, "-42"},
                      ScaledCase{12345, -2, "123.45"}, ScaledCase{-5, -3, "-0.005"},
                      ScaledCase{1250000, -5, "12.50000"}, ScaledCase{0, -5, "0.00000"},
                      ScaledCase{7, 2, "700"},
                      ScaledCase{std::numeric_limits<std::int64_t>::min(), -4, "-922337203685477.5808"},
                      ScaledCase{std::numeric_limits<std::int64_t>::max(), 0, "9223372036854775807"}));

TEST(FormatFloatingPoint, UsesPointAndShortestRoundTrip) {
  EXPECT_EQ(formatDouble(0.1), "0.1");
  EXPECT_EQ(formatDouble(-2.5), "-2.5");
  EXPECT_EQ(formatFloat(0.1f), "0.1");
  EXPECT_EQ(std::stod(formatDouble(1.0 / 3.0)), 1.0 / 3.0);
}

TEST(FormatDateTime, IsDayFirstWithLeadingZeros) {
  EXPECT_EQ(formatTimestamp(2024, 3, 1, 7, 5, 9), "01.03.2024 07:05:09");
  EXPECT_EQ(formatDate(1899, 12, 30), "30.12.1899");
  EXPECT_EQ(formatTime(23, 59, 59), "23:59:59");
}

}  // namespace
}  // namespace mirrox::agent
