// Where an installation keeps its files, and the title its message boxes carry.
#include "shell/app_paths.h"

#include <gtest/gtest.h>

namespace mirrox {
namespace {

TEST(ApplicationTitle, KeepsTheFirstLetterAsItIsAndLowersTheRestOfTheNameBeforeTheFirstDot) {
  EXPECT_EQ(applicationTitle("mirrox"), "mirrox");
  EXPECT_EQ(applicationTitle("Mirrox.exe"), "Mirrox");
  EXPECT_EQ(applicationTitle("REPL.server.exe"), "Repl");
  EXPECT_EQ(applicationTitle("РЕПЛИКАТОР.exe"), "Репликатор");  // letters, not bytes
  EXPECT_EQ(applicationTitle(".hidden"), "");
}

TEST(AppPaths, WindowsProposesTheLocalDatabasesInCDbAndWritesTheTemplatesThere) {
  const AppPaths p = AppPaths::forExecutableDir("C:\\Mirrox", HostSystem::Windows);
  EXPECT_EQ(p.meteringDbProposal, "C:\\db\\serverdb.gdb");
  EXPECT_EQ(p.journalDbProposal, "C:\\db\\journal.db");
  EXPECT_EQ(p.meteringDb.string(), "C:\\DB\\serverdb.gdb");
  EXPECT_EQ(p.journalDb.string(), "C:\\DB\\journal.db");
}

TEST(AppPaths, ElsewhereTheDatabasesLiveInDbBesideTheExecutableAndTheProposalsNameThem) {
  const AppPaths p = AppPaths::forExecutableDir("/opt/mirrox", HostSystem::Posix);
  EXPECT_EQ(p.settingsFile, "/opt/mirrox/mirrox.ini");
  EXPECT_EQ(p.logDir, "/opt/mirrox/Log");
  EXPECT_EQ(p.meteringDb, "/opt/mirrox/DB/serverdb.gdb");
  EXPECT_EQ(p.meteringDbProposal, "/opt/mirrox/DB/serverdb.gdb");
  EXPECT_EQ(p.journalDbProposal, "/opt/mirrox/DB/journal.db");
}

}  // namespace
}  // namespace mirrox
