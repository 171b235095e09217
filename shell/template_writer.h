#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace mirrox {

// Writes the carried template of a local database (type 0: metering "DB_L", type 1: journal
// "DB_J") byte for byte into a new file at `path`. The file is made usable by the local Firebird
// server, which runs under its own account. Returns the error text, naming the path and the
// system's reason, or nullopt on success. A file that already exists is never touched: that is
// an error here.
std::optional<std::string> WriteTemplate(const std::filesystem::path& path, int dbType);

}  // namespace mirrox
