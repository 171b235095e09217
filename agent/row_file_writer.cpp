#include "agent/row_file_writer.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace mirrox::agent {

namespace {
std::runtime_error writeError(const std::filesystem::path& path, int error) {
  return std::runtime_error("cannot write result file " + path.string() + ": " + std::strerror(error));
}
}  // namespace

RowFileWriter::RowFileWriter(const std::filesystem::path& path) : file_(std::fopen(path.c_str(), "wb")) {
  if (file_ == nullptr) throw writeError(path, errno);
  // A big buffer: rows are small and the file is written strictly sequentially.
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

RowFileWriter::~RowFileWriter() {
  if (file_ != nullptr) std::fclose(file_);
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
  std::FILE* file = file_;
  file_ = nullptr;
  const bool flushed = std::fflush(file) == 0;
  const int error = errno;
  const bool closed = std::fclose(file) == 0;
  if (!flushed || !closed)
    throw std::runtime_error(std::string("cannot write result file: ") + std::strerror(error));
}

void RowFileWriter::write(std::string_view bytes) {
  if (bytes.empty()) return;
  if (file_ == nullptr) throw std::logic_error("result file already finished");
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    throw std::runtime_error(std::string("cannot write result file: ") + std::strerror(errno));
  }
}

}  // namespace mirrox::agent
