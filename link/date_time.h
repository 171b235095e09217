#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirrox {

// Local date and time as days since 30 December 1899, the time of day as the fraction.
using DateTime = double;

struct DateTimeParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// REQUIRES: the parts form a valid date and time (see isValidDate).
DateTime encodeDateTime(const DateTimeParts& parts);
DateTimeParts decodeDateTime(DateTime value);
bool isValidDate(int year, int month, int day);

// The current local time.
DateTime localNow();

// A local time as seconds since the Unix epoch, through the machine's time zone (for monitoring
// systems, which count in that form).
double unixSeconds(DateTime localTime);

// Formats with the tokens d dd m mm yy yyyy h hh nn ss; `nn` is always minutes and `mm` always the
// month. Any other character is copied as it stands.
std::string formatDateTime(std::string_view pattern, DateTime value);

// The Russian regional forms used on every platform, so that files written on one machine read
// the same on another: short date "dd.mm.yyyy", long time "h:nn:ss".
// A time of exactly midnight gives the date alone.
std::string formatRussianDateTime(DateTime value);

// Parses a whole text "d.m.yyyy" optionally followed by blanks and "h:nn" or "h:nn:ss".
// Day and month take one or two digits, the hour one or two, minutes and seconds two.
// Strict: anything else, including an impossible date or time, gives nullopt.
std::optional<DateTime> parseRussianDateTime(std::string_view text);

// Parses a whole text "d.m.yyyy" with no time part; strict like parseRussianDateTime.
std::optional<DateTime> parseRussianDate(std::string_view text);

}  // namespace mirrox
