#include "agent/zlib_file.h"

#include <gtest/gtest.h>

#include <random>

#include "agent/agent_error.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zlib_stream.h"

namespace mirrox::agent {
namespace {

using testing_support::readFile;
using testing_support::writeFile;

class DeflateFile : public ::testing::TestWithParam<std::size_t> {};

// Sizes around the 64 KiB buffers, and one that is incompressible so the output spans buffers.
TEST_P(DeflateFile, ProducesOneZlibStreamThatInflatesToTheFile) {
  testing_support::TempDir dir;
  std::mt19937 random(static_cast<unsigned>(GetParam()));
  std::string content(GetParam(), '\0');
  for (char& c : content) c = static_cast<char>(random());
  writeFile(dir.path() / "rows", content);

  const std::uint64_t size = deflateFile(dir.path() / "rows", dir.path() / "rows.z");
  const std::string packed = readFile(dir.path() / "rows.z");
  EXPECT_EQ(size, packed.size());
  ASSERT_GE(packed.size(), 6u);
  EXPECT_EQ(static_cast<unsigned char>(packed[0]) & 0x0F, 8) << "deflate method in the zlib header";
  EXPECT_EQ(testing_support::inflateZlib(packed), content);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DeflateFile,
                         ::testing::Values(0u, 1u, 65535u, 65536u, 65537u, 3u * 65536u + 11u));

TEST(DeflateFileErrors, MissingSourceOrUnwritableTargetThrows) {
  testing_support::TempDir dir;
  EXPECT_THROW(deflateFile(dir.path() / "absent", dir.path() / "out.z"), AgentError);
  writeFile(dir.path() / "rows", "x");
  EXPECT_THROW(deflateFile(dir.path() / "rows", dir.path() / "no" / "out.z"), AgentError);
}

}  // namespace
}  // namespace mirrox::agent
