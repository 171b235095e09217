#pragma once

// A real copy of the built program in its own directory, with its own settings file, log, database
// directory and single-instance lock, and a private TMPDIR.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/cp1251.h"
#include "tests/support/child_process.h"
#include "tests/support/lsan_options.h"
#include "tests/support/temp_dir.h"

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
    testing_support::writeFile(dir_ / "DB" / "serverdb.gdb", "");
    testing_support::writeFile(dir_ / "DB" / "journal.db", "");
  }

  // `tmpName` names the TMPDIR below the directory that the process gets.
  std::unique_ptr<testing_support::ChildProcess> start(const std::vector<std::string>& args,
                                                       const std::string& tmpName = "tmp") {
    return startProgram(dir_ / "mirrox", args, tmpName);
  }
  // The copy run as any account meets file modes, also when the tests run as root: setpriv takes
  // the capabilities that override them out of the program's reach.
  std::unique_ptr<testing_support::ChildProcess> startAsAnyAccount(const std::vector<std::string>& args) {
    if (::geteuid() != 0) return start(args);
    std::vector<std::string> wrapped = {"--bounding-set=-dac_override,-dac_read_search",
                                        (dir_ / "mirrox").string()};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return startProgram("/usr/bin/setpriv", wrapped, "tmp");
  }
  std::unique_ptr<testing_support::ChildProcess> startProgram(const std::filesystem::path& program,
                                                              const std::vector<std::string>& args,
                                                              const std::string& tmpName) {
    std::filesystem::create_directories(dir_ / tmpName);
    return std::make_unique<testing_support::ChildProcess>(
        program, args,
        std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                           {"TMPDIR", (dir_ / tmpName).string()},
                                           {"LSAN_OPTIONS", testing_support::kLsanOptions}},
        dir_.path(), dir_ / "output.txt");
  }
  std::string log() const {
    const auto path = dir_ / "Log" / "mirrox.txt";
    return std::filesystem::exists(path) ? cp1251ToUtf8(testing_support::readFile(path)) : std::string();
  }
  std::size_t count(const std::string& text) const {
    const std::string all = log();
    std::size_t n = 0;
    for (auto pos = all.find(text); pos != std::string::npos; pos = all.find(text, pos + 1)) ++n;
    return n;
  }
  // The start-up step has run once the separator line is in the log.
  bool startedUp() const { return count("---------------------------\r\n") > 0; }

  testing_support::TempDir dir_;
};

}  // namespace mirrox
