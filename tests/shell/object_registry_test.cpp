#include "shell/object_registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "link/cp1251.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scoped_umask.h"
#include "tests/support/temp_dir.h"
#include "tests/support/without_capabilities.h"

namespace mirrox {
namespace {

using testing_support::readFile;
using testing_support::writeFile;

class RecordingObserver : public RegistryObserver {
 public:
  void scheduleLoaded(int periodMinutes, bool nightFlag) override {
    period = periodMinutes;
    night = nightFlag;
  }
  void logLine(const std::string& text) override { log.push_back(text); }
  void objectAdded(int index) override { added.push_back(index); }
  void objectChanged(int index) override { changed.push_back(index); }

  int period = -1;
  bool night = false;
  std::vector<std::string> log;
  std::vector<int> added;
  std::vector<int> changed;
};

class ObjectRegistryTest : public ::testing::Test {
 protected:
  // 18.01.2009 12:00:00
  ObjectRegistryTest() : clock_(encodeDateTime({2009, 1, 18, 12, 0, 0, 0})) {}

  std::filesystem::path ini() const { return dir_ / "mirrox.ini"; }
  void writeIni(const std::string& utf8) { writeFile(ini(), utf8ToCp1251(utf8)); }
  ObjectRegistry& load() {
    registry_.LoadObjects();
    return registry_;
  }
  // A settings file that could not be read in full: no objects, one log line naming it, and a save
  // that refuses instead of replacing it.
  void expectUnreadableAndNeverReplaced() {
    EXPECT_EQ(registry_.count(), 0);
    ASSERT_EQ(observer_.log.size(), 1u);
    EXPECT_NE(observer_.log[0].find(ini().string()), std::string::npos) << observer_.log[0];
    try {
      registry_.SaveObjectState(15, false);
      FAIL() << "a settings file that could not be read was replaced";
    } catch (const ProfileWriteError& error) {
      EXPECT_EQ(std::string(error.what()), "Unable to write to " + ini().string());
    }
  }

