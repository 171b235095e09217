#include "tests/support/scratch_database.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "engine/database.h"
#include "fb/closing.h"
#include "fb/connect.h"
#include "fb/parameter_block.h"
#include "fb/status.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace mirrox::testing_support {
namespace {

// Gives the server's account a file: by ownership when running as root (the server refuses files
// it cannot write), by mode otherwise.
void handToServer(const std::filesystem::path& file) {
  const passwd* account = ::getpwnam("firebird");
  if (::geteuid() == 0 && account != nullptr) {
    if (::chown(file.c_str(), account->pw_uid, account->pw_gid) != 0) {
      throw std::runtime_error("cannot hand " + file.string() + " to the firebird account");
    }
    ::chmod(file.c_str(), 0660);
  } else {
    ::chmod(file.c_str(), 0666);
  }
}

}  // namespace

void openToServer(const std::filesystem::path& dir) {
  if (::chmod(dir.c_str(), 0777) != 0) throw std::runtime_error("chmod failed for " + dir.string());
}

int runIsql(const std::string& connection, const std::filesystem::path& script, std::string& output) {
  return runToEnd({"isql-fb", "-q", "-b", "-user", Database::kUserName, "-password", Database::kPassword,
                   "-ch", "WIN1251", connection, "-i", script.string()},
                  output);
}

ScratchDatabase::ScratchDatabase(const std::filesystem::path& dir, std::string_view fileName,
                                 std::string_view charset, const std::vector<std::filesystem::path>& scripts)
    : path_(dir / fileName) {
  openToServer(dir);
  try {
    fb::ParameterBlock dpb(fb::ParameterBlock::Attachment);
    dpb.text(isc_dpb_user_name, Database::kUserName).text(isc_dpb_password, Database::kPassword);
    dpb.number(isc_dpb_page_size, 4096).number(isc_dpb_sql_dialect, 3);
    dpb.text(isc_dpb_set_db_charset, std::string(charset));
    fb::Handle<Firebird::IAttachment> created = fb::createDatabase(connectionName(), dpb);
    fb::detachQuietly(created);
  } catch (const fb::Error& error) {
    throw std::runtime_error("cannot create " + path_.string() + ": " + error.what());
  }
  for (const auto& script : scripts) runScript(script);
}

ScratchDatabase ScratchDatabase::fromTemplate(const std::filesystem::path& dir, std::string_view fileName,
                                              int dbType) {
  const std::filesystem::path source =
      dbType == 1 ? MIRROX_JOURNAL_TEMPLATE_FILE : MIRROX_METERING_TEMPLATE_FILE;
  if (!std::filesystem::exists(source)) throw std::runtime_error("template not built: " + source.string());
  return copyOf(dir, fileName, source);
}

ScratchDatabase ScratchDatabase::copyOf(const std::filesystem::path& dir, std::string_view fileName,
                                        const std::filesystem::path& source) {
  openToServer(dir);
  const std::filesystem::path target = dir / fileName;
  std::filesystem::copy_file(source, target);
  handToServer(target);
  return ScratchDatabase(target);
}

ScratchDatabase ScratchDatabase::withBytes(const std::filesystem::path& dir, std::string_view fileName,
                                           std::string_view bytes) {
  openToServer(dir);
  const std::filesystem::path target = dir / fileName;
  writeFile(target, bytes);
  handToServer(target);
  return ScratchDatabase(target);
}

void ScratchDatabase::runScript(const std::filesystem::path& script) const {
  std::string output;
  const int status = runIsql(connectionName(), script, output);
  if (status != 0) throw std::runtime_error("script " + script.string() + " failed: " + output);
}

void ScratchDatabase::exec(std::string_view sql) const {
  FbConnection connection(connectionName(), FbConnection::Texts::Cp1251);
  connection.execute(std::string(sql));
  connection.commit();
}

std::vector<Row> ScratchDatabase::rows(std::string_view select) const {
  FbConnection connection(connectionName(), FbConnection::Texts::Cp1251);
  return connection.query(std::string(select));
}

std::int64_t ScratchDatabase::scalar(std::string_view select) const {
  const std::vector<Row> all = rows(select);
  if (all.empty()) throw std::runtime_error("no row from " + std::string(select));
  if (all.front().empty()) throw std::runtime_error("no column from " + std::string(select));
  const Value& value = all.front().front();
  return value ? std::stoll(*value) : 0;
}

std::unique_ptr<FbConnection> ScratchDatabase::connect() const {
  return std::make_unique<FbConnection>(connectionName());
}

}  // namespace mirrox::testing_support
