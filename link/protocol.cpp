#include "link/protocol.h"

#include <charconv>

#include "link/cp1251.h"

namespace mirrox {

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

std::string commandLine(const TCommand& command, bool withParam) {
  std::string line = utf8ToCp1251(command.Cmd);
  line += '/';
  line += std::to_string(command.Kind);
  if (withParam) {
    line += '/';
    line += EncodeParam(utf8ToCp1251(command.Param));
  }
  return line;
}

std::optional<ReceivedCommand> parseCommandLine(std::string_view line) {
  const std::size_t first = line.find('/');
  if (first == std::string_view::npos) return std::nullopt;
  ReceivedCommand received;
  received.cmd = std::string(line.substr(0, first));
  std::string_view rest = line.substr(first + 1);
  const std::size_t second = rest.find('/');
  const std::string_view kindText = rest.substr(0, second);
  unsigned kind = 0;
  const auto [end, error] = std::from_chars(kindText.data(), kindText.data() + kindText.size(), kind);
  if (kindText.empty() || error != std::errc() || end != kindText.data() + kindText.size() || kind > 255) {
    return std::nullopt;
  }
  received.kind = static_cast<std::uint8_t>(kind);
  if (second != std::string_view::npos) received.param = decodeParam(rest.substr(second + 1));
  return received;
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
  value = parseDecimal(rest.substr(0, next)).value_or(10);
  text = next == std::string_view::npos ? std::string() : std::string(rest.substr(next + 1));
  return 1;
}

}  // namespace mirrox
