#include "fb/text_message.h"

#include <cstdint>
#include <cstring>

#include "fb/status.h"

namespace mirrox::fb {
namespace {

constexpr unsigned kWin1251CharSet = 52;

}  // namespace

TextMessage::TextMessage() = default;

TextMessage::TextMessage(std::span<const unsigned> rooms) {
  if (rooms.empty()) return;
  Status status;
  const Handle<Firebird::IMetadataBuilder> builder(
      master()->getMetadataBuilder(&status, static_cast<unsigned>(rooms.size())));
  for (unsigned i = 0; i < rooms.size(); ++i) {
    // The odd type code marks the field nullable, so its null flag is read.
    builder->setType(&status, i, SQL_VARYING + 1);
    builder->setLength(&status, i, rooms[i]);
    builder->setCharSet(&status, i, kWin1251CharSet);
  }
  metadata_.reset(builder->getMetadata(&status));
  fields_.resize(rooms.size());
  for (unsigned i = 0; i < rooms.size(); ++i) {
    fields_[i] = Field{metadata_->getOffset(&status, i), metadata_->getNullOffset(&status, i), rooms[i]};
  }
  buffer_.assign(metadata_->getMessageLength(&status), 0);
}

TextMessage::~TextMessage() = default;
TextMessage::TextMessage(TextMessage&&) noexcept = default;
TextMessage& TextMessage::operator=(TextMessage&&) noexcept = default;

void TextMessage::set(std::size_t field, std::string_view value) {
  const Field& slot = fields_[field];
  const auto length = static_cast<std::uint16_t>(value.size());
  std::memcpy(buffer_.data() + slot.offset, &length, sizeof length);
  std::memcpy(buffer_.data() + slot.offset + sizeof length, value.data(), value.size());
  const std::int16_t notNull = 0;
  std::memcpy(buffer_.data() + slot.nullOffset, &notNull, sizeof notNull);
}

void TextMessage::setNull(std::size_t field) {
  const std::int16_t null = -1;
  std::memcpy(buffer_.data() + fields_[field].nullOffset, &null, sizeof null);
}

std::optional<std::string> TextMessage::get(std::size_t field) const {
  const Field& slot = fields_[field];
  std::int16_t nullFlag = 0;
  std::memcpy(&nullFlag, buffer_.data() + slot.nullOffset, sizeof nullFlag);
  if (nullFlag != 0) return std::nullopt;
  std::uint16_t length = 0;
  std::memcpy(&length, buffer_.data() + slot.offset, sizeof length);
  return std::string(reinterpret_cast<const char*>(buffer_.data()) + slot.offset + sizeof length, length);
}

}  // namespace mirrox::fb
