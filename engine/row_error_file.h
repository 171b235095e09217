#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/date_time.h"

namespace mirrox {

// `RowErrorFile`: the file of rows that the local database refused.
inline constexpr const char* kRowErrorFileName = "replica_error.txt";

// Appends one entry: the time (dd.mm.yyyy h:nn:ss), a blank, the error message, CR LF, the
// statement, CR LF, CR LF, each bound value followed by ":" (NULL as nothing), CR LF. Message and
// statement are UTF-8 and written in code page 1251; the values are written as the row held them.
// Creates the file when missing and closes it after the entry. Throws fb::Error when it cannot
// be written (a refused row that cannot be recorded must not pass unnoticed).
void appendRowError(const std::filesystem::path& file, DateTime now, std::string_view message,
                    std::string_view statement, std::span<const std::optional<std::string>> values);

}  // namespace mirrox
