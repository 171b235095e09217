#include "tests/agent/scratch_site_database.h"

#include <firebird/Interface.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "agent/row_file_writer.h"

namespace mirrox::agent::testing {

namespace {

Firebird::IMaster* master() { return Firebird::fb_get_master_interface(); }

std::string describe(const Firebird::FbException& error) {
  char buffer[2048];
  master()->getUtilInterface()->formatStatus(buffer, sizeof buffer, error.getStatus());
  return buffer;
}

// Runs `body` with a throwing status and a DPB holding the test credentials.
template <class Body>
void withServer(Body&& body) {
  Firebird::IStatus* raw = master()->getStatus();
  Firebird::ThrowStatusWrapper status(raw);
  Firebird::IXpbBuilder* dpb = nullptr;
  try {
    dpb = master()->getUtilInterface()->getXpbBuilder(&status, Firebird::IXpbBuilder::DPB, nullptr, 0);
    dpb->insertString(&status, isc_dpb_user_name, kFirebirdCredentials.user.c_str());
    dpb->insertString(&status, isc_dpb_password, kFirebirdCredentials.password.c_str());
    body(status, *dpb);
  } catch (const Firebird::FbException& error) {
    if (dpb != nullptr) dpb->dispose();
    raw->dispose();
    throw std::runtime_error(describe(error));
  }
  dpb->dispose();
  raw->dispose();
}

}  // namespace

ScratchSiteDatabase::ScratchSiteDatabase(const std::filesystem::path& directory, const std::string& name)
    : directory_(directory), path_((directory / name).string()) {
  withServer([&](Firebird::ThrowStatusWrapper& status, Firebird::IXpbBuilder& dpb) {
    dpb.insertInt(&status, isc_dpb_page_size, 4096);
    dpb.insertInt(&status, isc_dpb_sql_dialect, 3);
    dpb.insertString(&status, isc_dpb_set_db_charset, "WIN1251");
    Firebird::IProvider* provider = master()->getDispatcher();
    const std::string target = std::string(kFirebirdServer) + ":" + path_;
    Firebird::IAttachment* attachment =
        provider->createDatabase(&status, target.c_str(), dpb.getBufferLength(&status), dpb.getBuffer(&status));
    attachment->detach(&status);
    provider->release();
  });
}

ScratchSiteDatabase::~ScratchSiteDatabase() {
  try {
    withServer([&](Firebird::ThrowStatusWrapper& status, Firebird::IXpbBuilder& dpb) {
      Firebird::IProvider* provider = master()->getDispatcher();
      const std::string target = std::string(kFirebirdServer) + ":" + path_;
      Firebird::IAttachment* attachment =
          provider->attachDatabase(&status, target.c_str(), dpb.getBufferLength(&status), dpb.getBuffer(&status));
      attachment->dropDatabase(&status);
      provider->release();
    });
  } catch (const std::exception&) {
    // Still attached elsewhere (an agent that did not stop): the directory goes anyway.
  }
}

void ScratchSiteDatabase::execute(const std::string& sql) {
  SiteDatabase(kFirebirdServer, path_, kFirebirdCredentials).execute(sql);
}

std::string ScratchSiteDatabase::rows(const std::string& sql) {
  const std::filesystem::path file = directory_ / "check.rows";
  {
    SiteDatabase database(kFirebirdServer, path_, kFirebirdCredentials);
    RowFileWriter writer(file);
    database.prepareSelect(sql)->writeRows(writer);
    writer.finish();
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace mirrox::agent::testing
