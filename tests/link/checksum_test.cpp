#include "link/checksum.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace mirrox {
namespace {

using testing_support::TempDir;
using testing_support::writeFile;

// Bit by bit, independent of the table: CRC-16/XMODEM.
std::uint16_t referenceCrc(std::string_view bytes) {
  unsigned crc = 0;
  for (unsigned char byte : bytes) {
    crc ^= static_cast<unsigned>(byte) << 8;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
  }
  return static_cast<std::uint16_t>(crc);
}

std::string patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) % 251);
  return bytes;
}

TEST(Crc16Step, NineDigitsGiveTheXmodemCheckValue) {
  std::uint16_t value = 0;
  for (char c : std::string("123456789")) value = Crc16Step(static_cast<std::uint8_t>(c), value);
  EXPECT_EQ(value, 0x31C3);
}

TEST(Crc16Step, MatchesTheBitwiseCrcForEverySingleByte) {
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    EXPECT_EQ(Crc16Step(static_cast<std::uint8_t>(b), 0), referenceCrc(std::string_view(&byte, 1))) << b;
  }
}

class FileChecksumTest : public testing::Test {
 protected:
  std::int32_t checksumOf(std::string_view bytes) {
    const auto path = dir_.file("f.bin");
    writeFile(path, bytes);
    return FileChecksum(path);
  }
  TempDir dir_;
};

TEST_F(FileChecksumTest, MissingEmptyUnreadableAndOneByteFilesGiveZero) {
  EXPECT_EQ(FileChecksum(dir_.file("missing")), 0);
  EXPECT_EQ(checksumOf(""), 0);
  EXPECT_EQ(checksumOf("Z"), 0);
  EXPECT_EQ(FileChecksum(dir_.path()), 0);  // a directory opens but cannot be read
}

TEST_F(FileChecksumTest, ThreeLettersGiveTheCrcOfTheLastTwo) {
  EXPECT_EQ(checksumOf("abc"), 0x318D);
  EXPECT_EQ(checksumOf("abc"), referenceCrc("bc"));
}

TEST_F(FileChecksumTest, FirstByteOfEveryBlockIsLeftOut) {
  const std::string bytes = patterned(3 * kChecksumBlockSize + 100);
  std::string expected;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % kChecksumBlockSize != 0) expected.push_back(bytes[i]);
  }
  EXPECT_EQ(checksumOf(bytes), referenceCrc(expected));
}

TEST_F(FileChecksumTest, FileOfOneBlockAndOneByteIgnoresItsLastByte) {
  const std::string bytes = patterned(kChecksumBlockSize + 1);
  EXPECT_EQ(checksumOf(bytes), referenceCrc(std::string_view(bytes).substr(1, kChecksumBlockSize - 1)));
}

TEST_F(FileChecksumTest, FileOfExactlyOneBlockCoversAllButTheFirstByte) {
  const std::string bytes = patterned(kChecksumBlockSize);
  EXPECT_EQ(checksumOf(bytes), referenceCrc(std::string_view(bytes).substr(1)));
}

TEST_F(FileChecksumTest, OnlyBytesAtBlockStartsCanChangeWithoutChangingTheValue) {
  std::string bytes = patterned(2 * kChecksumBlockSize + 10);
  const std::int32_t original = checksumOf(bytes);
  ASSERT_NE(original, 0);
  std::string changed = bytes;
  changed[0] ^= 0x55;
  changed[kChecksumBlockSize] ^= 0x55;
  changed[2 * kChecksumBlockSize] ^= 0x55;
  EXPECT_EQ(checksumOf(changed), original);
  changed = bytes;
  changed[1] ^= 0x55;
  EXPECT_NE(checksumOf(changed), original);
  changed = bytes;
  changed[kChecksumBlockSize + 1] ^= 0x55;
  EXPECT_NE(checksumOf(changed), original);
}

TEST_F(FileChecksumTest, ValueFitsIntoSixteenBits) {
  for (std::size_t size : {2u, 100u, 9000u, 40000u}) {
    const std::int32_t value = checksumOf(patterned(size));
    EXPECT_GE(value, 0);
    EXPECT_LE(value, 0xFFFF);
  }
}

}  // namespace
}  // namespace mirrox
