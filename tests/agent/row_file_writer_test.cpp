#include "agent/row_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "agent/agent_error.h"
#include "tests/support/temp_dir.h"

namespace mirrox::agent {
namespace {

using testing_support::readFile;

TEST(RowFileWriter, WritesTabSeparatedRowsEndedByCrLf) {
  testing_support::TempDir dir;
  const auto path = dir.path() / "rows";
  RowFileWriter writer(path);
  writer.beginField();
  writer.appendToField("1");
  writer.beginField();  // an empty field, as for NULL
  writer.beginField();
  writer.appendToField("\xCF\xF0\xE8");  // CP1251 bytes pass unchanged
  writer.appendToField("\xE2\xE5\xF2");
  writer.endRow();
  writer.beginField();
  writer.appendToField("2");
  writer.endRow();
  writer.finish();
  EXPECT_EQ(readFile(path), "1\t\t\xCF\xF0\xE8\xE2\xE5\xF2\r\n2\r\n");
}

TEST(RowFileWriter, BlanksTabCrAndLfInsideValuesSoRowsCannotSplit) {
  testing_support::TempDir dir;
  const auto path = dir.path() / "rows";
  RowFileWriter writer(path);
  writer.beginField();
  writer.appendToField("a\tb\r\nc\rd\n");
  writer.beginField();
  writer.appendToField("\t");
  writer.endRow();
  writer.finish();
  EXPECT_EQ(readFile(path), "a b  c d \t \r\n");
}

TEST(RowFileWriter, FileWithoutRowsIsEmpty) {
  testing_support::TempDir dir;
  const auto path = dir.path() / "rows";
  RowFileWriter writer(path);
  writer.finish();
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(RowFileWriter, UncreatableFileIsAnError) {
  testing_support::TempDir dir;
  EXPECT_THROW(RowFileWriter(dir.path() / "missing" / "rows"), AgentError);
}

TEST(RowFileWriter, FullDiskIsAnErrorNotAShortResult) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  RowFileWriter writer("/dev/full");
  EXPECT_THROW(
      {
        for (int i = 0; i < 100000; ++i) {
          writer.beginField();
          writer.appendToField("0123456789");
          writer.endRow();
        }
        writer.finish();
      },
      AgentError);
}

}  // namespace
}  // namespace mirrox::agent
