// The local server as scripts/local-firebird leaves it: reachable on 127.0.0.1:3050 with the
// program's SYSDBA credentials, the same way the program attaches.
#include <firebird/Interface.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using namespace Firebird;

std::string formatStatus(IUtil* util, IStatus* status) {
  char buf[1024];
  util->formatStatus(buf, sizeof buf, status);
  return buf;
}

TEST(LocalFirebird, AcceptsTheProgramsCredentialsAndReportsVersionThree) {
  IMaster* master = fb_get_master_interface();
  IStatus* status = master->getStatus();
  ThrowStatusWrapper st(status);
  IUtil* util = master->getUtilInterface();
  IProvider* provider = master->getDispatcher();

  IXpbBuilder* spb = util->getXpbBuilder(&st, IXpbBuilder::SPB_ATTACH, nullptr, 0);
  spb->insertString(&st, isc_spb_user_name, "SYSDBA");
  spb->insertString(&st, isc_spb_password, "quillbarn");
  IService* service = nullptr;
  try {
    service = provider->attachServiceManager(&st, "127.0.0.1/3050:service_mgr", spb->getBufferLength(&st),
                                             spb->getBuffer(&st));
  } catch (const FbException& e) {
    FAIL() << formatStatus(util, e.getStatus());
  }
  spb->dispose();

  const unsigned char items[] = {isc_info_svc_server_version};
  unsigned char result[512] = {};
  service->query(&st, 0, nullptr, sizeof items, items, sizeof result, result);
  ASSERT_EQ(result[0], isc_info_svc_server_version);
  const unsigned length = static_cast<unsigned>(isc_portable_integer(result + 1, 2));
  const std::string version(reinterpret_cast<const char*>(result + 3), length);
  EXPECT_NE(version.find("Firebird 3.0"), std::string::npos) << version;
  service->detach(&st);
  provider->release();
  status->dispose();
}

TEST(LocalFirebird, RefusesAWrongPassword) {
  IMaster* master = fb_get_master_interface();
  IStatus* status = master->getStatus();
  ThrowStatusWrapper st(status);
  IUtil* util = master->getUtilInterface();
  IProvider* provider = master->getDispatcher();
  IXpbBuilder* spb = util->getXpbBuilder(&st, IXpbBuilder::SPB_ATTACH, nullptr, 0);
  spb->insertString(&st, isc_spb_user_name, "SYSDBA");
  spb->insertString(&st, isc_spb_password, "masterkey");
  std::string error;
  try {
    IService* service = provider->attachServiceManager(&st, "127.0.0.1/3050:service_mgr",
                                                       spb->getBufferLength(&st), spb->getBuffer(&st));
    service->detach(&st);
  } catch (const FbException& e) {
    error = formatStatus(util, e.getStatus());
  }
  spb->dispose();
  provider->release();
  status->dispose();
  EXPECT_NE(error.find("Your user name and password are not defined"), std::string::npos) << error;
}

}  // namespace
