// The local server as scripts/local-firebird leaves it: reachable on 127.0.0.1:3050 with the
// program's SYSDBA credentials, the same way the program attaches.
#include <gtest/gtest.h>

#include <string>

#include "engine/database.h"
#include "fb/closing.h"
#include "fb/connect.h"
#include "fb/parameter_block.h"
#include "fb/status.h"

namespace mirrox {
namespace {

constexpr char kServiceManager[] = "127.0.0.1/3050:service_mgr";

fb::Handle<Firebird::IService> attachServiceManager(const std::string& password) {
  fb::ParameterBlock spb(fb::ParameterBlock::ServiceAttachment);
  spb.text(isc_spb_user_name, Database::kUserName).text(isc_spb_password, password);
  return fb::attachServiceManager(kServiceManager, spb);
}

TEST(LocalFirebird, AcceptsTheProgramsCredentialsAndReportsVersionThree) {
  fb::Handle<Firebird::IService> service;
  try {
    service = attachServiceManager(Database::kPassword);
  } catch (const fb::Error& error) {
    FAIL() << error.what();
  }
  fb::Status status;
  const unsigned char items[] = {isc_info_svc_server_version};
  unsigned char result[512] = {};
  service->query(&status, 0, nullptr, sizeof items, items, sizeof result, result);
  ASSERT_EQ(result[0], isc_info_svc_server_version);
  const unsigned length = static_cast<unsigned>(isc_portable_integer(result + 1, 2));
  const std::string version(reinterpret_cast<const char*>(result + 3), length);
  EXPECT_NE(version.find("Firebird 3.0"), std::string::npos) << version;
  fb::detachQuietly(service);
}

TEST(LocalFirebird, RefusesAWrongPassword) {
  std::string error;
  try {
    fb::Handle<Firebird::IService> service = attachServiceManager("masterkey");
    fb::detachQuietly(service);
  } catch (const fb::Error& failure) {
    error = failure.what();
  }
  EXPECT_NE(error.find("Your user name and password are not defined"), std::string::npos) << error;
}

}  // namespace
}  // namespace mirrox
