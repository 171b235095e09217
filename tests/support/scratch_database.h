#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fb_client.h"

namespace mirrox::testing_support {

// Makes a directory reachable and writable by the local server's own account.
void openToServer(const std::filesystem::path& dir);

// A database of a test on the local server (127.0.0.1:3050), in a directory of the test's
// (usually a TempDir, which removes it): created empty through the server, or copied from a built
// template or from bytes and handed to the server's account.
class ScratchDatabase {
 public:
  // An empty database created through the server (so it belongs to the server's account): page
  // size 4096, dialect 3, `charset` as its default character set, then filled by isql-fb scripts.
  ScratchDatabase(const std::filesystem::path& dir, std::string_view fileName,
                  std::string_view charset = "WIN1251",
                  const std::vector<std::filesystem::path>& scripts = {});

  // A copy of the built metering (dbType 0) or journal (1) template.
  static ScratchDatabase fromTemplate(const std::filesystem::path& dir, std::string_view fileName,
                                      int dbType);
  // A copy of a database file.
  static ScratchDatabase copyOf(const std::filesystem::path& dir, std::string_view fileName,
                                const std::filesystem::path& source);
  // `bytes` written as the database file.
  static ScratchDatabase withBytes(const std::filesystem::path& dir, std::string_view fileName,
                                   std::string_view bytes);

  const std::filesystem::path& path() const { return path_; }
  std::string connectionName() const { return "127.0.0.1:" + path_.string(); }

  // Runs an isql-fb script (SET TERM as needed); throws when isql-fb reports an error.
  void runScript(const std::filesystem::path& script) const;
  // Executes statements on a connection of their own, committed. Texts are code page 1251 bytes.
  void exec(std::string_view sql) const;
  // Every row of a select, every column as text (NULL as nothing), code page 1251 bytes.
  std::vector<Row> rows(std::string_view select) const;
  // The first column of the first row as an integer (NULL as 0); throws when there is no row.
  std::int64_t scalar(std::string_view select) const;
  // A connection whose texts are UTF-8.
  std::unique_ptr<FbConnection> connect() const;

 private:
  explicit ScratchDatabase(std::filesystem::path path) : path_(std::move(path)) {}

  std::filesystem::path path_;
};

// Runs isql-fb with the program's login on `connection`; returns its exit status and output.
int runIsql(const std::string& connection, const std::filesystem::path& script, std::string& output);

}  // namespace mirrox::testing_support
