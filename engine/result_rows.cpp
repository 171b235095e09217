#include "engine/result_rows.h"

#include <cerrno>
#include <cstring>

#include "engine/engine_messages.h"
#include "fb/error.h"

namespace mirrox {

ResultRowReader::ResultRowReader(const std::filesystem::path& path)
    : in_(path, std::ios::binary), buffer_(64 * 1024) {
  if (!in_)
    throw fb::Error(messages::kCannotOpenFile + (" \"" + path.string() + "\". ") + std::strerror(errno));
}

bool ResultRowReader::fill() {
  consumed_ += end_;
  in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  pos_ = 0;
  end_ = static_cast<std::size_t>(in_.gcount());
  if (end_ == 0 && in_.bad()) throw fb::Error(messages::kCannotReadResultFile);
  return end_ > 0;
}

bool ResultRowReader::next(Row& row) {
  for (;;) {
    row.fields.assign(1, std::string());
    row.terminated = false;
    bool any = false;
    for (;;) {
      if (pos_ == end_ && !fill()) break;
      const char c = buffer_[pos_++];
      if (c == '\r' || c == '\n') {
        if (c == '\r') {
          if (pos_ == end_) fill();
          if (pos_ < end_ && buffer_[pos_] == '\n') ++pos_;
        }
        row.terminated = true;
        break;
      }
      any = true;
      if (c == '\t') {
        row.fields.emplace_back();
      } else {
        row.fields.back() += c;
      }
    }
    if (any) return true;
    if (!row.terminated) return false;  // end of file
  }
}

}  // namespace mirrox
