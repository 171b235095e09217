#include "agent/row_file_writer.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "agent/agent_error.h"
#include "link/file_io.h"

namespace mirrox::agent {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

AgentError writeError(const std::filesystem::path& path, int error) {
  return AgentError(FailureCode::ResultFile,
                    "cannot write result file " + path.string() + ": " + std::strerror(error));
}

AgentError writeError(int error) {
  return AgentError(FailureCode::ResultFile,
                    std::string("cannot write result file: ") + std::strerror(error));
}

}  // namespace

RowFileWriter::RowFileWriter(const std::filesystem::path& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
  if (!fd_.valid()) throw writeError(path, errno);
  buffer_.reserve(kBufferSize);
}

void RowFileWriter::beginField() {
  if (rowStarted_) write("\t");
  rowStarted_ = true;
}

void RowFileWriter::appendToField(std::string_view bytes) {
  // Copy in runs between the bytes that must be blanked, so ordinary text is one write.
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\t' || c == '\r' || c == '\n') {
      write(bytes.substr(start, i - start));
      write(" ");
      start = i + 1;
    }
  }
  write(bytes.substr(start));
}

void RowFileWriter::endRow() {
  write("\r\n");
  rowStarted_ = false;
}

void RowFileWriter::finish() {
  if (!fd_.valid()) throw std::logic_error("result file already finished");
  const int flushed = writeAll(fd_.get(), buffer_);
  buffer_.clear();
  const int closed = fd_.close();
  if (flushed != 0 || closed != 0) throw writeError(flushed != 0 ? flushed : closed);
}

void RowFileWriter::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (!fd_.valid()) throw std::logic_error("result file already finished");
  if (buffer_.size() + bytes.size() > kBufferSize) flush();
  buffer_.append(bytes);
}

void RowFileWriter::flush() {
  if (const int error = writeAll(fd_.get(), buffer_); error != 0) throw writeError(error);
  buffer_.clear();
}

}  // namespace mirrox::agent
