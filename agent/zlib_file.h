#pragma once

#include <cstdint>
#include <filesystem>

namespace mirrox::agent {

// Packs `source` into `target` as one zlib stream (RFC 1950: header, deflate data, Adler-32
// trailer, window bits 15), through fixed buffers so that files of any size take constant memory.
// Returns the size of `target` in bytes. Throws AgentError (FailureCode::ResultFile) when a file
// cannot be read or written or zlib fails; `target` is then incomplete and must not be sent.
std::uint64_t deflateFile(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace mirrox::agent
