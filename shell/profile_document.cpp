#include "shell/profile_document.h"

#include <charconv>
#include <cstdint>

#include "link/cp1251.h"

namespace mirrox {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

unsigned char foldCase(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return static_cast<unsigned char>(b + 0x20);
  if (b >= 0xC0 && b <= 0xDF) return static_cast<unsigned char>(b + 0x20);  // А..Я
  if (b == 0xA8) return 0xB8;                                               // Ё
  return b;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldCase(static_cast<unsigned char>(a[i])) != foldCase(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> sectionHeader(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return trim(line.substr(1, close - 1));
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

// A value enclosed in a matching pair of double or single quotation marks reads without them, as
// the Windows profile functions read it; a lone or unmatched mark stays.
std::string_view unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return value;
}

std::optional<KeyValue> keyValue(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyValue{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

}  // namespace

ProfileDocument ProfileDocument::parse(std::string_view bytes) {
  ProfileDocument doc;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const auto lf = bytes.find('\n', pos);
    Line line;
    if (lf == std::string_view::npos) {
      line.text = std::string(bytes.substr(pos));
      pos = bytes.size();
    } else {
      const bool crlf = lf > pos && bytes[lf - 1] == '\r';
      line.text = std::string(bytes.substr(pos, lf - pos - (crlf ? 1 : 0)));
      line.terminator = crlf ? "\r\n" : "\n";
      pos = lf + 1;
    }
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

std::string_view ProfileDocument::parsedText(std::size_t index) const {
  std::string_view text = lines_[index].text;
  // A byte-order mark written by an editor is not part of the first line's meaning.
  if (index == 0 && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  return text;
}

std::optional<ProfileDocument::SectionRange> ProfileDocument::findSection(std::string_view name) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto header = sectionHeader(parsedText(i));
    if (!header || !equalsIgnoreCase(*header, name)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !sectionHeader(parsedText(end))) ++end;
    return SectionRange{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> ProfileDocument::findKey(const SectionRange& range, std::string_view key) const {
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    const auto kv = keyValue(parsedText(i));
    if (kv && equalsIgnoreCase(kv->key, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ProfileDocument::value(std::string_view section, std::string_view key) const {
  const auto range = findSection(utf8ToCp1251(section));
  if (!range) return std::nullopt;
  const auto index = findKey(*range, utf8ToCp1251(key));
  if (!index) return std::nullopt;
  std::string_view v = unquoted(keyValue(parsedText(*index))->value);
  if (v.size() > kValueBufferSize - 1) v = v.substr(0, kValueBufferSize - 1);
  return cp1251ToUtf8(v);
}

std::vector<std::string> ProfileDocument::sectionNames() const {
  std::vector<std::string> names;
  // The buffer also holds the terminating NUL of the list.
  std::size_t used = 1;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto header = sectionHeader(parsedText(i));
    if (!header) continue;
    used += header->size() + 1;
    if (used > kSectionNamesBufferSize) break;
    names.push_back(cp1251ToUtf8(*header));
  }
  return names;
}

void ProfileDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
  const std::string cpSection = utf8ToCp1251(section);
  const std::string cpKey = utf8ToCp1251(key);
  std::string newLine = cpKey + "=" + utf8ToCp1251(value);

  const auto range = findSection(cpSection);
  if (!range) {
    if (!lines_.empty() && lines_.back().terminator.empty()) lines_.back().terminator = "\r\n";
    lines_.push_back({"[" + cpSection + "]", "\r\n"});
    lines_.push_back({std::move(newLine), "\r\n"});
    return;
  }
  if (const auto index = findKey(*range, cpKey)) {
    lines_[*index].text = std::move(newLine);
    return;
  }
  std::size_t last = range->header;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    if (!trim(lines_[i].text).empty()) last = i;
  }
  if (lines_[last].terminator.empty()) lines_[last].terminator = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1), Line{std::move(newLine), "\r\n"});
}

std::string ProfileDocument::serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.terminator;
  }
  return out;
}

std::optional<int> parseProfileInteger(std::string_view text) {
  text = trim(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    const std::string_view digits = text.substr(2);
    if (digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return static_cast<int>(value);
  }
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace mirrox
