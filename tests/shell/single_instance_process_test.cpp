// Single instance, the command-line words and the exit step, on real copies of the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "link/cp1251.h"
#include "mirrox_version.h"
#include "tests/shell/program_copy.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::eventually;
using testing_support::readFile;

class SingleInstance : public ProgramCopy {
 protected:
  SingleInstance() { standInDatabases(); }
};

TEST_F(SingleInstance, CloseWithNoInstanceRunningEndsAtOnceWithoutALogLine) {
  auto closer = start({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Log" / "mirrox.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "mirrox.ini"));
}

TEST_F(SingleInstance, VersionAndHelpAnswerWithoutStartingAnything) {
  auto version = start({"--version"});
  EXPECT_EQ(version->waitFor(20s), 0);
  const std::string said = readFile(dir_ / "output.txt");
  EXPECT_EQ(said.rfind("mirrox " + std::string(kMirroxVersion) + " (Firebird client ", 0), 0u) << said;
  auto help = start({"--help"});
  EXPECT_EQ(help->waitFor(20s), 0);
  const std::string usage = readFile(dir_ / "output.txt").substr(said.size());
  EXPECT_EQ(usage.rfind("Usage: mirrox [/auto | close]\n", 0), 0u) << usage;
  for (const char* word : {"  /auto ", "  close ", "  --version ", "  --help "}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Log" / "mirrox.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "mirrox.ini"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "MirroxTovin.lock"));
}

