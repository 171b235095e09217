#include "engine/param_check.h"

namespace mirrox {
namespace {

bool isNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNamePart(char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }

// Copies a quoted run (opening quote at `i`) to `out`; a doubled quote stays inside the run.
std::size_t copyQuoted(std::string_view sql, std::size_t i, std::string& out) {
  const char quote = sql[i];
  out += sql[i++];
  while (i < sql.size()) {
    out += sql[i];
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        out += sql[i + 1];
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return i;
}

}  // namespace

PositionalSql rewriteNamedParameters(std::string_view sql) {
  PositionalSql result;
  result.text.reserve(sql.size());
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      i = copyQuoted(sql, i, result.text);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const std::size_t end = sql.find('\n', i);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
      result.text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const std::size_t end = sql.find("*/", i + 2);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
      result.text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == ':' && i + 1 < sql.size() && isNameStart(sql[i + 1])) {
      std::size_t end = i + 1;
      while (end < sql.size() && isNamePart(sql[end])) ++end;
      result.names.emplace_back(sql.substr(i + 1, end - i - 1));
      result.text += '?';
      i = end;
    } else {
      result.text += c;
      ++i;
    }
  }
  return result;
}

}  // namespace mirrox
