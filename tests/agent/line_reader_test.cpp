#include <gtest/gtest.h>
#include <sys/socket.h>

#include <thread>

#include "agent/socket.h"

namespace mirrox::agent {
namespace {

class LineReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    ours_ = Socket(fds[0]);
    theirs_ = Socket(fds[1]);
  }
  Socket ours_;
  Socket theirs_;
};

TEST_F(LineReaderTest, CrLfAndLfEndLinesAlikeAndOnlyOneCrGoes) {
  theirs_.writeAll("a\r\nb\nc\r\r\n\n");
  LineReader reader(ours_, 100);
  std::string line;
  ASSERT_EQ(reader.readLine(line), LineReader::Status::Line);
  EXPECT_EQ(line, "a");
  ASSERT_EQ(reader.readLine(line), LineReader::Status::Line);
  EXPECT_EQ(line, "b");
  ASSERT_EQ(reader.readLine(line), LineReader::Status::Line);
  EXPECT_EQ(line, "c\r");
  ASSERT_EQ(reader.readLine(line), LineReader::Status::Line);
  EXPECT_EQ(line, "");
}

TEST_F(LineReaderTest, LineArrivingInPiecesIsWhole) {
  LineReader reader(ours_, 100);
  std::thread writer([this] {
    for (const char* piece : {"/0/upd", "ate t set", " a = 1\r", "\n"}) theirs_.writeAll(piece);
  });
  std::string line;
  EXPECT_EQ(reader.readLine(line), LineReader::Status::Line);
  writer.join();
  EXPECT_EQ(line, "/0/update t set a = 1");
}

TEST_F(LineReaderTest, LineOfExactlyTheLimitPassesOneMoreByteDoesNot) {
  theirs_.writeAll(std::string(10, 'x') + "\r\n" + std::string(11, 'y') + "\n");
  LineReader reader(ours_, 10);
  std::string line;
  ASSERT_EQ(reader.readLine(line), LineReader::Status::Line);
  EXPECT_EQ(line, std::string(10, 'x'));
  EXPECT_EQ(reader.readLine(line), LineReader::Status::TooLong);
}

TEST_F(LineReaderTest, EndlessLineWithoutTerminatorIsTooLongNotAnEndlessRead) {
  LineReader reader(ours_, 1000);
  std::thread writer([this] {
    try {
      for (int i = 0; i < 100; ++i) theirs_.writeAll(std::string(1000, 'z'));
    } catch (const SocketError&) {
      // The reader side may be gone once it gave up.
    }
  });
  std::string line;
  EXPECT_EQ(reader.readLine(line), LineReader::Status::TooLong);
  ours_.shutdownBoth();
  writer.join();
}

TEST_F(LineReaderTest, PeerClosingEndsReadingAndDropsAPartialLine) {
  theirs_.writeAll("done\nhalf");
  theirs_ = Socket();
  LineReader reader(ours_, 100);
  std::string line;
  ASSERT_EQ(reader.readLine(line), LineReader::Status::Line);
  EXPECT_EQ(line, "done");
  EXPECT_EQ(reader.readLine(line), LineReader::Status::Closed);
}

TEST_F(LineReaderTest, WritingToAClosedPeerIsAnErrorNotASignal) {
  theirs_ = Socket();
  EXPECT_THROW(
      {
        for (int i = 0; i < 100; ++i) ours_.writeAll(std::string(65536, 'x'));
      },
      SocketError);
}

}  // namespace
}  // namespace mirrox::agent
