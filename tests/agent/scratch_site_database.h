#pragma once

#include <filesystem>
#include <string>

#include "agent/site_database.h"

namespace mirrox::agent::testing {

// The local Firebird server the tests use.
inline constexpr const char* kFirebirdServer = "127.0.0.1/3050";
inline const Credentials kFirebirdCredentials{"SYSDBA", "quillbarn"};

// A site database created through the Firebird server in a directory its account can write to
// (default character set WIN1251, dialect 3), and dropped again at the end of the test.
class ScratchSiteDatabase {
 public:
  ScratchSiteDatabase(const std::filesystem::path& directory, const std::string& name);
  ~ScratchSiteDatabase();
  ScratchSiteDatabase(const ScratchSiteDatabase&) = delete;
  ScratchSiteDatabase& operator=(const ScratchSiteDatabase&) = delete;

  const std::string& path() const { return path_; }
  // Runs one statement in a transaction of its own.
  void execute(const std::string& sql);
  // The rows of a select in the form of a result file.
  std::string rows(const std::string& sql);

 private:
  std::filesystem::path directory_;
  std::string path_;
};

}  // namespace mirrox::agent::testing
