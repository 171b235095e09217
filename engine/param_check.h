#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mirrox {

// A statement text with its ":name" parameters replaced by the server's positional "?".
struct PositionalSql {
  std::string text;
  std::vector<std::string> names;  // in order of appearance; a name used twice appears twice
};

// The parameter check of the statement object: every ":name" word (a colon followed by a letter or
// "_", then letters, digits, "_" or "$") outside string literals, quoted identifiers and comments
// becomes "?". A colon followed by anything else stays as it is. Unterminated literals and comments
// run to the end of the text, as the server would read them.
PositionalSql rewriteNamedParameters(std::string_view sql);

// The same reading of the text, with the n-th parameter word (counted from 0, colon included)
// replaced by rename(n) instead of "?".
std::string renameNamedParameters(std::string_view sql,
                                  const std::function<std::string(std::size_t)>& rename);

}  // namespace mirrox
