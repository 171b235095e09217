// The date texts the operator types (and the settings file's "dtime"): a text is accepted only
// when it is entirely a valid date, and what is accepted formats back to a text that reads the
// same and can go inside an SQL literal as it stands.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/date_time.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

namespace {

void checkAccepted(std::string_view text, DateTime value, bool dateOnly) {
  fuzzCheck(text.find_first_not_of("0123456789. :") == std::string_view::npos,
            "an accepted text holds only digits, dots, blanks and colons", text);
  const DateTimeParts parts = decodeDateTime(value);
  fuzzCheck(isValidDate(parts.year, parts.month, parts.day), "an accepted text is a valid date", text);
  if (dateOnly) {
    fuzzCheck(parts.hour == 0 && parts.minute == 0 && parts.second == 0 && parts.millisecond == 0,
              "a date alone is midnight", text);
  }
  for (const std::string& formatted : {formatRussianDateTime(value), formatDateTime("dd.mm.yyyy", value),
                                       formatDateTime("dd.mm.yyyy hh:nn:ss", value)}) {
    fuzzCheck(formatted.find_first_of("'\"") == std::string::npos, "a formatted date has no quote", text);
    const auto back = parseRussianDateTime(formatted);
    fuzzCheck(back.has_value(), "a formatted date reads back", text);
    const DateTimeParts again = decodeDateTime(*back);
    fuzzCheck(again.year == parts.year && again.month == parts.month && again.day == parts.day,
              "a formatted date reads back as the same day", text);
  }
  const auto full = parseRussianDateTime(formatRussianDateTime(value));
  fuzzCheck(full && formatRussianDateTime(*full) == formatRussianDateTime(value),
            "a formatted date and time reads back as the same moment", text);
  // The form the engine binds a row's timestamp in, read by the server without regard to its
  // date style.
  const std::string bound = formatDateTime("yyyy-mm-dd hh:nn:ss", value);
  fuzzCheck(bound.size() == 19 && bound.find_first_not_of("0123456789-: ") == std::string::npos,
            "a bound timestamp has the fixed form", text);
  const auto day = parseRussianDate(formatDateTime("dd.mm.yyyy", value));
  fuzzCheck(day.has_value(), "the date part alone is a date", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto dateOnly = parseRussianDate(text);
  const auto dateTime = parseRussianDateTime(text);
  if (dateOnly) {
    fuzzCheck(dateTime && *dateTime == *dateOnly, "a date is also a date and time of the same value", text);
    checkAccepted(text, *dateOnly, true);
  }
  if (dateTime) checkAccepted(text, *dateTime, false);
  return 0;
}
