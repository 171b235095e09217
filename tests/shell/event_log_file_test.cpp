#include "shell/event_log_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "link/cp1251.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scoped_umask.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

class EventLogFileTest : public ::testing::Test {
 protected:
  EventLogFileTest() : clock_(encodeDateTime({2009, 1, 8, 9, 5, 3, 0})), log_(dir_ / "Log", clock_) {
    std::filesystem::create_directory(dir_ / "Log");
  }

  testing_support::TempDir dir_;
  testing_support::ManualClock clock_;
  EventLogFile log_;
};

TEST_F(EventLogFileTest, EachEntryIsStampedCp1251AndEndsWithCrLf) {
  log_.append("Репликации данных \r\n1 Котельная");
  log_.append("");
  log_.append(" Приложение завершено ");
  EXPECT_EQ(testing_support::readFile(log_.path()),
            utf8ToCp1251("08.01 09:05:03 Репликации данных \r\n1 Котельная\r\n"
                         "08.01 09:05:03 \r\n"
                         "08.01 09:05:03  Приложение завершено \r\n"));
}

TEST_F(EventLogFileTest, ServerMessageWithBareLineFeedsIsWrittenWithCrLfLikeEveryOtherLine) {
  log_.append(
      "Ошибка подключения к локальной БД I/O error during \"open\"\n-Error while trying to open file\n"
      "-Permission denied\r\n-------");
  EXPECT_EQ(testing_support::readFile(log_.path()),
            utf8ToCp1251("08.01 09:05:03 Ошибка подключения к локальной БД I/O error during \"open\"\r\n"
                         "-Error while trying to open file\r\n-Permission denied\r\n-------\r\n"));
}

TEST_F(EventLogFileTest, MissingLogDirectoryLosesTheLineOnlyUntilItIsCreated) {
  std::filesystem::remove(dir_ / "Log");
  log_.append("lost");
  EXPECT_FALSE(std::filesystem::exists(log_.path()));
  ASSERT_TRUE(log_.ensureLogDir());
  ASSERT_TRUE(log_.ensureLogDir());  // an existing directory is fine
  log_.append("kept");
  EXPECT_EQ(testing_support::readFile(log_.path()), "08.01 09:05:03 kept\r\n");
}

// Under a packaged installation's umask 007 every operator of the group may go on writing the log
// that one of them started; an entry goes after what is there.
TEST_F(EventLogFileTest, LogStartedUnderASharedUmaskStaysWritableByTheGroupAndGrowsAtItsEnd) {
  {
    testing_support::ScopedUmask umask(007);
    log_.append("first");
  }
  struct stat st {};
  ASSERT_EQ(::stat(log_.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  log_.append("second");
  EXPECT_EQ(testing_support::readFile(log_.path()), "08.01 09:05:03 first\r\n08.01 09:05:03 second\r\n");
}

TEST_F(EventLogFileTest, FileOfElevenMebibytesStartsAfreshAndOneByteLessSurvives) {
  testing_support::writeFile(log_.path(), "");
  std::filesystem::resize_file(log_.path(), 11534335);
  log_.trimAtStart();
  EXPECT_EQ(std::filesystem::file_size(log_.path()), 11534335u);
  std::filesystem::resize_file(log_.path(), 11534336);
  log_.trimAtStart();
  EXPECT_FALSE(std::filesystem::exists(log_.path()));
  log_.trimAtStart();  // nothing there: nothing to do
  log_.append("first");
  EXPECT_EQ(std::filesystem::file_size(log_.path()), 22u);
}

}  // namespace
}  // namespace mirrox
