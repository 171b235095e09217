// The rows of an inflated result file as the engine applies them. The reader must give back
// exactly the bytes of the file split at TAB and row ends, whatever the file holds, also where a
// row end straddles the reader's buffer.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/result_rows.h"
#include "fuzz/fuzz_support.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

namespace {

// The reader fills a 64 KiB buffer; a filler row of about that size puts the fuzzed bytes across
// its boundary.
constexpr std::size_t kBufferSize = 64 * 1024;

struct ExpectedRow {
  std::vector<std::string> fields;
  bool terminated;
};

std::vector<ExpectedRow> splitRows(std::string_view bytes) {
  std::vector<ExpectedRow> rows;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t end = std::min(bytes.find_first_of("\r\n", pos), bytes.size());
    const std::string_view line = bytes.substr(pos, end - pos);
    const bool terminated = end < bytes.size();
    if (!line.empty()) {
      ExpectedRow row{{std::string()}, terminated};
      for (const char c : line) {
        if (c == '\t')
          row.fields.emplace_back();
        else
          row.fields.back() += c;
      }
      rows.push_back(std::move(row));
    }
    pos = end;
    if (pos < bytes.size()) pos += bytes.compare(pos, 2, "\r\n") == 0 ? 2 : 1;
  }
  return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty()) return 0;
  std::string bytes;
  const auto control = static_cast<unsigned char>(input[0]);
  if ((control & 0xF0) == 0xF0) {
    // A filler row ending 0 to 7 bytes before the buffer's end, so that the next bytes straddle
    // it. Only for a sixteenth of the inputs: a 64 KiB row is slow to read under the sanitizers.
    bytes.assign(kBufferSize - 2 - (control & 7u), 'x');
    bytes += "\r\n";
  }
  bytes.append(input.substr(1));

  const std::filesystem::path path = fuzzing::scratchDirectory() / "rows.rc";
  testing_support::writeFile(path, bytes);
  const std::vector<ExpectedRow> expected = splitRows(bytes);

  ResultRowReader reader(path);
  ResultRowReader::Row row;
  std::size_t index = 0;
  while (reader.next(row)) {
    fuzzCheck(index < expected.size(), "no row beyond the file's rows", input);
    fuzzCheck(row.fields == expected[index].fields, "a row's fields are the bytes between its TABs", input);
    fuzzCheck(row.terminated == expected[index].terminated, "only a last row without its end is unterminated",
              input);
    ++index;
  }
  fuzzCheck(index == expected.size(), "every row of the file is read", input);
  fuzzCheck(!reader.next(row), "the end of the file stays the end", input);
  return 0;
}
