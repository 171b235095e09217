#include "shell/app_paths.h"

#include <cctype>

#include "shell/settings_keys.h"

namespace mirrox {

AppPaths AppPaths::forExecutableDir(const std::filesystem::path& exeDir) {
  AppPaths p;
  p.exeDir = exeDir;
  p.settingsFile = exeDir / settings::kFileName;
  p.logDir = exeDir / "Log";
#ifdef _WIN32
  p.dbDir = "C:\\DB";
#else
  p.dbDir = exeDir / "DB";
#endif
  p.meteringDb = p.dbDir / "serverdb.gdb";
  p.journalDb = p.dbDir / "journal.db";
  return p;
}

std::string applicationTitle(std::string_view exeFileName) {
  std::string title(exeFileName.substr(0, exeFileName.find('.')));
  for (std::size_t i = 1; i < title.size(); ++i) {
    title[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(title[i])));
  }
  if (!title.empty()) title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
  return title;
}

}  // namespace mirrox
