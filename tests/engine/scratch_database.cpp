#include "tests/engine/scratch_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "engine/local_connection.h"
#include "fb/error.h"

namespace mirrox::engine_test {
namespace {

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

}  // namespace

void openToServer(const std::filesystem::path& dir) {
  if (::chmod(dir.c_str(), 0777) != 0) throw std::runtime_error("chmod failed for " + dir.string());
}

int runIsql(const std::string& connection, const std::filesystem::path& script, std::string& output) {
  const std::string command = "isql-fb -q -b -user SYSDBA -password quillbarn -ch WIN1251 " +
                              shellQuote(connection) + " -i " + shellQuote(script.string()) + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run isql-fb");
  std::array<char, 4096> buffer{};
  output.clear();
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ScratchDatabase::ScratchDatabase(const std::filesystem::path& dir, std::string_view fileName, std::string_view charset,
                                 const std::vector<std::filesystem::path>& scripts)
    : path_(dir / fileName) {
  openToServer(dir);
  const std::filesystem::path create = dir / (std::string(fileName) + ".create.sql");
  {
    std::ofstream out(create);
    out << "CREATE DATABASE '127.0.0.1:" << path_.string()
        << "' USER 'SYSDBA' PASSWORD 'quillbarn' PAGE_SIZE 4096 DEFAULT CHARACTER SET " << charset << ";\n";
  }
  std::string output;
  const std::string command = "isql-fb -q -b -i " + shellQuote(create.string()) + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run isql-fb");
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  if (status != 0) throw std::runtime_error("cannot create " + path_.string() + ": " + output);
  for (const auto& script : scripts) runScript(script);
}

ScratchDatabase ScratchDatabase::fromTemplate(const std::filesystem::path& dir, std::string_view fileName, int dbType) {
  const std::filesystem::path source = dbType == 1 ? MIRROX_JOURNAL_TEMPLATE_FILE : MIRROX_METERING_TEMPLATE_FILE;
  if (!std::filesystem::exists(source)) throw std::runtime_error("template not built: " + source.string());
  openToServer(dir);
  const std::filesystem::path target = dir / fileName;
  std::filesystem::copy_file(source, target);
  std::filesystem::permissions(target, std::filesystem::perms(0666));
  return ScratchDatabase(target);
}

void ScratchDatabase::runScript(const std::filesystem::path& script) const {
  std::string output;
  const int status = runIsql(connectionName(), script, output);
  if (status != 0) throw std::runtime_error("script " + script.string() + " failed: " + output);
}

void ScratchDatabase::exec(std::string_view sql) const {
  LocalConnection local;
  local.DB.setDatabaseName(connectionName());
  local.DB.connect();
  local.TR.start();
  local.Qr.setParamCheck(false);
  local.Qr.setSql(sql);
  local.Qr.execute();
  local.TR.commit();
}

std::vector<std::vector<InputValue>> ScratchDatabase::rows(std::string_view select) const {
  LocalConnection local;
  local.DB.setDatabaseName(connectionName());
  local.DB.connect();
  local.TR.start();
  local.Qr.setSql(select);
  local.Qr.execute();
  std::vector<std::vector<InputValue>> result;
  while (auto row = local.Qr.fetchRow()) result.push_back(std::move(*row));
  local.TR.commit();
  return result;
}

std::int64_t ScratchDatabase::scalar(std::string_view select) const {
  LocalConnection local;
  local.DB.setDatabaseName(connectionName());
  local.DB.connect();
  local.TR.start();
  local.Qr.setSql(select);
  local.Qr.execute();
  const auto value = local.Qr.fetchInt64();
  local.TR.commit();
  if (!value) throw std::runtime_error("no row from " + std::string(select));
  return *value;
}

}  // namespace mirrox::engine_test
