// A received payload inflated into the result file: accepted exactly when zlib accepts it as one
// whole stream, and then the file holds exactly the stream's content.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/result_file.h"
#include "tests/support/test_context.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  const std::filesystem::path& dir = fuzzing::scratchDirectory();
  testing_support::TestContext context(dir, LinkLimits{}, std::make_unique<testing_support::MemoryStream>());
  testing_support::writeFile(compressedResultFile(context), payload);
  std::filesystem::remove(resultFile(context));

  const bool ok = DecompressResultFile(context, resultFile(context));
  const auto expected = testing_support::inflateZlib(payload, testing_support::Trailing::Ignored, 64u << 20);
  fuzzCheck(ok == expected.has_value(), "the inflate accepts exactly the streams zlib accepts", payload);
  if (ok) {
    fuzzCheck(testing_support::readFile(resultFile(context)) == *expected,
              "the result file is the inflated stream", payload);
    fuzzCheck(
        context.published.size() == 1 &&
            context.published.front() == "Декомпрессия. Размер (б): " + std::to_string(expected->size()),
        "a successful inflate is reported once with its size", payload);
  } else {
    fuzzCheck(context.published.empty(), "a failed inflate reports no size", payload);
  }
  return 0;
}