  testing_support::TempDir dir_;
  testing_support::ManualClock clock_;
  RecordingObserver observer_;
  ObjectRegistry registry_{ini(), clock_, observer_};
};

TEST_F(ObjectRegistryTest, MissingFileLoadsDefaultsAndNoObjects) {
  load();
  EXPECT_EQ(registry_.count(), 0);
  EXPECT_EQ(observer_.period, 10);
  EXPECT_FALSE(observer_.night);
}

TEST_F(ObjectRegistryTest, OnlyNonNegativeIntegerSectionsAreObjectsInFileOrder) {
  writeIni(
      "[Main]\r\nperiod=0x1E\r\nchk=1\r\n[5]\r\nods=Пять\r\n[abc]\r\nods=x\r\n[2]\r\nods=Два\r\n[-1]\r\nods="
      "y\r\n");
  load();
  ASSERT_EQ(registry_.count(), 2);
  EXPECT_EQ(registry_.at(0).SectionId, 5);
  EXPECT_EQ(registry_.at(0).Index, 0);
  EXPECT_EQ(registry_.at(1).SectionId, 2);
  EXPECT_EQ(observer_.period, 30);
  EXPECT_TRUE(observer_.night);
  EXPECT_EQ(observer_.log, (std::vector<std::string>{"1. Пять", "2. Два"}));
  EXPECT_EQ(observer_.added, (std::vector<int>{0, 1}));
  // No section uses 6 yet, and 6 cannot clash with 5 or 2 whatever their order.
  EXPECT_EQ(registry_.AddObject(), 2);
  EXPECT_EQ(registry_.at(2).SectionId, 6);
}

TEST_F(ObjectRegistryTest, ObjectFieldsAndTheirDefaults) {
  writeIni(
      "[007]\r\nods=Котельная\r\nhost=192.168.100.200:5029\r\ndb_path=/db/"
      "a.gdb\r\nremote_db_path=C:\\x.gdb\r\n"
      "db_type=1\r\nservers=0x10\r\nf32=12345\r\ndtime=18.01.2009\r\nuse_ssl=1\r\n"
      "[8]\r\nport=abc\r\ndtime=31.02.2009 10:00:00\r\nf32=\r\n");
  load();
  ASSERT_EQ(registry_.count(), 2);
  const TMyPic& a = registry_.at(0);
  EXPECT_EQ(a.SectionId, 7);
  EXPECT_EQ(a.Name, "Котельная");
  EXPECT_EQ(a.Host(), "192.168.100.200");  // the first 15 of 20 characters
  EXPECT_EQ(a.Port(), 5029);
  EXPECT_EQ(a.LocalDbPath, "/db/a.gdb");
  EXPECT_EQ(a.RemoteDbPath, "C:\\x.gdb");
  EXPECT_EQ(a.DbType, 1);
  EXPECT_EQ(a.ResultId, 16);
  EXPECT_EQ(a.AddressChecksum, 12345);
  EXPECT_EQ(a.LastReplicationTime, encodeDateTime({2009, 1, 18, 0, 0, 0, 0}));  // midnight
  EXPECT_EQ(a.LastReplicationText, "18.01 00:00");
  EXPECT_TRUE(a.LinkOk);

  const TMyPic& b = registry_.at(1);
  EXPECT_EQ(b.Port(), 5029);
  EXPECT_EQ(b.AddressChecksum, 0);
  EXPECT_EQ(b.LastReplicationText, "19.12 12:00");  // the impossible date reads as 30 days back
}

TEST_F(ObjectRegistryTest, LoadsTheFirstHundredOfHundredAndFiftySections) {
  std::string text;
  for (int i = 1; i <= 150; ++i) text += "[" + std::to_string(i) + "]\r\nods=N" + std::to_string(i) + "\r\n";
  writeIni(text);
  load();
  ASSERT_EQ(registry_.count(), 100);
  EXPECT_EQ(registry_.at(99).SectionId, 100);
  EXPECT_EQ(observer_.log.back(), "100. N100");
  // An add must not reuse a section of the unloaded objects.
  EXPECT_EQ(registry_.at(registry_.AddObject()).SectionId, 151);
}

TEST_F(ObjectRegistryTest, SaveWritesStateAndKeepsHostTextAndUnloadedSections) {
  std::string text = "[Main]\r\nchk=1\r\n[1]\r\nhost=123456789012345678901\r\n[007]\r\nods=s\r\n";
  for (int i = 200; i < 300; ++i) text += "[" + std::to_string(i) + "]\r\n";
  text += "[300]\r\nods=never loaded\r\n";
  writeIni(text);
  load();
  registry_.at(0).SetLastReplicationTime(encodeDateTime({2009, 1, 18, 9, 5, 33, 0}));
  registry_.at(0).AddressChecksum = 0x31C3;
  registry_.at(1).SetLastReplicationTime(encodeDateTime({2010, 2, 3, 0, 0, 0, 0}));
  registry_.SaveObjectState(15, true);

  const std::string saved = readFile(ini());
  EXPECT_NE(saved.find("[Main]\r\nchk=1\r\nperiod=15\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("[1]\r\nhost=123456789012345678901\r\ndtime=18.01.2009 9:05:33\r\nf32=12739\r\n"),
            std::string::npos);
  // "007" is object 7, and its state goes back to the section "007": no second object "7" appears.
  EXPECT_NE(saved.find("[007]\r\nods=s\r\ndtime=03.02.2010\r\nf32=0\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("[7]"), std::string::npos);
  EXPECT_NE(saved.find("[300]\r\nods=never loaded\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("[300]\r\nods=never loaded\r\ndtime"), std::string::npos);

  RecordingObserver again;
  ObjectRegistry reloaded(ini(), clock_, again);
  reloaded.LoadObjects();
  EXPECT_EQ(reloaded.at(0).LastReplicationTime, encodeDateTime({2009, 1, 18, 9, 5, 33, 0}));
  EXPECT_EQ(reloaded.at(1).SectionId, 7);
  EXPECT_EQ(reloaded.at(1).LastReplicationTime, encodeDateTime({2010, 2, 3, 0, 0, 0, 0}));
  EXPECT_EQ(reloaded.at(0).AddressChecksum, 0x31C3);
  EXPECT_TRUE(again.night);
}

TEST_F(ObjectRegistryTest, AddedObjectIsWrittenInKeyOrderInCp1251AndReloadsAtTheSameIndex) {
  writeIni("[4]\r\nods=a\r\n[9]\r\nods=b\r\n");
  load();
  const int index = registry_.AddObject();
  EXPECT_EQ(index, 2);
  TMyPic& added = registry_.at(index);
  EXPECT_EQ(added.SectionId, 10);
  EXPECT_TRUE(added.LinkOk);
  EXPECT_EQ(added.LastReplicationText, "19.12 12:00");
  registry_.WriteObjectSettings(index, {"Диспетчерская №3", "10.1.1.1", "5030", "/db/j.db", "C:\\j.db", "1"});
  EXPECT_EQ(
      readFile(ini()),
      "[4]\r\nods=a\r\n[9]\r\nods=b\r\n[10]\r\nods=\xC4\xE8\xF1\xEF\xE5\xF2\xF7\xE5\xF0\xF1\xEA\xE0\xFF \xB9"
      "3\r\n"
      "host=10.1.1.1\r\nport=5030\r\ndb_path=/db/j.db\r\nremote_db_path=C:\\j.db\r\ndb_type=1\r\n");

  RecordingObserver again;
  ObjectRegistry reloaded(ini(), clock_, again);
  reloaded.LoadObjects();
  ASSERT_EQ(reloaded.count(), 3);
  EXPECT_EQ(reloaded.at(2).Name, "Диспетчерская №3");
  EXPECT_EQ(reloaded.at(2).Port(), 5030);
}

TEST_F(ObjectRegistryTest, FirstAddToAnEmptyFileUsesSectionOne) {
  load();
  EXPECT_EQ(registry_.at(registry_.AddObject()).SectionId, 1);
  EXPECT_EQ(registry_.at(registry_.AddObject()).SectionId, 2);  // even before the first is written
}

TEST_F(ObjectRegistryTest, ReadOnlyFileGivesUnableToWriteAndStaysUnchanged) {
  const std::string original = "[1]\r\nods=a\r\n";
  writeIni(original);
  load();
  ::chmod(ini().c_str(), 0444);
  try {
    registry_.SaveObjectState(10, false);
    FAIL() << "a read-only settings file was written";
  } catch (const ProfileWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + ini().string());
  }
  EXPECT_THROW(registry_.WriteObjectSettings(0, {"b", "h", "1", "p", "r", "0"}), ProfileWriteError);
  EXPECT_EQ(readFile(ini()), utf8ToCp1251(original));
}

TEST_F(ObjectRegistryTest, FileThatCannotBeReadIsNeverReplaced) {
  const std::string original =
      utf8ToCp1251("[Main]\r\nperiod=15\r\nchk=0\r\n[1]\r\nods=Первый\r\n[2]\r\nods=Второй\r\n");
  writeFile(ini(), original);
  ::chmod(ini().c_str(), 0200);  // writable, not readable
  {
    testing_support::WithoutCapabilities asAnyAccount({CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH});
    load();
    EXPECT_EQ(observer_.period, 10);
    expectUnreadableAndNeverReplaced();
    const int added = registry_.AddObject();
    EXPECT_THROW(registry_.WriteObjectSettings(added, {"c", "10.0.0.3", "5029", "/db", "/r", "0"}),
                 ProfileWriteError);
  }
  ::chmod(ini().c_str(), 0600);
  EXPECT_EQ(readFile(ini()), original);
}

TEST_F(ObjectRegistryTest, SettingsPathThatIsADirectoryCountsAsUnreadable) {
  std::filesystem::create_directory(ini());  // opens, but every read fails
  load();
  EXPECT_EQ(registry_.count(), 0);
  EXPECT_EQ(observer_.log.size(), 1u);
  EXPECT_THROW(registry_.SaveObjectState(10, false), ProfileWriteError);
  EXPECT_TRUE(std::filesystem::is_directory(ini()));
}

TEST_F(ObjectRegistryTest, ReadFailingWithAnIoErrorCountsAsUnreadableAndTheLinkStays) {
  // The process's own memory at address 0: the file opens, and its first read fails with EIO.
  std::filesystem::create_symlink("/proc/self/mem", ini());
  load();
  expectUnreadableAndNeverReplaced();
  EXPECT_TRUE(std::filesystem::is_symlink(ini()));
  EXPECT_EQ(std::filesystem::read_symlink(ini()), "/proc/self/mem");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);
}

// A packaged installation runs under umask 007 so that what one operator creates the others may
// change; a settings file made by the first save follows the umask, as any created file would.
TEST_F(ObjectRegistryTest, FirstSaveCreatesTheFileWithTheModeTheUmaskLeaves) {
  for (const auto& [mask, expected] : {std::pair<mode_t, unsigned>{007, 0660}, {022, 0644}}) {
    std::filesystem::remove(ini());
    {
      testing_support::ScopedUmask umask(mask);
      registry_.SaveObjectState(10, false);
    }
    struct stat st {};
    ASSERT_EQ(::stat(ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, expected) << "umask " << std::oct << mask;
  }
}

TEST_F(ObjectRegistryTest, ReplacementKeepsALinkALinkAndTheFilesModeOwnerAndGroup) {
  std::filesystem::create_directory(dir_ / "etc");
  const auto real = dir_ / "etc" / "real.ini";
  writeFile(real, "[1]\r\nods=a\r\n");
  std::filesystem::create_symlink("etc/real.ini", ini());
  ::chmod(real.c_str(), 0640);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(real.c_str(), 4321, 5432), 0);
  }
  load();
  registry_.SaveObjectState(20, true);

  EXPECT_TRUE(std::filesystem::is_symlink(ini()));
  EXPECT_EQ(std::filesystem::read_symlink(ini()), "etc/real.ini");
  EXPECT_NE(readFile(real).find("[Main]\r\nperiod=20\r\nchk=1\r\n"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 5432u);
  }
  // No temporary file is left beside the link or the file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "etc"), {}), 1);
}

TEST_F(ObjectRegistryTest, LinkToAFileNotYetWrittenGetsItsTargetCreated) {
  std::filesystem::create_directory(dir_ / "etc");
  std::filesystem::create_symlink(dir_ / "etc" / "new.ini", ini());
  load();
  registry_.SaveObjectState(10, false);
  EXPECT_TRUE(std::filesystem::is_symlink(ini()));
  EXPECT_EQ(readFile(dir_ / "etc" / "new.ini"), "[Main]\r\nperiod=10\r\nchk=0\r\n");
}

TEST_F(ObjectRegistryTest, UnwritableDirectoryLeavesNoTemporaryFileBehind) {
  writeIni("[1]\r\nods=a\r\n");
  load();
  const auto missingDir = dir_ / "gone" / "mirrox.ini";
  RecordingObserver other;
  ObjectRegistry elsewhere(missingDir, clock_, other);
  EXPECT_THROW(elsewhere.SaveObjectState(10, false), ProfileWriteError);
  registry_.SaveObjectState(20, false);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST_F(ObjectRegistryTest, BadBytesAndOverlongValuesLoadWithDefaults) {
  writeFile(ini(), "\xEF\xBB\xBF[Main]\r\nperiod=" + std::string(5000, '1') +
                       "\r\n[1]\r\nods=\x98\xFF\x81\r\n"
                       "port=\xD0\xBF\r\ngarbage without equals\r\n=\r\n[2]\r\nods=" +
                       std::string(5000, 'x') + "\r\n");
  load();
  EXPECT_EQ(observer_.period, 10);
  ASSERT_EQ(registry_.count(), 2);
  EXPECT_EQ(utf8ToCp1251(registry_.at(0).Name), "\x98\xFF\x81");
  EXPECT_EQ(registry_.at(0).Port(), 5029);
  EXPECT_EQ(registry_.at(1).Name.size(), 2047u);
}

TEST_F(ObjectRegistryTest, LinkOkRedrawsTheRowAndTimeTextFollowsTheTime) {
  writeIni("[1]\r\n");
  load();
  registry_.at(0).SetLinkOk(false);
  EXPECT_FALSE(registry_.at(0).LinkOk);
  EXPECT_EQ(observer_.changed, (std::vector<int>{0}));
  registry_.at(0).SetLastReplicationTime(encodeDateTime({2026, 12, 31, 23, 59, 59, 0}));
  EXPECT_EQ(registry_.at(0).LastReplicationText, "31.12 23:59");
}

}  // namespace
}  // namespace mirrox
