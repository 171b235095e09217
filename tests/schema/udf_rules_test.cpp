#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "schema/udf/rate_scale.h"
#include "schema/udf/sort_key.h"

namespace mirrox::udf {
namespace {

struct SortKeyCase {
  std::string number;
  int key;
};

void PrintTo(const SortKeyCase& c, std::ostream* os) { *os << "'" << c.number << "'"; }

class HouseSortKey : public ::testing::TestWithParam<SortKeyCase> {};

TEST_P(HouseSortKey, IsTheLeadingNumberCappedToSmallint) {
  EXPECT_EQ(houseSortKey(GetParam().number), GetParam().key) << "number '" << GetParam().number << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, HouseSortKey,
    ::testing::Values(SortKeyCase{"2", 2}, SortKeyCase{"10", 10}, SortKeyCase{"2а", 2}, SortKeyCase{"2/1", 2},
                      SortKeyCase{"  17к2", 17}, SortKeyCase{"", 0}, SortKeyCase{"стр", 0},
                      SortKeyCase{"-5", 0}, SortKeyCase{"32766", 32766}, SortKeyCase{"32767", 32767},
                      SortKeyCase{"32768", 32767}, SortKeyCase{"99999999", 32767}, SortKeyCase{"00012", 12}),
    [](const ::testing::TestParamInfo<SortKeyCase>& param) { return "Case" + std::to_string(param.index); });

TEST(HouseSortKeyOrder, OrdersNumbersAsAPersonWould) {
  std::vector<std::string> numbers = {"10", "2", "1а", "101", "9/3", "1"};
  std::stable_sort(numbers.begin(), numbers.end(), [](const std::string& a, const std::string& b) {
    return houseSortKey(a) < houseSortKey(b);
  });
  EXPECT_EQ(numbers, (std::vector<std::string>{"1а", "1", "2", "9/3", "10", "101"}));
}

TEST(NightHours, RangesWrapPastMidnightAndExcludeTheirEnd) {
  const auto mask = parseNightHours("23-7");
  ASSERT_TRUE(mask.has_value());
  for (int h = 0; h < 24; ++h) {
    const bool night = h == 23 || h < 7;
    EXPECT_EQ((*mask >> h) & 1u, night ? 1u : 0u) << "hour " << h;
  }
}

TEST(NightHours, SingleHoursListsAndEmptyText) {
  EXPECT_EQ(parseNightHours(" 13 , 15-17 "), (1u << 13) | (1u << 15) | (1u << 16));
  EXPECT_EQ(parseNightHours(""), 0u);
  EXPECT_EQ(parseNightHours("0-24"), (1u << 24) - 1);
  EXPECT_EQ(parseNightHours("5-5"), 0u);
}

TEST(NightHours, MalformedTextIsRejected) {
  for (const char* text : {"23-", "-7", "25", "24", "7-x", "a", "1,,2", "1-2-3", "24-2"}) {
    EXPECT_FALSE(parseNightHours(text).has_value()) << text;
  }
}

TEST(RateScale, RoundTripsThroughItsTextAndSplitsByHour) {
  RateScale scale;
  scale.nightMask = *parseNightHours("23-7");
  addToRateScale(scale, 3, 1.25);
  addToRateScale(scale, 12, 10.5);
  addToRateScale(scale, 23, 0.75);
  addToRateScale(scale, 99, 1.0);  // an impossible hour counts as day
  const auto back = parseRateScale(formatRateScale(scale));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->nightMask, scale.nightMask);
  EXPECT_DOUBLE_EQ(back->sums[0], 11.5);
  EXPECT_DOUBLE_EQ(back->sums[1], 2.0);
}

TEST(RateScale, KeepsFullPrecision) {
  RateScale scale;
  addToRateScale(scale, 0, 0.1);
  addToRateScale(scale, 0, 1e-17);
  const auto back = parseRateScale(formatRateScale(scale));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->sums[0], scale.sums[0]);
}

TEST(RateScale, ForeignTextIsRejected) {
  for (const char* text :
       {"", "v1", "v2;0;0;0", "v1;0;0", "v1;x;0;0", "v1;0;0;0;0", "v1;16777216;0;0", "v1;0;1,5;0"}) {
    EXPECT_FALSE(parseRateScale(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace mirrox::udf
