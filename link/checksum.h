#pragma once

#include <cstdint>
#include <filesystem>

namespace mirrox {

// The file is read in blocks of this size; the first byte of every block stays out of the value.
inline constexpr std::size_t kChecksumBlockSize = 8192;

// One step of CRC-16/XMODEM (polynomial 0x1021, initial value 0, no reflection, no final XOR).
std::uint16_t Crc16Step(std::uint8_t byte, std::uint16_t value);

// The address-file checksum stored under "f32": CRC-16/XMODEM over every byte of the file except
// those at offsets 0, 8192, 16384, ... Upper half always 0. Never fails: a missing file or one that
// cannot be opened or read gives 0, so stored values compare equal to "nothing applied yet".
std::int32_t FileChecksum(const std::filesystem::path& path);

}  // namespace mirrox
