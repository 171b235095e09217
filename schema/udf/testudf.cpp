// Entry points of the function library that the metering database declares as module
// "testudf.dll". The server calls them with the old external-function convention: arguments by
// reference, CSTRING as a NUL-terminated char pointer, a returned CSTRING allocated with
// ib_util_malloc and released by the server (declared FREE_IT). A NULL argument arrives as an
// empty string or a zero value. Nothing here keeps state between calls, so concurrent
// attachments may call any of them at once.

#include <ib_util.h>
#include <ibase.h>

#include <cstring>
#include <string>

#include "schema/udf/rate_scale.h"
#include "schema/udf/sort_key.h"

#define MIRROX_UDF_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

char* serverString(const std::string& text) {
  auto* out = static_cast<char*>(ib_util_malloc(static_cast<long>(text.size() + 1)));
  if (out != nullptr) {
    std::memcpy(out, text.c_str(), text.size() + 1);
  }
  return out;
}

std::string_view argument(const char* text) { return text != nullptr ? text : ""; }

constexpr unsigned kTicksPerHour = 3600u * ISC_TIME_SECONDS_PRECISION;

}  // namespace

// F_DEFSORT(CSTRING(254)) RETURNS INTEGER BY VALUE.
MIRROX_UDF_EXPORT int DefineSortNumber(const char* number) {
  return mirrox::udf::houseSortKey(argument(number));
}

// F_IPU_PREPARE(CSTRING(64) night hours) RETURNS CSTRING(128) FREE_IT: a new split, or '' for
// night hours that cannot be read.
MIRROX_UDF_EXPORT char* PrepareRateScale(const char* nightHours) {
  const auto mask = mirrox::udf::parseNightHours(argument(nightHours));
  if (!mask) {
    return serverString("");
  }
  mirrox::udf::RateScale scale;
  scale.nightMask = *mask;
  return serverString(mirrox::udf::formatRateScale(scale));
}

// F_IPU_DATA(CSTRING(128) split, TIMESTAMP, DOUBLE PRECISION amount) RETURNS CSTRING(128)
// FREE_IT: the split with the amount added to the tariff of the timestamp's hour; '' stays ''.
MIRROX_UDF_EXPORT char* ProceedRateData(const char* state, const ISC_TIMESTAMP* at, const double* amount) {
  auto scale = mirrox::udf::parseRateScale(argument(state));
  if (!scale) {
    return serverString("");
  }
  const int hour = at != nullptr ? static_cast<int>(at->timestamp_time / kTicksPerHour) : 0;
  mirrox::udf::addToRateScale(*scale, hour, amount != nullptr ? *amount : 0.0);
  return serverString(mirrox::udf::formatRateScale(*scale));
}

// F_IPU_RESULT(CSTRING(128) split, INTEGER tariff) RETURNS DOUBLE PRECISION BY VALUE: the sum of
// tariff 0 (day) or 1 (night); 0 for any other tariff or an unreadable split.
MIRROX_UDF_EXPORT double GetResult(const char* state, const int* tariff) {
  const auto scale = mirrox::udf::parseRateScale(argument(state));
  if (!scale || tariff == nullptr || *tariff < 0 || *tariff > 1) {
    return 0.0;
  }
  return scale->sums[*tariff];
}

// F_IPU_CLOSE(CSTRING(128) split) RETURNS INTEGER BY VALUE: 0 for a readable split, 1 otherwise.
// The split lives in the caller's variables, so there is nothing to release here.
MIRROX_UDF_EXPORT int CloseRateScale(const char* state) {
  return mirrox::udf::parseRateScale(argument(state)) ? 0 : 1;
}
