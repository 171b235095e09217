// The start-up step writes the local databases that are missing from the carried templates, and
// the local server, running under its own account, can open what it wrote.
#include <firebird/Interface.h>

#include "tests/shell/program_copy.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::eventually;

// Attaches through the local server as the program does; returns the server's error text or "".
std::string attachError(const std::filesystem::path& database) {
  using namespace Firebird;
  IMaster* master = fb_get_master_interface();
  IStatus* status = master->getStatus();
  ThrowStatusWrapper st(status);
  IUtil* util = master->getUtilInterface();
  IProvider* provider = master->getDispatcher();
  std::string error;
  IXpbBuilder* dpb = util->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
  try {
    dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
    dpb->insertString(&st, isc_dpb_password, "quillbarn");
    dpb->insertString(&st, isc_dpb_lc_ctype, "WIN1251");
    IAttachment* attachment = provider->attachDatabase(&st, ("127.0.0.1:" + database.string()).c_str(),
                                                       dpb->getBufferLength(&st), dpb->getBuffer(&st));
    attachment->detach(&st);
  } catch (const FbException& e) {
    char buf[1024];
    util->formatStatus(buf, sizeof buf, e.getStatus());
    error = buf;
  }
  dpb->dispose();
  provider->release();
  status->dispose();
  return error;
}

TEST_F(ProgramCopy, MissingDatabasesAreWrittenFromTheTemplatesAndOpenThroughTheServer) {
  auto program = start({});
  ASSERT_TRUE(eventually([&] { return count("Создан файл серверной БД: \r\n") == 2; })) << log();
  EXPECT_NE(log().find("Создан файл серверной БД: \r\n" + (dir_ / "DB" / "serverdb.gdb").string() + "\r\n"),
            std::string::npos);
  EXPECT_NE(log().find("Создан файл серверной БД: \r\n" + (dir_ / "DB" / "journal.db").string() + "\r\n"),
            std::string::npos);
  EXPECT_EQ(attachError(dir_ / "DB" / "serverdb.gdb"), "");
  EXPECT_EQ(attachError(dir_ / "DB" / "journal.db"), "");
  auto closer = start({"close"});
  EXPECT_EQ(closer->waitFor(20s), 0);
  EXPECT_EQ(program->waitFor(20s), 0);

  // The next start finds both files and leaves them alone.
  testing_support::writeFile(dir_ / "DB" / "journal.db", "changed by the operator");
  auto again = start({});
  ASSERT_TRUE(eventually([&] { return count("---------------------------\r\n") == 2; })) << log();
  auto closer2 = start({"close"});
  EXPECT_EQ(closer2->waitFor(20s), 0);
  EXPECT_EQ(again->waitFor(20s), 0);
  EXPECT_EQ(count("Создан файл серверной БД"), 2u);
  EXPECT_EQ(testing_support::readFile(dir_ / "DB" / "journal.db"), "changed by the operator");
}

}  // namespace
}  // namespace mirrox
