// The start-up step writes the local databases that are missing from the carried templates, and
// the local server, running under its own account, can open what it wrote.
#include "tests/shell/program_copy.h"
#include "tests/support/fb_client.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;
using testing_support::eventually;

// Attaches through the local server as the program does; returns the server's error text or "".
std::string attachError(const std::filesystem::path& database) {
  try {
    testing_support::FbConnection connection("127.0.0.1:" + database.string());
  } catch (const fb::Error& error) {
    return error.what();
  }
  return "";
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
