#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mirrox {

// Where the program keeps its files. Everything it writes lives beside the executable, so a copy
// of the program in another directory is a separate installation with its own settings, log and
// database directory.
struct AppPaths {
  std::filesystem::path exeDir;
  std::filesystem::path settingsFile;  // mirrox.ini
  std::filesystem::path logDir;        // LogDir: Log/
  std::filesystem::path dbDir;         // C:\DB\ on Windows, DB/ beside the executable elsewhere
  std::filesystem::path meteringDb;    // serverdb.gdb, from the template "DB_L"
  std::filesystem::path journalDb;     // journal.db, from the template "DB_J"

  static AppPaths forExecutableDir(const std::filesystem::path& exeDir);
};

// The application title: the executable's file name cut before its first dot, every letter
// after the first in lower case ("mirrox.exe" gives "Mirrox").
std::string applicationTitle(std::string_view exeFileName);

}  // namespace mirrox
