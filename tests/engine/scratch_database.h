#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/query.h"

namespace mirrox::engine_test {


// Makes a directory reachable and writable by the server's own account.
void openToServer(const std::filesystem::path& dir);

// A database created through the local server (so it is owned by the server's account) inside a
// test's temporary directory, optionally filled by isql-fb scripts.
class ScratchDatabase {
 public:
  ScratchDatabase(const std::filesystem::path& dir, std::string_view fileName, std::string_view charset = "WIN1251",
                  const std::vector<std::filesystem::path>& scripts = {});

  // A copy of the built metering (dbType 0) or journal (1) template, usable by the server's account.
  static ScratchDatabase fromTemplate(const std::filesystem::path& dir, std::string_view fileName, int dbType);

  const std::filesystem::path& path() const { return path_; }
  std::string connectionName() const { return "127.0.0.1:" + path_.string(); }

  // Runs an isql-fb script (SET TERM as needed); fails the test on an error.
  void runScript(const std::filesystem::path& script) const;
  // Executes statements on a connection of their own, committed.
  void exec(std::string_view sql) const;
  // Every row of a select, every column as text (NULL as nothing). Texts are CP1251 bytes.
  std::vector<std::vector<InputValue>> rows(std::string_view select) const;
  std::int64_t scalar(std::string_view select) const;

 private:
  explicit ScratchDatabase(std::filesystem::path path) : path_(std::move(path)) {}

  std::filesystem::path path_;
};

// Runs isql-fb with the local login on `connection`; returns its exit status and output.
int runIsql(const std::string& connection, const std::filesystem::path& script, std::string& output);

}  // namespace mirrox::engine_test
