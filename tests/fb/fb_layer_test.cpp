// The Firebird layer against the real local server: what a failure says, which failures mean a
// lost connection, the rule for the calls that end an interface, and text messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/database.h"
#include "fb/closing.h"
#include "fb/connect.h"
#include "fb/parameter_block.h"
#include "fb/status.h"
#include "fb/text_message.h"
#include "tests/support/scratch_database.h"
#include "tests/support/temp_dir.h"

namespace mirrox::fb {
namespace {

using testing_support::ScratchDatabase;
using testing_support::TempDir;

ParameterBlock login() {
  ParameterBlock dpb(ParameterBlock::Attachment);
  addLogin(dpb, Database::kUserName, Database::kPassword);
  return dpb;
}

TEST(FbStatus, AFailedCallThrowsTheServersMessageInUtf8LinesWithoutATrailingBreak) {
  TempDir dir;
  try {
    attach("127.0.0.1:" + (dir / "missing.fdb").string(), login());
    FAIL() << "attached a missing database";
  } catch (const Error& error) {
    const std::string text = error.what();
    EXPECT_EQ(
        text.rfind(
            "I/O error during \"open\" operation for file \"" + (dir / "missing.fdb").string() + "\"\n", 0),
        0u)
        << text;
    EXPECT_NE(text.back(), '\n');
    EXPECT_FALSE(error.connectionLost());
  }
}

TEST(FbStatus, AServerThatCannotBeReachedCountsAsALostConnection) {
  // Port 1 on loopback: nothing listens there.
  try {
    attach("127.0.0.1/1:/nowhere.fdb", login());
    FAIL() << "attached through a closed port";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("Unable to complete network request"), std::string::npos)
        << error.what();
    EXPECT_TRUE(error.connectionLost());
  }
}

TEST(FbStatus, AQuietStatusRecordsTheFailureAndThrowsNothing) {
  TempDir dir;
  const ScratchDatabase database(dir.path(), "quiet.fdb");
  Handle<Firebird::IAttachment> attachment = attach(database.connectionName(), login());
  Status status(Status::Quiet);
  const Handle<Firebird::IStatement> statement(attachment->prepare(&status, nullptr, 0, "select", 3, 0));
  EXPECT_TRUE(status.failed());
  EXPECT_EQ(statement, nullptr);
  EXPECT_NE(std::string(status.error().what()).find("Unexpected end of command"), std::string::npos)
      << status.error().what();
  EXPECT_TRUE(detachQuietly(attachment));
}

// A successful end releases the interface (the handle lets go of it); a failed one leaves it to
// be released: a detach with a transaction still open fails, and the quiet form releases it.
TEST(FbClosing, SuccessLetsTheHandleGoAndAFailedQuietEndReleasesIt) {
  TempDir dir;
  const ScratchDatabase database(dir.path(), "closing.fdb");
  Handle<Firebird::IAttachment> attachment = attach(database.connectionName(), login());
  ParameterBlock tpb(ParameterBlock::Transaction);
  tpb.tag(isc_tpb_read_committed).tag(isc_tpb_rec_version).tag(isc_tpb_nowait);
  Handle<Firebird::ITransaction> transaction = startTransaction(attachment.get(), tpb);
  commit(transaction);
  EXPECT_EQ(transaction, nullptr);
  commit(transaction);  // an empty handle is left alone

  Handle<Firebird::ITransaction> open = startTransaction(attachment.get(), tpb);
  EXPECT_FALSE(detachQuietly(attachment));
  EXPECT_EQ(attachment, nullptr);
  // The attachment is gone with its failed detach: whatever the rollback says, nothing is left.
  rollbackQuietly(open);
  EXPECT_EQ(open, nullptr);
}

TEST(FbTextMessage, CarriesTextAndNullInEveryFieldAndNothingWithoutFields) {
  const std::vector<unsigned> rooms{1, 5, 255};
  TextMessage message(rooms);
  ASSERT_EQ(message.count(), 3u);
  EXPECT_EQ(message.room(1), 5u);
  ASSERT_NE(message.metadata(), nullptr);
  message.set(0, "\xC0");
  message.setNull(1);
  message.set(2, std::string(255, 'x'));
  EXPECT_EQ(message.get(0), "\xC0");
  EXPECT_EQ(message.get(1), std::nullopt);
  EXPECT_EQ(message.get(2), std::string(255, 'x'));
  message.set(1, "");
  EXPECT_EQ(message.get(1), "");

  const TextMessage none;
  EXPECT_EQ(none.count(), 0u);
  EXPECT_EQ(none.metadata(), nullptr);
}

}  // namespace
}  // namespace mirrox::fb
