#include "link/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "link/link_fault.h"
#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(UniqueFd, ClosesWhatItOwnsOnceAndHandsItOnWhenMoved) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int readEnd = fds[0];
  {
    UniqueFd first(readEnd);
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(second.get(), readEnd);
    UniqueFd third;
    third = std::move(second);
    EXPECT_TRUE(isOpen(readEnd));
  }
  EXPECT_FALSE(isOpen(readEnd));
  UniqueFd writeEnd(fds[1]);
  EXPECT_EQ(writeEnd.close(), 0);
  EXPECT_FALSE(writeEnd.valid());
  EXPECT_FALSE(isOpen(fds[1]));
}

TEST(FileIo, WriteAllAndReadFullMoveEveryByteThroughAPipeInPieces) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  UniqueFd in(fds[0]);
  UniqueFd out(fds[1]);
  // More than a pipe holds at once, so both sides go round their loops.
  std::string bytes(1 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  std::thread writer([&] {
    EXPECT_EQ(writeAll(out.get(), bytes), 0);
    out.reset();
  });
  std::string received(bytes.size() + 10, '\0');
  const ssize_t got = readFull(in.get(), received);
  writer.join();
  ASSERT_EQ(got, static_cast<ssize_t>(bytes.size()));
  received.resize(bytes.size());
  EXPECT_EQ(received, bytes);
}

TEST(FileIo, SendAllToAClosedPeerReportsTheBrokenPipeWithoutASignal) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  UniqueFd ours(fds[0]);
  ::close(fds[1]);
  EXPECT_EQ(sendAll(ours.get(), "bytes"), EPIPE);
  EXPECT_EQ(writeAll(-1, "x"), EBADF);
}

TEST(FileIo, InputAndOutputFilesNameThePathAndTheReasonWhenTheyFail) {
  TempDir dir;
  try {
    InputFile missing(dir / "missing.txt");
    FAIL() << "opened a missing file";
  } catch (const LinkFault& fault) {
    EXPECT_EQ(std::string(fault.what()), std::string(kCannotOpenFileMessage) + " \"" +
                                             (dir / "missing.txt").string() + "\". " + std::strerror(ENOENT));
  }
  EXPECT_THROW(OutputFile(dir / "no" / "such" / "dir"), LinkFault);

  OutputFile out(dir / "data.bin");
  out.write("abc");
  out.write(std::string(70000, 'x'));
  out.close();
  EXPECT_EQ(out.size(), 70003u);
  EXPECT_THROW(out.write("late"), LinkFault);
  InputFile in(dir / "data.bin");
  EXPECT_EQ(in.size(), 70003u);
  EXPECT_EQ(in.readAll(), "abc" + std::string(70000, 'x'));
}

TEST(NewFile, RefusesAnExistingFileAndLeavesNothingUnlessKept) {
  TempDir dir;
  writeFile(dir / "there", "old");
  NewFile existing(dir / "there", 0600);
  EXPECT_EQ(existing.error(), EEXIST);
  EXPECT_EQ(readFile(dir / "there"), "old");

  {
    NewFile dropped(dir / "dropped", 0600);
    ASSERT_EQ(dropped.error(), 0);
    EXPECT_EQ(dropped.write("half"), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "dropped"));

  {
    NewFile kept(dir / "kept", 0640);
    ASSERT_EQ(kept.error(), 0);
    EXPECT_EQ(kept.write("whole"), 0);
    EXPECT_EQ(kept.sync(), 0);
    kept.keep();
  }
  EXPECT_EQ(readFile(dir / "kept"), "whole");
}

TEST(ReplacementFile, TakesTheTargetsNameOnlyWhenCommittedAndLeavesNoTemporaryFile) {
  TempDir dir;
  const auto target = dir / "settings.ini";
  writeFile(target, "before");
  {
    ReplacementFile abandoned(target);
    ASSERT_TRUE(abandoned.valid());
    EXPECT_TRUE(abandoned.write("never"));
  }
  EXPECT_EQ(readFile(target), "before");
  {
    ReplacementFile replacement(target);
    ASSERT_TRUE(replacement.valid());
    EXPECT_TRUE(replacement.write("after"));
    EXPECT_TRUE(replacement.commit());
  }
  EXPECT_EQ(readFile(target), "after");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);

  ReplacementFile nowhere(dir / "no" / "such" / "file");
  EXPECT_FALSE(nowhere.valid());
  EXPECT_FALSE(nowhere.commit());
}

}  // namespace
}  // namespace mirrox
