#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fb/handle.h"

namespace Firebird {
class IMessageMetadata;
}  // namespace Firebird

namespace mirrox::fb {

// A message of the OO API (the buffer a statement's inputs or a row's columns travel in) whose
// every field is a nullable VARCHAR in WIN1251 with room for a given number of bytes. Inputs bound
// this way reach the server as text, which it converts to each parameter's type; columns read this
// way arrive as the text the server made of them. Values are the connection's bytes (code page
// 1251), unconverted.
class TextMessage {
 public:
  // A message without fields (a statement without inputs, or without columns).
  TextMessage();
  // One field for each entry of `rooms`, of that many bytes. Throws Error.
  explicit TextMessage(std::span<const unsigned> rooms);
  ~TextMessage();
  TextMessage(TextMessage&&) noexcept;
  TextMessage& operator=(TextMessage&&) noexcept;
  TextMessage(const TextMessage&) = delete;
  TextMessage& operator=(const TextMessage&) = delete;

  std::size_t count() const { return fields_.size(); }
  unsigned room(std::size_t field) const { return fields_[field].room; }
  // The description to pass with the buffer; null without fields.
  Firebird::IMessageMetadata* metadata() const { return metadata_.get(); }
  unsigned char* data() { return buffer_.data(); }

  // REQUIRES: the value fits the field's room.
  void set(std::size_t field, std::string_view value);
  void setNull(std::size_t field);
  // The field as the last row left it; nothing for NULL.
  std::optional<std::string> get(std::size_t field) const;

 private:
  struct Field {
    unsigned offset = 0;
    unsigned nullOffset = 0;
    unsigned room = 0;
  };
  Handle<Firebird::IMessageMetadata> metadata_;
  std::vector<Field> fields_;
  std::vector<unsigned char> buffer_;
};

}  // namespace mirrox::fb
