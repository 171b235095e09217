#include "engine/param_check.h"

namespace mirrox {
namespace {

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

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

// Walks the text as the server reads it and hands every parameter word (its name without the
// colon) to `onParameter`, which returns what stands in its place.
template <typename OnParameter>
std::string replaceParameters(std::string_view sql, OnParameter onParameter) {
  std::string text;
  text.reserve(sql.size());
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      i = copyQuoted(sql, i, text);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const std::size_t end = sql.find('\n', i);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
      text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const std::size_t end = sql.find("*/", i + 2);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
      text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == ':' && i + 1 < sql.size() && isNameStart(sql[i + 1])) {
      std::size_t end = i + 1;
      while (end < sql.size() && isNamePart(sql[end])) ++end;
      text += onParameter(sql.substr(i + 1, end - i - 1));
      i = end;
    } else {
      text += c;
      ++i;
    }
  }
  return text;
}

}  // namespace

PositionalSql rewriteNamedParameters(std::string_view sql) {
  PositionalSql result;
  result.text = replaceParameters(sql, [&](std::string_view name) {
    result.names.emplace_back(name);
    return std::string("?");
  });
  return result;
}

std::string renameNamedParameters(std::string_view sql,
                                  const std::function<std::string(std::size_t)>& rename) {
  std::size_t index = 0;
  return replaceParameters(sql, [&](std::string_view) { return rename(index++); });
}

}  // namespace mirrox
