#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "link/unique_fd.h"

namespace mirrox::agent {

// Writes a result file: one row a line ended by CR LF, fields separated by TAB, no title row, no
// quoting. The reader has no escapes, so a TAB, CR or LF inside a value becomes a blank here;
// otherwise a row would split. Bytes are written as given (code page 1251 from the site database).
// Throws AgentError (FailureCode::ResultFile) when the file cannot be created or a write fails (a
// full disk must not pass for a complete result).
class RowFileWriter {
 public:
  explicit RowFileWriter(const std::filesystem::path& path);
  RowFileWriter(const RowFileWriter&) = delete;
  RowFileWriter& operator=(const RowFileWriter&) = delete;

  // Starts the next field of the current row; the first call of a row writes no separator.
  void beginField();
  // Appends bytes to the current field; may be called several times (blob segments).
  void appendToField(std::string_view bytes);
  void endRow();
  // Flushes and closes; a failure here is reported like any write failure.
  void finish();

 private:
  void write(std::string_view bytes);
  // Hands the buffered bytes to the file.
  void flush();

  UniqueFd fd_;
  // Rows are small and the file is written strictly sequentially: they go out in big pieces.
  std::string buffer_;
  bool rowStarted_ = false;
};

}  // namespace mirrox::agent
