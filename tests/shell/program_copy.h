#pragma once

// A real copy of the built program in its own directory, with its own settings file, log and
// database directory, and a private TMPDIR so that its single-instance lock is its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/cp1251.h"
#include "tests/common/child_process.h"
#include "tests/common/temp_dir.h"

namespace mirrox {

class ProgramCopy : public ::testing::Test {
 protected:
  ProgramCopy() {
    std::filesystem::copy_file(std::filesystem::path(MIRROX_BIN_DIR) / "mirrox", dir_ / "mirrox");
    std::filesystem::create_directory(dir_ / "tmp");
    std::filesystem::create_directory(dir_ / "Log");
  }

  // Existing database files are never touched, so these stand-ins keep the start-up quiet.
  void standInDatabases() {
    std::filesystem::create_directory(dir_ / "DB");
    test::writeFile(dir_ / "DB" / "serverdb.gdb", "");
    test::writeFile(dir_ / "DB" / "journal.db", "");
  }

  std::unique_ptr<test::ChildProcess> start(const std::vector<std::string>& args) {
    return std::make_unique<test::ChildProcess>(dir_ / "mirrox", args,
                                          std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                                                             {"TMPDIR", (dir_ / "tmp").string()}},
                                          dir_.path(), dir_ / "output.txt");
  }
  std::string log() const { return cp1251ToUtf8(test::readFile(dir_ / "Log" / "mirrox.txt")); }
  std::size_t count(const std::string& text) const {
    const std::string all = log();
    std::size_t n = 0;
    for (auto pos = all.find(text); pos != std::string::npos; pos = all.find(text, pos + 1)) ++n;
    return n;
  }
  // The start-up step has run once the separator line is in the log.
  bool startedUp() const { return count("---------------------------\r\n") > 0; }

  test::TempDir dir_;
};

}  // namespace mirrox
