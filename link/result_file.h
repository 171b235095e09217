#pragma once

#include <filesystem>

namespace mirrox {

class RunContext;

// The payload of the last fetch as received, and the result file inflated from it; both in LogDir.
inline constexpr const char* kCompressedResultFileName = "repl.rc~";  // `CompressedResultFile`
inline constexpr const char* kResultFileName = "repl.rc";             // `ResultFile`

std::filesystem::path compressedResultFile(const RunContext& thread);
std::filesystem::path resultFile(const RunContext& thread);

// Reads the file block that follows an agent's success reply to a fetch (4-byte big-endian signed
// length, then that many payload bytes) from thread.tcp() into CompressedResultFile, in pieces of
// 1024 bytes and without taking a byte beyond the payload from the connection, then inflates it into
// `target`. Shows "Файл Ok. Размер(б): <n>" after the transfer and the outcome of the inflate.
// Returns false when the transfer or the inflate failed. Throws LinkFault only when
// CompressedResultFile cannot be created, before anything was read.
bool ReceiveResultFile(RunContext& thread, const std::filesystem::path& target);

// Inflates CompressedResultFile (one zlib stream) into `target` through 32 KiB buffers, in constant
// memory. On success shows "Декомпрессия. Размер (б): <n>" and returns true. Any zlib error (bad
// header, corrupt data, wrong Adler-32, stream cut short, empty input) returns false; the target
// keeps what was written before the error. Bytes after the end of the stream are ignored: the
// Adler-32 trailer has already proved the content complete. Throws LinkFault when the compressed
// file cannot be opened or the target cannot be created.
bool DecompressResultFile(RunContext& thread, const std::filesystem::path& target);

}  // namespace mirrox
