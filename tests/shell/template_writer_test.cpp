#include "shell/template_writer.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QFile>
#include <climits>
#include <filesystem>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/without_capabilities.h"

namespace mirrox {
namespace {

QByteArray resourceBytes(const char* path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
  return file.readAll();
}

TEST(WriteTemplate, WritesEachCarriedTemplateByteForByteForTheServersAccount) {
  testing_support::TempDir dir;
  ASSERT_FALSE(WriteTemplate(dir / "serverdb.gdb", 0).has_value());
  ASSERT_FALSE(WriteTemplate(dir / "journal.db", 1).has_value());
  const QByteArray metering = resourceBytes(":/DB/DB_L");
  const QByteArray journal = resourceBytes(":/DB/DB_J");
  ASSERT_GT(metering.size(), 0);
  EXPECT_EQ(testing_support::readFile(dir / "serverdb.gdb"), metering.toStdString());
  EXPECT_EQ(testing_support::readFile(dir / "journal.db"), journal.toStdString());
  EXPECT_NE(metering, journal);

  struct stat st {};
  ASSERT_EQ(::stat((dir / "serverdb.gdb").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0660u);  // never world-readable: it holds the site's data
}

struct stat statOf(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

// The server's account, as the local server is installed on this machine.
struct ServerAccount {
  uid_t user = 0;
  gid_t group = 0;
};
ServerAccount serverAccount() {
  const passwd* user = ::getpwnam("firebird");
  const group* grp = ::getgrnam("firebird");
  if (user == nullptr || grp == nullptr) return {};
  return {user->pw_uid, grp->gr_gid};
}

// While it lives, the calling thread acts as `nobody` with one supplementary group: an operator's
// account that is no root. The raw system calls change this thread only (glibc's wrappers would
// change every thread), and root comes back at the end.
class AsOperatorInGroup {
 public:
  explicit AsOperatorInGroup(gid_t group) : saved_(NGROUPS_MAX) {
    const int count = ::getgroups(static_cast<int>(saved_.size()), saved_.data());
    saved_.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    active_ = ::syscall(SYS_setgroups, 1, &group) == 0 && ::syscall(SYS_setresuid, -1, kNobody, -1) == 0;
  }
  ~AsOperatorInGroup() {
    ::syscall(SYS_setresuid, -1, 0, -1);
    ::syscall(SYS_setgroups, saved_.size(), saved_.data());
  }
  AsOperatorInGroup(const AsOperatorInGroup&) = delete;
  AsOperatorInGroup& operator=(const AsOperatorInGroup&) = delete;

  static constexpr uid_t kNobody = 65534;
  bool active() const { return active_; }

 private:
  std::vector<gid_t> saved_;
  bool active_ = false;
};

// Each way the file reaches the server's account: handed over by root, shared through the server's
// group by an operator in it, opened to everyone where neither may be done.
TEST(WriteTemplate, FileReachesTheServersAccountByTheFirstWayThisProcessMay) {
  const ServerAccount server = serverAccount();
  if (::geteuid() != 0 || server.user == 0) GTEST_SKIP() << "needs root and the firebird account";
  testing_support::TempDir dir;

  ASSERT_FALSE(WriteTemplate(dir / "by_root.gdb", 0).has_value());
  EXPECT_EQ(statOf(dir / "by_root.gdb").st_uid, server.user);
  EXPECT_EQ(statOf(dir / "by_root.gdb").st_gid, server.group);
  EXPECT_EQ(statOf(dir / "by_root.gdb").st_mode & 0777, 0660u);

  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  {
    AsOperatorInGroup asOperator(server.group);
    ASSERT_TRUE(asOperator.active());
    ASSERT_FALSE(WriteTemplate(dir / "by_member.gdb", 0).has_value());
  }
  EXPECT_EQ(statOf(dir / "by_member.gdb").st_uid, AsOperatorInGroup::kNobody);
  EXPECT_EQ(statOf(dir / "by_member.gdb").st_gid, server.group);
  EXPECT_EQ(statOf(dir / "by_member.gdb").st_mode & 0777, 0660u);

  {
    testing_support::WithoutCapabilities asAnyAccount({CAP_CHOWN});
    ASSERT_FALSE(WriteTemplate(dir / "by_anyone.gdb", 0).has_value());
  }
  EXPECT_EQ(statOf(dir / "by_anyone.gdb").st_uid, 0u);
  EXPECT_EQ(statOf(dir / "by_anyone.gdb").st_mode & 0777, 0666u);
}

TEST(WriteTemplate, NeverTouchesAnExistingFile) {
  testing_support::TempDir dir;
  testing_support::writeFile(dir / "serverdb.gdb", "operator's data");
  const auto error = WriteTemplate(dir / "serverdb.gdb", 0);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(testing_support::readFile(dir / "serverdb.gdb"), "operator's data");
}

TEST(WriteTemplate, UnwritableDirectoryNamesThePathAndTheReasonAndLeavesNothing) {
  testing_support::TempDir dir;
  const auto path = dir / "missing" / "serverdb.gdb";
  const auto error = WriteTemplate(path, 0);
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find(path.string()), std::string::npos) << *error;
  EXPECT_NE(error->find("No such file or directory"), std::string::npos) << *error;
  EXPECT_FALSE(WriteTemplate(dir / "x.db", 7) == std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.db"));
}

}  // namespace
}  // namespace mirrox
