#include "shell/template_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

QByteArray resourceBytes(const char* path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
  return file.readAll();
}

TEST(WriteTemplate, WritesEachCarriedTemplateByteForByteForTheServersAccount) {
  testing_support::TempDir dir;
  ASSERT_FALSE(WriteTemplate(dir / "serverdb.gdb", 0).has_value());
  ASSERT_FALSE(WriteTemplate(dir / "journal.db", 1).has_value());
  const QByteArray metering = resourceBytes(":/DB/DB_L");
  const QByteArray journal = resourceBytes(":/DB/DB_J");
  ASSERT_GT(metering.size(), 0);
  EXPECT_EQ(testing_support::readFile(dir / "serverdb.gdb"), metering.toStdString());
  EXPECT_EQ(testing_support::readFile(dir / "journal.db"), journal.toStdString());
  EXPECT_NE(metering, journal);

  struct stat st {};
  ASSERT_EQ(::stat((dir / "serverdb.gdb").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);  // never world-readable: it holds the site's data
}

TEST(WriteTemplate, NeverTouchesAnExistingFile) {
  testing_support::TempDir dir;
  testing_support::writeFile(dir / "serverdb.gdb", "operator's data");
  const auto error = WriteTemplate(dir / "serverdb.gdb", 0);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(testing_support::readFile(dir / "serverdb.gdb"), "operator's data");
}

TEST(WriteTemplate, UnwritableDirectoryNamesThePathAndTheReasonAndLeavesNothing) {
  testing_support::TempDir dir;
  const auto path = dir / "missing" / "serverdb.gdb";
  const auto error = WriteTemplate(path, 0);
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find(path.string()), std::string::npos) << *error;
  EXPECT_NE(error->find("No such file or directory"), std::string::npos) << *error;
  EXPECT_FALSE(WriteTemplate(dir / "x.db", 7) == std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.db"));
}

}  // namespace
}  // namespace mirrox
