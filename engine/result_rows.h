#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace mirrox {

// Reads the rows of a result file sequentially: fields separated by TAB, a row ended by CR LF, a
// lone CR or a lone LF; no quoting, no title row. Bytes are returned unchanged (code page 1251).
class ResultRowReader {
 public:
  // Throws fb::Error when the file cannot be opened.
  explicit ResultRowReader(const std::filesystem::path& path);

  struct Row {
    std::vector<std::string> fields;
    bool terminated = false;  // false only for a last row without a row end
  };

  // The next row, skipping empty lines (they carry no field); false at the end of the file.
  // A file that ends with a row end has no extra row after it.
  bool next(Row& row);

  // How many bytes of the file the rows returned so far took (read ahead bytes not counted).
  std::uint64_t position() const { return consumed_ + pos_; }

 private:
  bool fill();

  std::ifstream in_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::uint64_t consumed_ = 0;  // bytes of the buffers before the one in hand
};

}  // namespace mirrox
