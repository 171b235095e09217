#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "link/platform/host.h"

namespace mirrox {

using platform::HostSystem;

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
  // What the properties dialog proposes as an object's local database, by type. The same files
  // as the two above; on Windows written the way operators there know them ("C:\db\...").
  std::string meteringDbProposal;
  std::string journalDbProposal;

  static AppPaths forExecutableDir(const std::filesystem::path& exeDir,
                                   HostSystem system = platform::hostSystem());
};

// The directory of the installation this process serves: the directory of the path it was started
// by, a symbolic link there not followed. A copy of the program, or a link to it, in any directory
// is an installation of its own (a packaged installation is a link in /var/lib/mirrox to the
// program in /usr/lib/mirrox). Where the system does not say how the program was started, the
// directory of the executable file. Call it before the process changes its working directory.
std::filesystem::path installationDirectory();

// The application title: the executable's file name cut before its first dot, the first letter as
// it is and every letter after it in lower case ("mirrox" gives "mirrox", "REPL.server.exe"
// gives "Repl").
std::string applicationTitle(std::string_view exeFileName);

}  // namespace mirrox
