#include <gtest/gtest.h>

#include <string>

#include "link/checksum.h"
#include "link/file_io.h"
#include "link/link_fault.h"
#include "link/platform/files.h"
#include "tests/support/temp_dir.h"

// The file rules that must hold the same on every system: a writer and the checksum reader keep
// each other out, and a replacement takes a file's place while a reader still holds the old one.
namespace mirrox {
namespace {

using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

TEST(SharedFiles, ChecksumOfAFileThatAWriterHoldsOpenIsZeroUntilTheWriterCloses) {
  TempDir dir;
  const auto path = dir / "repl.rc";
  OutputFile writer(path);
  writer.write("a\tb\r\nc\td\r\n");
  EXPECT_EQ(FileChecksum(path), 0);
  writer.close();
  EXPECT_NE(FileChecksum(path), 0);
}

TEST(SharedFiles, AWriterIsRefusedWhileTheChecksumReaderHoldsTheFileAndLosesNothing) {
  TempDir dir;
  const auto path = dir / "repl.rc";
  writeFile(path, "kept");
  {
    const UniqueFd reader(platform::openFile(path, platform::FileAccess::ReadDenyWriters));
    ASSERT_TRUE(reader.valid());
    try {
      OutputFile writer(path);
      FAIL() << "the writer got in";
    } catch (const LinkFault& fault) {
      EXPECT_NE(std::string(fault.what()).find(path.string()), std::string::npos) << fault.what();
    }
    // Two readers that deny writers do not deny each other.
    EXPECT_TRUE(UniqueFd(platform::openFile(path, platform::FileAccess::ReadDenyWriters)).valid());
  }
  EXPECT_EQ(readFile(path), "kept");
  OutputFile afterwards(path);
  afterwards.close();
}

// POSIX replaces a file that a reader holds open (the reader keeps the old bytes); Windows refuses
// while the reader holds it. Either way the file is one whole version and no temporary file stays.
TEST(SharedFiles, ReplacementWhileAReaderHoldsTheFileLeavesOneWholeVersion) {
  TempDir dir;
  const auto path = dir / "mirrox.ini";
  writeFile(path, "old");
  {
    InputFile reader(path);
    try {
      replaceFile(path, "new contents");
      EXPECT_EQ(readFile(path), "new contents");
    } catch (const LinkFault& fault) {
      EXPECT_EQ(readFile(path), "old") << fault.what();
    }
    EXPECT_EQ(reader.readAll(), "old");
  }
  replaceFile(path, "newer");
  EXPECT_EQ(readFile(path), "newer");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 1);
}

TEST(SharedFiles, ReplacementOfAFileInAMissingDirectoryFailsNamingItAndCreatesNothing) {
  TempDir dir;
  const auto path = dir / "missing" / "mirrox.ini";
  try {
    replaceFile(path, "x");
    FAIL() << "replaced a file in a missing directory";
  } catch (const LinkFault& fault) {
    EXPECT_NE(std::string(fault.what()).find(path.string()), std::string::npos) << fault.what();
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
}  // namespace mirrox