TEST_F(SingleInstance, LinkToTheProgramInAnotherDirectoryIsAnInstallationOfItsOwn) {
  // As a packaged installation is made: the program in one place, a link to it where its files are.
  const auto home = dir_ / "home";
  std::filesystem::create_directories(home / "DB");
  std::filesystem::create_directories(home / "Log");
  testing_support::writeFile(home / "DB" / "serverdb.gdb", "");
  testing_support::writeFile(home / "DB" / "journal.db", "");
  std::filesystem::create_symlink(dir_ / "mirrox", home / "mirrox");
  auto linked = startProgram(home / "mirrox", {}, "tmp");
  ASSERT_TRUE(eventually([&] { return std::filesystem::exists(home / "Log" / "mirrox.txt"); })) << log();
  // The program's own directory is a second installation, served by a process of its own.
  auto own = start({});
  ASSERT_TRUE(eventually([&] { return startedUp(); })) << log();
  EXPECT_TRUE(linked->running());

  EXPECT_EQ(startProgram(home / "mirrox", {"close"}, "tmp")->waitFor(20s), 0);
  EXPECT_EQ(linked->waitFor(20s), 0);
  EXPECT_TRUE(own->running());
  EXPECT_TRUE(std::filesystem::exists(home / "mirrox.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(home / "mirrox"));
  EXPECT_EQ(start({"close"})->waitFor(20s), 0);
  EXPECT_EQ(own->waitFor(20s), 0);
}

TEST_F(SingleInstance, SecondStartEndsSilentlyAndCloseEndsTheFirstWhichSavesItsState) {
  testing_support::writeFile(dir_ / "mirrox.ini",
                             utf8ToCp1251("[Main]\r\nperiod=15\r\nchk=1\r\n[3]\r\nods=Котельная\r\n"
                                          "host=127.0.0.1\r\nf32=777\r\ndtime=18.01.2009\r\n"));
  auto first = start({});
  ASSERT_TRUE(eventually([&] { return startedUp(); })) << log();
  EXPECT_NE(log().find(" -= Запуск приложения =- \r\n"), std::string::npos);
  // The version and the database client it runs with come right after the start line.
  const std::string startLine = " -= Запуск приложения =- \r\n";
  const std::size_t next = log().find(startLine) + startLine.size();
  const std::string nextLine = log().substr(next, log().find("\r\n", next) - next);
  EXPECT_NE(nextLine.find("Версия " + std::string(kMirroxVersion) + ", клиент Firebird LI-V"),
            std::string::npos)
      << log();
  EXPECT_NE(log().find("1. Котельная\r\n"), std::string::npos);

  auto second = start({});
  EXPECT_EQ(second->waitFor(20s), 0);
  EXPECT_TRUE(first->running());
  EXPECT_EQ(count("Запуск приложения"), 1u);

  auto closer = start({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  EXPECT_EQ(first->waitFor(20s), 0);
  EXPECT_EQ(count("Запрос на завершение приложения ...\r\n"), 1u);
  EXPECT_NE(log().rfind(" Приложение завершено \r\n"), std::string::npos);
  EXPECT_EQ(log().substr(log().size() - std::string(" Приложение завершено \r\n").size()),
            " Приложение завершено \r\n");

  const std::string ini = cp1251ToUtf8(readFile(dir_ / "mirrox.ini"));
  EXPECT_NE(ini.find("[Main]\r\nperiod=15\r\nchk=1\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("f32=777\r\ndtime=18.01.2009\r\n"), std::string::npos) << ini;
}

TEST_F(SingleInstance, AutoWithASecondArgumentStartsWithoutWaitingForTheDatabaseServer) {
  auto first = start({"/auto", "now"});
  ASSERT_TRUE(eventually([&] { return startedUp(); })) << log();
  EXPECT_EQ(log().find("Ожидание запуска сервера БД"), std::string::npos);
  auto closer = start({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  EXPECT_EQ(first->waitFor(20s), 0);
  // The exit step writes the state even for a file that did not exist.
  EXPECT_NE(readFile(dir_ / "mirrox.ini").find("[Main]\r\nperiod=10\r\nchk=0\r\n"), std::string::npos);
}

TEST_F(SingleInstance, UnwritableDatabaseDirectoryStopsTheStartUpButTheProgramStillClosesCleanly) {
  std::filesystem::remove_all(dir_ / "DB");
  testing_support::writeFile(dir_ / "DB", "a file where the database directory should be");
  auto first = start({});
  ASSERT_TRUE(eventually([&] { return startedUp(); })) << log();
  auto closer = start({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  EXPECT_EQ(first->waitFor(20s), 0);
  EXPECT_EQ(log().find("Создан файл серверной БД"), std::string::npos);
  EXPECT_NE(log().rfind(" Приложение завершено \r\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir_ / "mirrox.ini"));
}

TEST_F(SingleInstance, OneInstallationRunsOnceWhateverTheTemporaryDirectory) {
  auto first = start({}, "tmp-service");
  ASSERT_TRUE(eventually([&] { return startedUp(); })) << log();
  auto second = start({}, "tmp-desktop");
  EXPECT_EQ(second->waitFor(20s), 0);
  EXPECT_TRUE(first->running());
  EXPECT_EQ(count("Запуск приложения"), 1u);

  auto closer = start({"close"}, "tmp-other-user");
  EXPECT_EQ(closer->waitFor(20s), 0);
  EXPECT_EQ(first->waitFor(20s), 0);
  EXPECT_NE(log().rfind(" Приложение завершено \r\n"), std::string::npos);
}

TEST_F(SingleInstance, SeparateInstallationsRunSideBySideWithOneTemporaryDirectory) {
  testing_support::TempDir otherDir;
  std::filesystem::copy_file(dir_ / "mirrox", otherDir / "mirrox");
  std::filesystem::copy(dir_ / "DB", otherDir / "DB", std::filesystem::copy_options::recursive);
  std::filesystem::create_directory(otherDir / "Log");
  auto startOther = [&](const std::vector<std::string>& args) {
    return std::make_unique<ChildProcess>(
        otherDir / "mirrox", args,
        std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                           {"TMPDIR", (dir_ / "tmp").string()},
                                           {"LSAN_OPTIONS", testing_support::kLsanOptions}},
        otherDir.path(), otherDir / "output.txt");
  };
  auto first = start({});
  ASSERT_TRUE(eventually([&] { return startedUp(); })) << log();
  auto other = startOther({});
  const auto otherLog = [&] {
    const auto path = otherDir / "Log" / "mirrox.txt";
    return std::filesystem::exists(path) ? cp1251ToUtf8(readFile(path)) : std::string();
  };
  ASSERT_TRUE(
      eventually([&] { return otherLog().find("---------------------------") != std::string::npos; }));
  EXPECT_TRUE(first->running());

  // "close" reaches the instance of its own installation only.
  EXPECT_EQ(startOther({"close"})->waitFor(20s), 0);
  EXPECT_EQ(other->waitFor(20s), 0);
  EXPECT_TRUE(first->running());
  EXPECT_EQ(start({"close"})->waitFor(20s), 0);
  EXPECT_EQ(first->waitFor(20s), 0);
}

TEST_F(SingleInstance, SettingsFileThatCannotBeReadComesOutOfAStartAndCloseByteForByte) {
  const std::string original = utf8ToCp1251(
      "[Main]\r\nperiod=15\r\nchk=0\r\n[1]\r\nods=Первый\r\nhost=10.0.0.1\r\n[2]\r\nods=Второй\r\n");
  testing_support::writeFile(dir_ / "mirrox.ini", original);
  std::filesystem::permissions(dir_ / "mirrox.ini", std::filesystem::perms::owner_write);  // 0200
  auto first = startAsAnyAccount({});
  ASSERT_TRUE(eventually([&] { return startedUp(); })) << log();
  EXPECT_EQ(start({"close"})->waitFor(20s), 0);
  EXPECT_EQ(first->waitFor(20s), 0);

  EXPECT_NE(log().find("Файл настроек не прочитан"), std::string::npos) << log();
  EXPECT_NE(log().find("Unable to write to " + (dir_ / "mirrox.ini").string() + "\r\n"), std::string::npos)
      << log();
  EXPECT_EQ(readFile(dir_ / "mirrox.ini"), original);
}

TEST_F(SingleInstance, CrashedInstanceDoesNotBlockTheNextStart) {
  auto first = start({});
  ASSERT_TRUE(eventually([&] { return startedUp(); }));
  first.reset();  // killed: its lock and socket files stay behind
  auto next = start({});
  ASSERT_TRUE(eventually([&] { return count("---------------------------\r\n") == 2; })) << log();
  auto closer = start({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  EXPECT_EQ(next->waitFor(20s), 0);
}

}  // namespace
}  // namespace mirrox
