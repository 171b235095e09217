// Settings files as a Windows installation holds them: drive letters, UNC paths and backslashes in
// an object's paths, CR LF or bare LF line ends. The same results on every system: these tests run
// on Linux and, built for Windows, under Wine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/cp1251.h"
#include "shell/object_registry.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::readFile;
using testing_support::writeFile;

class QuietObserver : public RegistryObserver {
 public:
  void scheduleLoaded(int periodMinutes, bool) override { period = periodMinutes; }
  void logLine(const std::string&) override {}
  void objectAdded(int) override {}
  void objectChanged(int) override {}
  int period = -1;
};

const std::string kLocal = "C:\\DB\\serverdb.gdb";
const std::string kUnc = "\\\\site-srv\\bases\\Учёт\\base.gdb";
const std::string kSpaced = "D:\\Program Files\\Firebird\\journal db.fdb";
const std::string kForward = "E:/db/journal.db";

class SettingsPaths : public ::testing::TestWithParam<const char*> {
 protected:
  std::filesystem::path ini() const { return dir_ / "mirrox.ini"; }
  std::string lines(const std::vector<std::string>& each) const {
    std::string text;
    for (const std::string& line : each) text += line + GetParam();
    return utf8ToCp1251(text);
  }
  void reload() { registry_.LoadObjects(); }

  testing_support::TempDir dir_;
  testing_support::ManualClock clock_{40000.0};
  QuietObserver observer_;
  ObjectRegistry registry_{ini(), clock_, observer_};
};

TEST_P(SettingsPaths, ReadAsWrittenAndKeptByteForByteWhenTheStateIsSaved) {
  const std::vector<std::string> objects = {
      "[1]", "ods=Котельная", "host=10.0.0.1:5029", "db_path=" + kLocal,   "remote_db_path=" + kUnc,
      "[2]", "ods=Журнал",    "db_type=1",          "db_path=" + kForward, "remote_db_path=" + kSpaced};
  std::vector<std::string> all = {"[Main]", "period=15"};
  all.insert(all.end(), objects.begin(), objects.end());
  writeFile(ini(), lines(all));
  reload();

  ASSERT_EQ(registry_.count(), 2);
  EXPECT_EQ(observer_.period, 15);
  EXPECT_EQ(registry_.at(0).Name, "Котельная");
  EXPECT_EQ(registry_.at(0).LocalDbPath, kLocal);
  EXPECT_EQ(registry_.at(0).RemoteDbPath, kUnc);
  EXPECT_EQ(registry_.at(1).LocalDbPath, kForward);
  EXPECT_EQ(registry_.at(1).RemoteDbPath, kSpaced);

  registry_.SaveObjectState(15, false);
  const std::string saved = readFile(ini());
  // Every line the program did not change comes back with its own bytes and line end.
  for (const std::string& line : objects) {
    EXPECT_NE(saved.find(lines({line})), std::string::npos) << line;
  }
  reload();
  ASSERT_EQ(registry_.count(), 2);
  EXPECT_EQ(registry_.at(0).RemoteDbPath, kUnc);
  EXPECT_EQ(registry_.at(1).RemoteDbPath, kSpaced);
}

TEST_P(SettingsPaths, PathsTypedInTheDialogAreStoredAsTyped) {
  writeFile(ini(), lines({"[1]", "ods=a"}));
  reload();
  registry_.WriteObjectSettings(0, {"Насосная", "10.0.0.2", "5030", kUnc, kLocal, "0"});
  reload();
  ASSERT_EQ(registry_.count(), 1);
  EXPECT_EQ(registry_.at(0).Name, "Насосная");
  EXPECT_EQ(registry_.at(0).LocalDbPath, kUnc);
  EXPECT_EQ(registry_.at(0).RemoteDbPath, kLocal);
  EXPECT_NE(readFile(ini()).find(utf8ToCp1251("db_path=" + kUnc)), std::string::npos);
}

std::string lineEndName(const ::testing::TestParamInfo<const char*>& param) {
  return param.param[0] == '\r' ? "CrLf" : "Lf";
}

INSTANTIATE_TEST_SUITE_P(LineEnds, SettingsPaths, ::testing::Values("\r\n", "\n"), lineEndName);

}  // namespace
}  // namespace mirrox
