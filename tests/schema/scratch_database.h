#pragma once

// Test support: a private copy of a built template database in its own temporary directory,
// made usable by the local server's account, and a connection to it through 127.0.0.1:3050.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/schema/fb_test_client.h"

namespace mirrox::test {

class ScratchDatabase {
 public:
  // Copies templateFile into a new directory; the server's account gets read and write access
  // to both. Throws std::runtime_error when that is impossible.
  explicit ScratchDatabase(const std::filesystem::path& templateFile);
  // Writes the bytes as a database file named fileName in a new directory, the same way.
  ScratchDatabase(const std::string& fileName, std::string_view bytes);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  const std::filesystem::path& file() const { return file_; }
  // A connection as SYSDBA with the program's password and character set WIN1251.
  std::unique_ptr<FbConnection> connect() const;

 private:
  void makeDirectory();

  std::filesystem::path dir_;
  std::filesystem::path file_;
};

// Columns of a table in order, each as "NAME TYPE" plus " NOT NULL" where the column has it,
// for example "ID_STREET INTEGER NOT NULL" or "DN NUMERIC(5,2)". With withCharset, text columns
// also name their character set ("NAME VARCHAR(64) WIN1251").
std::vector<std::string> columnsOf(FbConnection& db, const std::string& table, bool withCharset = false);

// Number of user objects of one kind as the system tables list them.
struct ObjectCounts {
  int tables = 0, views = 0, procedures = 0, triggers = 0, generators = 0, functions = 0, exceptions = 0,
      roles = 0, domains = 0;
};
ObjectCounts countObjects(FbConnection& db);

// Names of user objects (any kind) that start with a prefix, case-insensitively.
std::vector<std::string> objectsNamed(FbConnection& db, const std::string& prefix);

long long toInt(const Value& v);
double toDouble(const Value& v);

}  // namespace mirrox::test
