// The template build step: Firebird's embedded engine, a private configuration that allows the
// freshly built sort-key library, and a file that appears only when every statement succeeded.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/child_process.h"

namespace {
namespace fs = std::filesystem;

class TemplateBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mirrox-build-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    output_ = dir_ / "out.fdb";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  fs::path writeFile(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path) << text;
    return path;
  }
  // Runs the build script; returns its exit status and keeps its output in log_.
  int build(const fs::path& sql, const fs::path& udf) {
    return mirrox::testing_support::runToEnd(
        {"bash", MIRROX_SOURCE_DIR "/schema/build_template.sh", "--output", output_.string(), "--work",
         dir_.string(), "--udf", udf.string(), "--charset", "WIN1251", "--", sql.string()},
        log_);
  }
  static std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
  fs::path output_;
  std::string log_;
};

const char* const kHouseSql =
    "DECLARE EXTERNAL FUNCTION F_DEFSORT CSTRING(254) RETURNS INTEGER BY VALUE\n"
    "  ENTRY_POINT 'DefineSortNumber' MODULE_NAME 'testudf.dll';\n"
    "CREATE TABLE HOUSE (N VARCHAR(8) NOT NULL, SORTNUM SMALLINT);\n"
    "SET TERM ^ ;\n"
    "CREATE TRIGGER HOUSE_BI FOR HOUSE BEFORE INSERT AS\n"
    "BEGIN NEW.SORTNUM = F_DEFSORT(NEW.N); END^\n"
    "SET TERM ; ^\n"
    "COMMIT;\n"
    "INSERT INTO HOUSE (N) VALUES ('12а');\n"
    "COMMIT;\n";

TEST_F(TemplateBuild, CompilesTriggersThatCallTheFreshSortKeyLibrary) {
  const fs::path sql = writeFile("house.sql", kHouseSql);
  ASSERT_EQ(build(sql, MIRROX_BIN_DIR "/testudf.dll"), 0) << log_;
  EXPECT_TRUE(fs::exists(output_));
  EXPECT_EQ(fs::file_size(output_) % 4096, 0u);
}

TEST_F(TemplateBuild, WithoutALoadableLibraryFailsAndKeepsThePreviousFile) {
  std::ofstream(output_) << "previous template";
  const fs::path notALibrary = writeFile("testudf.dll", "not a shared library");
  const fs::path sql = writeFile("house.sql", kHouseSql);
  EXPECT_NE(build(sql, notALibrary), 0);
  EXPECT_NE(log_.find("F_DEFSORT"), std::string::npos) << log_;
  EXPECT_TRUE(contents(output_) == "previous template") << "the previous file was replaced";
  EXPECT_FALSE(fs::exists(dir_ / "out.fdb.building"));
}

TEST_F(TemplateBuild, FailingStatementStopsTheBuildAndKeepsThePreviousFile) {
  std::ofstream(output_) << "previous template";
  const fs::path sql = writeFile("bad.sql",
                                 "CREATE TABLE T (A INTEGER);\n"
                                 "CREATE TABLE T (A INTEGER);\n"
                                 "CREATE TABLE NEVER_REACHED (A INTEGER);\n");
  EXPECT_NE(build(sql, MIRROX_BIN_DIR "/testudf.dll"), 0);
  EXPECT_NE(log_.find("already exists"), std::string::npos) << log_;
  EXPECT_TRUE(contents(output_) == "previous template") << "the previous file was replaced";
  EXPECT_FALSE(fs::exists(dir_ / "out.fdb.building"));
}

TEST_F(TemplateBuild, MissingLibraryIsReportedBeforeTheEngineRuns) {
  const fs::path sql = writeFile("house.sql", kHouseSql);
  EXPECT_NE(build(sql, dir_ / "absent.dll"), 0);
  EXPECT_NE(log_.find("not built"), std::string::npos) << log_;
  EXPECT_FALSE(fs::exists(output_));
}

}  // namespace
