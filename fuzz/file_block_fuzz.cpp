// The file block that follows a fetch's success reply: a 4-byte length and a zlib stream, arriving
// in arbitrary pieces. The transfer must take exactly the payload from the connection, and the
// inflate must accept exactly what zlib accepts.
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "link/link_fault.h"
#include "link/protocol.h"
#include "link/result_file.h"
#include "tests/support/test_context.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

namespace {

constexpr std::size_t kInflateLimit = 64u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.size() < 2) return 0;
  // Byte 0: bits 0-1 the number of piece lengths that follow; bit 7 set makes the length field
  // fit the rest of the input give or take a few bytes (bits 2-4 minus 3), so that whole payloads
  // and the inflate are reached often; bit 7 clear takes the length field from the input.
  const auto control = static_cast<unsigned char>(input[0]);
  const std::string_view cuts = input.substr(1, std::min<std::size_t>(input.size() - 1, control % 4));
  std::string_view rest = input.substr(1 + cuts.size());
  std::string block;
  if (control & 0x80) {
    const int delta = static_cast<int>((control >> 2) & 7u) - 3;
    block = encodeBlockLength(static_cast<std::int32_t>(rest.size()) + delta);
    block.append(rest);
  } else {
    block = std::string(rest);
  }

  const std::filesystem::path& dir = fuzzing::scratchDirectory();
  std::filesystem::remove(dir / kCompressedResultFileName);
  std::filesystem::remove(dir / kResultFileName);

  auto owned = std::make_unique<testing_support::MemoryStream>();
  owned->pieces = testing_support::splitIntoPieces(block, cuts);
  testing_support::TestContext context(dir, LinkLimits{}, std::move(owned));
  TcpClient& tcp = context.tcp();
  tcp.setTarget("127.0.0.1", 5029);
  tcp.connect();

  const bool ok = ReceiveResultFile(context, resultFile(context));

  if (block.size() < 4) {
    fuzzCheck(!ok && context.published.empty(), "a block without its length is a failed transfer", input);
    return 0;
  }
  const std::int32_t length =
      decodeBlockLength(std::span<const char, kBlockLengthSize>(block.data(), kBlockLengthSize));
  const std::size_t payloadSize = length > 0 ? static_cast<std::size_t>(length) : 0;
  if (block.size() - 4 < payloadSize) {
    fuzzCheck(!ok && context.published.empty(),
              "a payload cut short is a failed transfer, never shown as received", input);
    return 0;
  }
  const std::string_view payload = std::string_view(block).substr(4, payloadSize);
  fuzzCheck(!context.published.empty() &&
                context.published.front() == "Файл Ok. Размер(б): " + std::to_string(payloadSize),
            "a whole payload is reported with its size", input);
  fuzzCheck(testing_support::readFile(compressedResultFile(context)) == payload,
            "the compressed file holds exactly the payload", input);

  // Nothing beyond the payload was taken: the bytes after it are still there to read.
  const std::string_view tail = std::string_view(block).substr(4 + payloadSize);
  std::string after(tail.size(), '\0');
  try {
    tcp.readExact(std::span<char>(after.data(), after.size()));
  } catch (const LinkFault&) {
    fuzzing::fail("the bytes after the payload are left on the connection", input);
  }
  fuzzCheck(after == tail, "the bytes after the payload come next, unchanged", input);

  const auto expected =
      testing_support::inflateZlib(payload, testing_support::Trailing::Ignored, kInflateLimit);
  fuzzCheck(ok == expected.has_value(), "the inflate accepts exactly the streams zlib accepts", input);
  if (ok) {
    fuzzCheck(testing_support::readFile(resultFile(context)) == *expected,
              "the result file is the inflated stream", input);
    fuzzCheck(context.published.back() == "Декомпрессия. Размер (б): " + std::to_string(expected->size()),
              "a successful inflate is reported with its size", input);
  } else {
    fuzzCheck(context.published.back() == "Ошибка декомпрессии", "a failed inflate is reported", input);
  }
  return 0;
}
