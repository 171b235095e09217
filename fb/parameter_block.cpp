#include "fb/parameter_block.h"

#include "fb/status.h"

namespace mirrox::fb {
namespace {

unsigned builderKind(ParameterBlock::Kind kind) {
  switch (kind) {
    case ParameterBlock::Attachment:
      return Firebird::IXpbBuilder::DPB;
    case ParameterBlock::Transaction:
      return Firebird::IXpbBuilder::TPB;
    case ParameterBlock::ServiceAttachment:
      return Firebird::IXpbBuilder::SPB_ATTACH;
  }
  return Firebird::IXpbBuilder::DPB;
}

}  // namespace

ParameterBlock::ParameterBlock(Kind kind) {
  Status status;
  builder_ = util()->getXpbBuilder(&status, builderKind(kind), nullptr, 0);
}

// A builder is disposed, not released: it is not reference-counted.
ParameterBlock::~ParameterBlock() {
  if (builder_ != nullptr) builder_->dispose();
}

ParameterBlock& ParameterBlock::tag(unsigned char tag) {
  Status status;
  builder_->insertTag(&status, tag);
  return *this;
}

ParameterBlock& ParameterBlock::text(unsigned char tag, const std::string& value) {
  Status status;
  builder_->insertString(&status, tag, value.c_str());
  return *this;
}

ParameterBlock& ParameterBlock::number(unsigned char tag, int value) {
  Status status;
  builder_->insertInt(&status, tag, value);
  return *this;
}

unsigned ParameterBlock::length() const {
  Status status;
  return builder_->getBufferLength(&status);
}

const unsigned char* ParameterBlock::bytes() const {
  Status status;
  return builder_->getBuffer(&status);
}

void addLogin(ParameterBlock& dpb, const std::string& user, const std::string& password) {
  dpb.text(isc_dpb_user_name, user).text(isc_dpb_password, password).text(isc_dpb_lc_ctype, "WIN1251");
}

}  // namespace mirrox::fb
