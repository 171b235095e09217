#pragma once

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

}  // namespace mirrox
