#pragma once

#include <string>
#include <utility>

namespace Firebird {
class IXpbBuilder;
}  // namespace Firebird

namespace mirrox::fb {

// A parameter block (DPB for an attachment or a new database, TPB for a transaction, SPB for the
// service manager) built through the client library's builder, which adds the version tag. Throws
// Error.
class ParameterBlock {
 public:
  enum Kind { Attachment, Transaction, ServiceAttachment };

  explicit ParameterBlock(Kind kind);
  ~ParameterBlock();
  ParameterBlock(ParameterBlock&& other) noexcept : builder_(std::exchange(other.builder_, nullptr)) {}
  ParameterBlock& operator=(ParameterBlock&&) = delete;
  ParameterBlock(const ParameterBlock&) = delete;
  ParameterBlock& operator=(const ParameterBlock&) = delete;

  ParameterBlock& tag(unsigned char tag);
  ParameterBlock& text(unsigned char tag, const std::string& value);
  ParameterBlock& number(unsigned char tag, int value);

  unsigned length() const;
  const unsigned char* bytes() const;

 private:
  Firebird::IXpbBuilder* builder_;
};

// The login every attachment of this system uses: user, password and the WIN1251 connection
// character set, so that text travels as code page 1251 bytes.
void addLogin(ParameterBlock& dpb, const std::string& user, const std::string& password);

}  // namespace mirrox::fb
