#include "shell/app_paths.h"

#include <QCoreApplication>
#include <QString>
#include <optional>

#include "link/platform/host.h"
#include "shell/settings_keys.h"

namespace mirrox {

AppPaths AppPaths::forExecutableDir(const std::filesystem::path& exeDir, HostSystem system) {
  AppPaths p;
  p.exeDir = exeDir;
  p.settingsFile = exeDir / settings::kFileName;
  p.logDir = exeDir / "Log";
  if (system == HostSystem::Windows) {
    // Spelled out rather than joined, so the form is the same whichever system builds it.
    p.dbDir = "C:\\DB";
    p.meteringDb = "C:\\DB\\serverdb.gdb";
    p.journalDb = "C:\\DB\\journal.db";
    p.meteringDbProposal = "C:\\db\\serverdb.gdb";
    p.journalDbProposal = "C:\\db\\journal.db";
  } else {
    p.dbDir = exeDir / "DB";
    p.meteringDb = p.dbDir / "serverdb.gdb";
    p.journalDb = p.dbDir / "journal.db";
    p.meteringDbProposal = p.meteringDb.string();
    p.journalDbProposal = p.journalDb.string();
  }
  return p;
}

std::filesystem::path installationDirectory() {
  if (std::optional<std::filesystem::path> started = platform::startedFromDirectory()) return *started;
  return QCoreApplication::applicationDirPath().toStdString();
}

std::string applicationTitle(std::string_view exeFileName) {
  // Letters, not bytes: a name may hold Cyrillic letters.
  const QString name = QString::fromUtf8(exeFileName.data(), static_cast<qsizetype>(exeFileName.size()));
  const QString base = name.left(name.indexOf(QLatin1Char('.')));
  if (base.isEmpty()) return {};
  return (base.left(1) + base.mid(1).toLower()).toStdString();
}

}  // namespace mirrox
