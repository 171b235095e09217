#include "agent/result_store.h"

#include <gtest/gtest.h>

#include <fstream>

#include "agent/agent_error.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zlib_stream.h"

namespace mirrox::agent {
namespace {

class ResultStoreTest : public ::testing::Test {
 protected:
  void writeRows(ResultStore& store, std::uint64_t id, const std::string& rows) {
    std::ofstream(store.rowsPath(id), std::ios::binary) << rows;
  }
  bool directoryEmpty() const { return std::filesystem::is_empty(dir_.path()); }

  testing_support::TempDir dir_;
  std::atomic<std::uint64_t> counter_{0};
};

TEST_F(ResultStoreTest, IdentifiersNeverRepeatAcrossConnections) {
  ResultStore first(dir_.path(), counter_);
  ResultStore second(dir_.path(), counter_);
  const std::uint64_t a = first.reserve();
  const std::uint64_t b = second.reserve();
  const std::uint64_t c = first.reserve();
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(a, c);
}

TEST_F(ResultStoreTest, OnlyCompletedResultsOfThisStoreCanBeFetched) {
  ResultStore mine(dir_.path(), counter_);
  ResultStore other(dir_.path(), counter_);
  const std::uint64_t pending = mine.reserve();
  writeRows(mine, pending, "1\r\n");
  const std::uint64_t foreign = other.reserve();
  writeRows(other, foreign, "2\r\n");
  other.complete(foreign);

  EXPECT_FALSE(mine.packed(pending).has_value()) << "still being written";
  EXPECT_FALSE(mine.packed(foreign).has_value()) << "another connection's result";
  EXPECT_FALSE(mine.packed(12345).has_value());
  mine.complete(pending);
  const auto packed = mine.packed(pending);
  ASSERT_TRUE(packed.has_value());
  EXPECT_EQ(packed->size, std::filesystem::file_size(packed->path));
  // A second fetch of the same result gets the same stream.
  EXPECT_EQ(mine.packed(pending)->path, packed->path);
  EXPECT_EQ(mine.packed(pending)->size, packed->size);
}

TEST_F(ResultStoreTest, CompletingPacksTheRowsAndDropsThePlainFile) {
  ResultStore store(dir_.path(), counter_);
  const std::uint64_t id = store.reserve();
  writeRows(store, id, "1\t\xC0\r\n");
  store.complete(id);
  EXPECT_FALSE(std::filesystem::exists(store.rowsPath(id)));
  const auto packed = store.packed(id);
  ASSERT_TRUE(packed.has_value());
  std::ifstream in(packed->path, std::ios::binary);
  const std::string stream((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(testing_support::inflateZlib(stream), "1\t\xC0\r\n");
}

TEST_F(ResultStoreTest, ResultWhoseRowsCannotBePackedStaysUnfetchable) {
  ResultStore store(dir_.path(), counter_);
  const std::uint64_t id = store.reserve();  // nothing written
  EXPECT_THROW(store.complete(id), AgentError);
  EXPECT_FALSE(store.packed(id).has_value());
}

TEST_F(ResultStoreTest, DiscardedResultIsGoneWithItsFile) {
  ResultStore store(dir_.path(), counter_);
  const std::uint64_t id = store.reserve();
  writeRows(store, id, "partial");
  store.discard(id);
  EXPECT_FALSE(store.packed(id).has_value());
  EXPECT_TRUE(directoryEmpty());
}

TEST_F(ResultStoreTest, FilesGoWithTheConnection) {
  {
    ResultStore store(dir_.path(), counter_);
    const std::uint64_t id = store.reserve();
    writeRows(store, id, "1\r\n");
    store.complete(id);
    ASSERT_TRUE(store.packed(id).has_value());
    EXPECT_FALSE(directoryEmpty());
  }
  EXPECT_TRUE(directoryEmpty());
}

}  // namespace
}  // namespace mirrox::agent
