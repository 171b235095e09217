#include "link/tcp_client.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "link/link_fault.h"
#include "link/original_rep.h"
#include "link/send_command.h"
#include "tests/support/memory_stream.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_context.h"

namespace mirrox {
namespace {

using namespace std::chrono_literals;

using testing_support::MemoryStream;

class TcpClientTest : public testing::Test {
 protected:
  TcpClientTest() {
    auto owned = std::make_unique<MemoryStream>();
    stream_ = owned.get();
    LinkLimits limits;
    limits.maxLineLength = 10;
    client_ = std::make_unique<TcpClient>(limits, std::move(owned));
    client_->setTarget("10.0.0.1", 5029);
    client_->connect();
  }
  MemoryStream* stream_;
  std::unique_ptr<TcpClient> client_;
};

TEST_F(TcpClientTest, LinesSplitAcrossPiecesAndSeveralLinesInOnePiece) {
  stream_->pieces = {"O", "k/1", "7\r", "\nOk\nEr", "ror/4/x\n"};
  EXPECT_EQ(client_->readLine(), "Ok/17");
  EXPECT_EQ(client_->readLine(), "Ok");
  EXPECT_EQ(client_->readLine(), "Error/4/x");
}

TEST_F(TcpClientTest, OnlyOneCarriageReturnBeforeTheLineFeedIsRemoved) {
  stream_->pieces = {"a\r\r\n", "\r\n", "b\rc\n"};
  EXPECT_EQ(client_->readLine(), "a\r");
  EXPECT_EQ(client_->readLine(), "");
  EXPECT_EQ(client_->readLine(), "b\rc");
}

TEST_F(TcpClientTest, LineLengthIsCountedBeforeTheLineFeed) {
  stream_->pieces = {"0123456789\n", "0123456789A\n"};
  EXPECT_EQ(client_->readLine(), "0123456789");
  EXPECT_THROW(client_->readLine(), LinkFault);
}

TEST_F(TcpClientTest, OverLongLineFailsAsSoonAsItCannotEndInTime) {
  stream_->pieces = {"012345", "6789AB"};  // no LF ever comes; the next read would run into the limit
  try {
    client_->readLine();
    FAIL();
  } catch (const LinkFault& fault) {
    EXPECT_STREQ(fault.what(), "Max line length exceeded.");
  }
  EXPECT_EQ(stream_->reads, 2);
}

TEST_F(TcpClientTest, ExactReadTakesBufferedBytesFirstAndNoMoreThanAsked) {
  stream_->pieces = {"Ok\nABCDEFG", "HIJ", "KLMNOP"};
  EXPECT_EQ(client_->readLine(), "Ok");
  std::string block(9, '\0');
  client_->readExact(block);
  EXPECT_EQ(block, "ABCDEFGHI");
  // Only the bytes asked for were taken from the stream's last piece.
  ASSERT_EQ(stream_->pieces.size(), 2u);
  EXPECT_EQ(stream_->pieces.front(), "J");
  std::string rest(7, '\0');
  client_->readExact(rest);
  EXPECT_EQ(rest, "JKLMNOP");
  EXPECT_TRUE(stream_->pieces.empty());
}

TEST_F(TcpClientTest, ReadLimitIsPassedToTheStream) {
  stream_->pieces = {"a\n", "b\n"};
  client_->setReadTimeout(250ms);
  client_->readLine();
  EXPECT_EQ(stream_->lastLimit, std::optional<std::chrono::milliseconds>(250ms));
  client_->setReadTimeout(std::nullopt);
  client_->readLine();
  EXPECT_EQ(stream_->lastLimit, std::nullopt);
}

TEST_F(TcpClientTest, UnlimitedWaitLooksAtTheStopRequestBetweenSlices) {
  client_->setReadTimeout(std::nullopt);
  int asked = 0;
  client_->setStopCheck([&] { return ++asked == 3; });
  try {
    client_->readLine();
    FAIL();
  } catch (const LinkFault& fault) {
    EXPECT_STREQ(fault.what(), kStopRequestedMessage);
  }
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(stream_->lastLimit, std::optional<std::chrono::milliseconds>(LinkLimits{}.stopPollInterval));
}

TEST_F(TcpClientTest, LimitedWaitThatGetsNothingIsAReadTimeout) {
  try {
    client_->readLine();
    FAIL();
  } catch (const LinkFault& fault) {
    EXPECT_STREQ(fault.what(), "Read Timeout");
  }
}

TEST_F(TcpClientTest, DisconnectDropsBufferedBytes) {
  stream_->pieces = {"one\ntwo\n"};
  EXPECT_EQ(client_->readLine(), "one");
  client_->disconnect();
  EXPECT_FALSE(client_->connected());
  client_->connect();
  stream_->pieces = {"three\n"};
  EXPECT_EQ(client_->readLine(), "three");
}

TEST_F(TcpClientTest, WriteLineEndsWithCrLf) {
  client_->writeLine("/3/");
  EXPECT_EQ(stream_->written, "/3/\r\n");
  EXPECT_EQ(stream_->opened, "10.0.0.1:5029");
}

TEST(SendCommandOverAStream, FailedWriteBreaksTheExchangeWithTheSocketError) {
  testing_support::TempDir dir;
  auto owned = std::make_unique<MemoryStream>();
  owned->writeLimit = 5;
  testing_support::TestContext context(dir.path(), LinkLimits{}, std::move(owned));
  context.sites.push_back(AgentSite{"10.0.0.1", 5029, "/x", 0});
  EXPECT_EQ(SendCommand(context, 0, OriginalRep::CmdMarkArchive), kSendBroken);
  EXPECT_EQ(context.statusText(), "Socket Error # 32\r\nBroken pipe {A429281C-D55B-44BA-B96B-26FEDBC2015E}");
  EXPECT_FALSE(context.tcp().connected());
}

}  // namespace
}  // namespace mirrox
