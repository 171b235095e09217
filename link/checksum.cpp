#include "link/checksum.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>

#include "link/file_io.h"

namespace mirrox {
namespace {

constexpr std::array<std::uint16_t, 256> makeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) : (crc << 1);
    table[i] = static_cast<std::uint16_t>(crc & 0xFFFF);
  }
  return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = makeCrcTable();
static_assert(kCrcTable[1] == 0x1021 && kCrcTable[2] == 0x2042 && kCrcTable[255] == 0x1EF0);

}  // namespace

std::uint16_t Crc16Step(std::uint8_t byte, std::uint16_t value) {
  return static_cast<std::uint16_t>(kCrcTable[((value >> 8) ^ byte) & 0xFF] ^ ((value << 8) & 0xFFFF));
}

std::int32_t FileChecksum(const std::filesystem::path& path) {
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return 0;
  // A shared advisory lock keeps cooperating writers out while the file is read; a file that is
  // locked for writing counts as one that cannot be opened.
  if (::flock(file.get(), LOCK_SH | LOCK_NB) != 0) return 0;
  std::array<char, kChecksumBlockSize> block;
  std::uint16_t value = 0;
  for (;;) {
    const ssize_t n = readFull(file.get(), block);
    if (n < 0) return 0;
    for (ssize_t i = 1; i < n; ++i)
      value = Crc16Step(static_cast<std::uint8_t>(block[static_cast<std::size_t>(i)]), value);
    if (static_cast<std::size_t>(n) < block.size()) break;
  }
  return value;
}

}  // namespace mirrox
