#pragma once

#include <string_view>

namespace mirrox::udf {

// The house sort key: the decimal number at the start of a house number text (after leading
// blanks), so "2", "2а" and "2/1" all get 2 and sort before "10"; the number is capped at 32767 so
// that the key always fits a SMALLINT column; a text without a leading digit gets 0 and goes
// first. Houses with equal keys are ordered by the listing's other columns (number text, building,
// block). The key depends on the number text alone.
int houseSortKey(std::string_view number);

}  // namespace mirrox::udf
