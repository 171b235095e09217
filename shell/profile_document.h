#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirrox {

// One settings file in the Windows profile (INI) format, held in memory with every line of the
// original file kept byte for byte, so that writing a key changes that key and nothing else.
//
// The file is code page 1251; the interface takes and gives UTF-8. Section and key names match
// without regard to letter case (Latin and Cyrillic); values are read without leading and
// trailing blanks and without a matching pair of enclosing quotation marks, and cut to the 2047
// bytes that a 2048-byte buffer holds.
class ProfileDocument {
 public:
  static constexpr std::size_t kValueBufferSize = 2048;
  static constexpr std::size_t kSectionNamesBufferSize = 16384;

  ProfileDocument() = default;
  static ProfileDocument parse(std::string_view cp1251Bytes);

  // The first value of `key` in the first section named `section`, or nullopt when either is
  // missing.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;

  // The names of all sections in file order, as far as they fit a 16384-byte buffer of
  // NUL-terminated names. A name that would only fit in part is left out rather than cut, since
  // a cut number would name a different section.
  std::vector<std::string> sectionNames() const;

  // Replaces the first `key` line of the section, or adds one after the section's last non-blank
  // line; a section new to the file is appended at its end.
  void setValue(std::string_view section, std::string_view key, std::string_view value);

  std::string serialize() const;

 private:
  struct Line {
    std::string text;        // without terminator, CP1251
    std::string terminator;  // "\r\n", "\n" or "" for a last line without one
  };
  struct SectionRange {
    std::size_t header;  // index of the "[name]" line
    std::size_t end;     // one past the last line of the section
  };

  std::optional<SectionRange> findSection(std::string_view cp1251Name) const;
  std::optional<std::size_t> findKey(const SectionRange& range, std::string_view cp1251Key) const;
  std::string_view parsedText(std::size_t index) const;

  std::vector<Line> lines_;
};

// Reads an integer value as the settings file has always been read: optional sign and decimal
// digits, or "0x"/"0X" followed by hexadecimal digits (at most 32 bits, taken as signed).
// Anything else, including an out-of-range number, gives nullopt.
std::optional<int> parseProfileInteger(std::string_view text);

}  // namespace mirrox
