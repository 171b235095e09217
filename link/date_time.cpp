#include "link/date_time.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace mirrox {
namespace {

namespace chrono = std::chrono;

// Day 0 of DateTime.
constexpr chrono::sys_days kEpoch = chrono::year{1899} / chrono::December / 30;

long daysFromCivil(int y, int m, int d) {
  const chrono::sys_days day =
      chrono::year{y} / chrono::month{static_cast<unsigned>(m)} / chrono::day{static_cast<unsigned>(d)};
  return static_cast<long>((day - kEpoch).count());
}

void civilFromDays(long z, int& y, int& m, int& d) {
  const chrono::year_month_day date{kEpoch + chrono::days{z}};
  y = static_cast<int>(date.year());
  m = static_cast<int>(static_cast<unsigned>(date.month()));
  d = static_cast<int>(static_cast<unsigned>(date.day()));
}

bool readDigits(std::string_view text, std::size_t& pos, int minDigits, int maxDigits, int& value) {
  int count = 0;
  value = 0;
  while (pos < text.size() && count < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++count;
  }
  return count >= minDigits;
}

bool readChar(std::string_view text, std::size_t& pos, char c) {
  if (pos < text.size() && text[pos] == c) {
    ++pos;
    return true;
  }
  return false;
}

void appendNumber(std::string& out, int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  out += buf;
}

}  // namespace

bool isValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return false;
  return chrono::year_month_day{chrono::year{year}, chrono::month{static_cast<unsigned>(month)},
                                chrono::day{static_cast<unsigned>(day)}}
      .ok();
}

DateTime encodeDateTime(const DateTimeParts& p) {
  const long days = daysFromCivil(p.year, p.month, p.day);
  const double time = ((p.hour * 60.0 + p.minute) * 60.0 + p.second + p.millisecond / 1000.0) / 86400.0;
  return static_cast<double>(days) + time;
}

DateTimeParts decodeDateTime(DateTime value) {
  // Round to whole milliseconds first so that 23:59:59.9996 does not read back as 24:00:00.
  const long long totalMs = std::llround(value * 86400000.0);
  long long days = totalMs / 86400000;
  long long msOfDay = totalMs % 86400000;
  if (msOfDay < 0) {
    msOfDay += 86400000;
    --days;
  }
  DateTimeParts p;
  civilFromDays(static_cast<long>(days), p.year, p.month, p.day);
  p.hour = static_cast<int>(msOfDay / 3600000);
  p.minute = static_cast<int>(msOfDay / 60000 % 60);
  p.second = static_cast<int>(msOfDay / 1000 % 60);
  p.millisecond = static_cast<int>(msOfDay % 1000);
  return p;
}

DateTime localNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t secs = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&secs, &tm);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  DateTimeParts p;
  p.year = tm.tm_year + 1900;
  p.month = tm.tm_mon + 1;
  p.day = tm.tm_mday;
  p.hour = tm.tm_hour;
  p.minute = tm.tm_min;
  p.second = tm.tm_sec;
  p.millisecond = static_cast<int>(ms.count());
  return encodeDateTime(p);
}

double unixSeconds(DateTime localTime) {
  const DateTimeParts p = decodeDateTime(localTime);
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_isdst = -1;  // whatever the zone's rule says for that day
  return static_cast<double>(std::mktime(&tm)) + p.millisecond / 1000.0;
}

std::string formatDateTime(std::string_view pattern, DateTime value) {
  const DateTimeParts p = decodeDateTime(value);
  std::string out;
  std::size_t i = 0;
  auto run = [&](char c) {
    std::size_t n = 0;
    while (i + n < pattern.size() && pattern[i + n] == c) ++n;
    return n;
  };
  while (i < pattern.size()) {
    const char c = pattern[i];
    const std::size_t n = (c == 'd' || c == 'm' || c == 'y' || c == 'h' || c == 'n' || c == 's') ? run(c) : 0;
    switch (c) {
      case 'd':
        appendNumber(out, p.day, n >= 2 ? 2 : 1);
        break;
      case 'm':
        appendNumber(out, p.month, n >= 2 ? 2 : 1);
        break;
      case 'h':
        appendNumber(out, p.hour, n >= 2 ? 2 : 1);
        break;
      case 'n':
        appendNumber(out, p.minute, 2);
        break;
      case 's':
        appendNumber(out, p.second, 2);
        break;
      case 'y':
        if (n >= 4)
          appendNumber(out, p.year, 4);
        else
          appendNumber(out, p.year % 100, 2);
        break;
      default:
        out.push_back(c);
        i += 1;
        continue;
    }
    i += n;
  }
  return out;
}

std::string formatRussianDateTime(DateTime value) {
  const DateTimeParts p = decodeDateTime(value);
  if (p.hour == 0 && p.minute == 0 && p.second == 0) return formatDateTime("dd.mm.yyyy", value);
  return formatDateTime("dd.mm.yyyy h:nn:ss", value);
}

std::optional<DateTime> parseRussianDateTime(std::string_view text) {
  std::size_t pos = 0;
  DateTimeParts p;
  if (!readDigits(text, pos, 1, 2, p.day) || !readChar(text, pos, '.') ||
      !readDigits(text, pos, 1, 2, p.month) || !readChar(text, pos, '.') ||
      !readDigits(text, pos, 4, 4, p.year)) {
    return std::nullopt;
  }
  if (!isValidDate(p.year, p.month, p.day)) return std::nullopt;
  if (pos < text.size()) {
    if (text[pos] != ' ') return std::nullopt;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (!readDigits(text, pos, 1, 2, p.hour) || !readChar(text, pos, ':') ||
        !readDigits(text, pos, 2, 2, p.minute)) {
      return std::nullopt;
    }
    if (readChar(text, pos, ':') && !readDigits(text, pos, 2, 2, p.second)) return std::nullopt;
    if (pos != text.size() || p.hour > 23 || p.minute > 59 || p.second > 59) return std::nullopt;
  }
  return encodeDateTime(p);
}

std::optional<DateTime> parseRussianDate(std::string_view text) {
  if (text.find(' ') != std::string_view::npos) return std::nullopt;
  return parseRussianDateTime(text);
}

}  // namespace mirrox
