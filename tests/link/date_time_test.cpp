#include "link/date_time.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mirrox {
namespace {

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return encodeDateTime({y, mo, d, h, mi, s, 0});
}

TEST(DateTime, DaysCountFromThirtiethOfDecember1899) {
  EXPECT_EQ(at(1899, 12, 30), 0.0);
  EXPECT_EQ(at(1900, 1, 1), 2.0);
  EXPECT_EQ(at(2000, 1, 18), 36543.0);
  EXPECT_DOUBLE_EQ(at(2009, 1, 18, 18, 0, 0), 39831.75);
  const DateTimeParts p = decodeDateTime(at(2024, 2, 29, 23, 59, 59));
  EXPECT_EQ(p.year, 2024);
  EXPECT_EQ(p.month, 2);
  EXPECT_EQ(p.day, 29);
  EXPECT_EQ(p.hour, 23);
  EXPECT_EQ(p.minute, 59);
  EXPECT_EQ(p.second, 59);
}

TEST(DateTime, CalendarKeepsTheGregorianLeapRulesOverTheWholeRange) {
  EXPECT_TRUE(isValidDate(2000, 2, 29));   // a fourth century is a leap year
  EXPECT_FALSE(isValidDate(1900, 2, 29));  // any other century is not
  EXPECT_TRUE(isValidDate(2024, 2, 29));
  EXPECT_FALSE(isValidDate(2024, 4, 31));
  EXPECT_FALSE(isValidDate(0, 1, 1));
  EXPECT_FALSE(isValidDate(10000, 1, 1));
  EXPECT_EQ(at(1899, 12, 29), -1.0);
  EXPECT_EQ(at(1, 1, 1), -693593.0);
  EXPECT_EQ(at(9999, 12, 31), 2958465.0);
  // Every first of March from year 1 to 9999 decodes to itself, across every leap day before it.
  for (int year = 1; year <= 9999; ++year) {
    const DateTimeParts p = decodeDateTime(at(year, 3, 1));
    ASSERT_EQ(p.year, year);
    ASSERT_EQ(p.month, 3);
    ASSERT_EQ(p.day, 1);
  }
}

TEST(DateTime, FormatsTheProgramsPatterns) {
  const DateTime t = at(2009, 1, 8, 9, 5, 33);
  EXPECT_EQ(formatDateTime("dd.mm hh:nn:ss ", t), "08.01 09:05:33 ");
  EXPECT_EQ(formatDateTime("dd.mm hh:nn", t), "08.01 09:05");
  EXPECT_EQ(formatDateTime("hh:nn:ss", t), "09:05:33");
  EXPECT_EQ(formatDateTime("dd.mm.yyyy hh:nn:ss", t), "08.01.2009 09:05:33");
  EXPECT_EQ(formatRussianDateTime(t), "08.01.2009 9:05:33");
}

TEST(DateTime, MidnightIsWrittenAsTheDateAloneAndReadsBackAsMidnight) {
  const DateTime midnight = at(2009, 1, 18);
  EXPECT_EQ(formatRussianDateTime(midnight), "18.01.2009");
  EXPECT_EQ(parseRussianDateTime("18.01.2009"), midnight);
  EXPECT_EQ(formatRussianDateTime(at(2009, 1, 18, 0, 0, 1)), "18.01.2009 0:00:01");
}

TEST(DateTime, ParsesLooseDigitCountsAndOptionalSeconds) {
  EXPECT_EQ(parseRussianDateTime("18.01.2009 9:05:33"), at(2009, 1, 18, 9, 5, 33));
  EXPECT_EQ(parseRussianDateTime("1.2.2009 19:05"), at(2009, 2, 1, 19, 5, 0));
  EXPECT_EQ(parseRussianDate("18.01.2000"), at(2000, 1, 18));
}

TEST(DateTime, RejectsAnythingThatIsNotEntirelyAValidDate) {
  for (const char* bad : {"", "31.02.2024", "29.02.2023", "18.13.2009", "18.01.09", "18/01/2009",
                          "18.01.2009x", "18.01.2009 24:00:00", "18.01.2009 9:60", "18.01.2009 9:5",
                          "18.01.2009 ", " 18.01.2009", "18.01.2009';drop", "a.b.cccc"}) {
    EXPECT_FALSE(parseRussianDateTime(bad).has_value()) << bad;
  }
  EXPECT_FALSE(parseRussianDate("18.01.2009 9:05:33").has_value());
}

}  // namespace
}  // namespace mirrox
