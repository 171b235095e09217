#pragma once

#include <filesystem>
#include <string_view>

#include "tests/support/memory_stream.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zlib_stream.h"

// Helpers shared by the fuzz targets; the byte stream in memory, the reference inflate and the
// file helpers are the test suite's own (tests/support). A target stops the process through
// fuzzCheck when a reader breaks one of its promises, so libFuzzer keeps the input as a crash.
namespace mirrox::fuzzing {

// Prints the broken promise and aborts; `input` is shown escaped to help reading the report.
[[noreturn]] void fail(std::string_view what, std::string_view input);

inline void fuzzCheck(bool ok, std::string_view what, std::string_view input = {}) {
  if (!ok) fail(what, input);
}

// A directory of the fuzzing process, created once under the system's temporary directory and
// removed when the process ends normally. One process runs one input at a time, so the files in
// it are rewritten by every run.
const std::filesystem::path& scratchDirectory();

}  // namespace mirrox::fuzzing
