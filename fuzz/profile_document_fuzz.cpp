// The settings file's text: any bytes parse, serialize back unchanged, and writing one key
// changes that key and nothing else.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/cp1251.h"
#include "shell/profile_document.h"

using namespace mirrox;
using fuzzing::fuzzCheck;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Names match without regard to case in code page 1251 (Latin, Cyrillic and Ё).
std::string folded(std::string_view cp1251) {
  std::string out(cp1251);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF)) c = static_cast<char>(b + 0x20);
    if (b == 0xA8) c = static_cast<char>(0xB8);
  }
  return out;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A value in a matching pair of double or single quotation marks reads without them.
std::string_view unquoted(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

// The key names of every "key=value" line, as candidates for lookups (the reader decides which
// of them really belong to a section).
std::vector<std::string> keyNames(std::string_view bytes) {
  std::vector<std::string> keys;
  std::size_t pos = 0;
  while (pos < bytes.size() && keys.size() < 32) {
    std::size_t lf = bytes.find('\n', pos);
    if (lf == std::string_view::npos) lf = bytes.size();
    const std::string_view line = bytes.substr(pos, lf - pos);
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) keys.push_back(cp1251ToUtf8(trim(line.substr(0, eq))));
    pos = lf + 1;
  }
  return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string section = provider.ConsumeRandomLengthString(40);
  const std::string key = provider.ConsumeRandomLengthString(40);
  const std::string value = provider.ConsumeRandomLengthString(3000);
  const std::string bytes = provider.ConsumeRemainingBytesAsString();

  ProfileDocument document = ProfileDocument::parse(bytes);
  fuzzCheck(document.serialize() == bytes, "a file read and written unchanged keeps every byte", bytes);

  const std::vector<std::string> sections = document.sectionNames();
  std::size_t listBytes = 1;
  for (const std::string& name : sections) listBytes += utf8ToCp1251(name).size() + 1;
  fuzzCheck(listBytes <= ProfileDocument::kSectionNamesBufferSize, "the section list fits its buffer", bytes);

  std::vector<std::string> keys = keyNames(bytes);
  keys.push_back(cp1251ToUtf8(key));
  std::vector<std::pair<std::pair<std::string, std::string>, std::optional<std::string>>> before;
  for (const std::string& name : sections) {
    for (const std::string& k : keys) {
      const auto found = document.value(name, k);
      if (found) {
        fuzzCheck(utf8ToCp1251(*found).size() <= ProfileDocument::kValueBufferSize - 1,
                  "a value fits the value buffer", bytes);
      }
      before.push_back({{name, k}, found});
    }
  }

  // Writing a key: only names and values that a settings file line can carry.
  if (section.empty() || trim(section) != section || hasLineBreak(section) ||
      section.find(']') != std::string::npos)
    return 0;
  if (key.empty() || trim(key) != key || hasLineBreak(key) || key.find('=') != std::string::npos ||
      key[0] == '[')
    return 0;
  if (hasLineBreak(value)) return 0;

  document.setValue(cp1251ToUtf8(section), cp1251ToUtf8(key), cp1251ToUtf8(value));
  const ProfileDocument reread = ProfileDocument::parse(document.serialize());
  // Blanks around the value go; blanks inside a pair of quotation marks are the value's own.
  std::string_view expected = unquoted(trim(value));
  expected = expected.substr(0, ProfileDocument::kValueBufferSize - 1);
  const auto written = reread.value(cp1251ToUtf8(section), cp1251ToUtf8(key));
  fuzzCheck(written && *written == cp1251ToUtf8(expected), "a value written reads back", bytes);

  for (const auto& [where, old] : before) {
    const bool same = folded(utf8ToCp1251(where.first)) == folded(section) &&
                      folded(utf8ToCp1251(where.second)) == folded(key);
    if (same) continue;
    fuzzCheck(reread.value(where.first, where.second) == old, "writing one key changes no other", bytes);
  }
  return 0;
}
