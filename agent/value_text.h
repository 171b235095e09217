#pragma once

#include <cstdint>
#include <string>

namespace mirrox::agent {

// The text forms of column values in a result file, as the server's batch reader expects them:
// '.' as the decimal point whatever the locale, day-first dates.

// An exact numeric with Firebird's scale (0 or negative): 12345 with scale -2 gives "123.45",
// -5 with scale -3 gives "-0.005". No exponent, no rounding.
std::string formatScaled(std::int64_t value, int scale);

// Shortest text that reads back as the same double, '.' as the point ("0.1", "1e+300").
std::string formatDouble(double value);
// The same for a single-precision column, so 0.1f reads "0.1" and not its double expansion.
std::string formatFloat(float value);

// "dd.mm.yyyy"
std::string formatDate(unsigned year, unsigned month, unsigned day);
// "hh:nn:ss"; fractions of a second are dropped.
std::string formatTime(unsigned hours, unsigned minutes, unsigned seconds);
// "dd.mm.yyyy hh:nn:ss"
std::string formatTimestamp(unsigned year, unsigned month, unsigned day, unsigned hours, unsigned minutes,
                            unsigned seconds);

}  // namespace mirrox::agent
