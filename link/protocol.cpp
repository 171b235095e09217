#include "link/protocol.h"

#include <charconv>

#include "link/cp1251.h"

namespace mirrox {
namespace {

constexpr std::uint8_t kLastKind = KindFetchFile;

// The agent's side of EncodeParam: 0x09 back to CR and 0x08 back to LF.
std::string decodeParam(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\x09') {
      c = '\r';
    } else if (c == '\x08') {
      c = '\n';
    }
  }
  return out;
}

}  // namespace

std::string EncodeParam(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\n') {
      c = '\x08';
    } else if (c == '\r') {
      c = '\x09';
    }
  }
  return out;
}

std::string encodeCommandLine(const WireCommand& command) {
  std::string line = command.Cmd;
  line += '/';
  line += std::to_string(command.Kind);
  if (command.Param) {
    line += '/';
    line += EncodeParam(*command.Param);
  }
  return line;
}

std::optional<WireCommand> readCommandLine(std::string_view line) {
  const std::size_t first = line.find('/');
  if (first == std::string_view::npos) return std::nullopt;
  const std::string_view rest = line.substr(first + 1);
  const std::size_t second = rest.find('/');
  const std::string_view kind = rest.substr(0, second);
  // Exactly one digit: "01" or "+1" is not a kind this protocol ever sends.
  if (kind.size() != 1 || kind[0] < '0' || kind[0] > '0' + kLastKind) return std::nullopt;
  WireCommand command;
  command.Cmd = std::string(line.substr(0, first));
  command.Kind = static_cast<std::uint8_t>(kind[0] - '0');
  if (second != std::string_view::npos) command.Param = decodeParam(rest.substr(second + 1));
  return command;
}

std::string commandLine(const TCommand& command, bool withParam) {
  WireCommand wire{utf8ToCp1251(command.Cmd), command.Kind, std::nullopt};
  if (withParam) wire.Param = utf8ToCp1251(command.Param);
  return encodeCommandLine(wire);
}

std::string okReply() { return "Ok\n"; }

std::string okReply(std::uint64_t value) { return "Ok/" + std::to_string(value) + "\n"; }

std::string failureReply(FailureCode code, std::string_view message) {
  std::string line = "Error/" + std::to_string(static_cast<std::int32_t>(code)) + "/";
  line.reserve(line.size() + message.size() + 1);
  for (char c : message) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
  line.push_back('\n');
  return line;
}

std::optional<std::int32_t> parseDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int ParseReply(std::string_view line, std::int32_t& value, std::string& text) {
  const std::size_t slash = line.find('/');
  const std::string_view head = line.substr(0, slash);
  const std::string_view rest = slash == std::string_view::npos ? std::string_view() : line.substr(slash + 1);
  if (head == "Ok") {
    value = parseDecimal(rest).value_or(0);
    text.clear();
    return 0;
  }
  const std::size_t next = rest.find('/');
  value = parseDecimal(rest.substr(0, next)).value_or(static_cast<std::int32_t>(FailureCode::Unreadable));
  text = next == std::string_view::npos ? std::string() : std::string(rest.substr(next + 1));
  return 1;
}

std::string encodeBlockLength(std::int32_t length) {
  const auto value = static_cast<std::uint32_t>(length);
  std::string bytes(kBlockLengthSize, '\0');
  for (std::size_t i = 0; i < kBlockLengthSize; ++i) {
    bytes[i] = static_cast<char>((value >> (8 * (kBlockLengthSize - 1 - i))) & 0xFF);
  }
  return bytes;
}

std::int32_t decodeBlockLength(std::span<const char, kBlockLengthSize> bytes) {
  std::uint32_t value = 0;
  for (const char b : bytes) value = (value << 8) | static_cast<unsigned char>(b);
  return static_cast<std::int32_t>(value);
}

}  // namespace mirrox
